#!/bin/bash
# Runs the end-to-end bench of Setup.exe under Wine (bench/run.py):
#
#   bench/run.sh [-q] [-j N] [--selftest] [--accept] [NAME...]
#
# The scenarios of bench/scenarios.py (or with --selftest the bench's own
# test against a stand-in dialog), N at a time (default 2), each in a fresh
# prefix on an Xvfb display of its worker. -q prints the output of failed
# scenarios only; --accept rewrites the expected reports of the scenarios
# named from their runs. Prints "PASS <name> ..." or "FAIL <name> ..." a
# scenario, then "bench: N passed, N failed"; exits 0 only when none failed.
exec /usr/bin/python3 "$(dirname "$0")/run.py" "$@"
