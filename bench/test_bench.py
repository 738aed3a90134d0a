"""The bench's scenarios (scenarios.py), one test each: the scenario runs
in a fresh machine, once more in a fresh one when Wine crashed or stopped
answering, and its whole report must equal bench/expected/<name>.txt (with
BENCH_ACCEPT=1 the file is rewritten from the run instead)."""
import os
import time

import pytest

import harness
from scenarios import SCENARIOS


def run(scenario, display, record_property, program, expected_file):
    expected = harness.read(expected_file)
    begin, retried = time.time(), ""
    machine = harness.run_scenario(scenario, display, program, expected)
    starts = machine.starts
    if isinstance(machine.error, harness.WineTrouble):
        retried = " after a retry: %s the first time" % machine.error
        machine = harness.run_scenario(scenario, display, program, expected)
        starts += machine.starts
    failure = str(machine.error) if machine.error else ""
    if not failure and os.environ.get("BENCH_ACCEPT"):
        with open(expected_file, "w") as f:
            f.write(machine.report)
    elif not failure:
        diff = harness.compare(expected, machine.report)
        if expected is None:
            failure = "no expected report %s; its report was:\n%s" % (expected_file, machine.report)
        elif diff:
            failure = "the machine changed otherwise than %s expects:\n%s" % (
                os.path.relpath(expected_file, harness.REPO), diff)
    record_property("line", "%s %s (%.1f s, %d Wine start%s)%s" % (
        "FAIL" if failure else "PASS", scenario.name, time.time() - begin, starts, "" if starts == 1 else "s", retried))
    record_property("details", failure or machine.report)
    if failure:
        record_property("kept", machine.dir)
        keep_failed(machine)
        pytest.fail(failure, pytrace=False)
    if not os.environ.get("BENCH_KEEP"):
        harness.remove_dir(machine.dir)


def keep_failed(machine):
    """What a failed scenario leaves for a look: its scripts, the driver's
    output and the registry and system.ini of its prefix (the whole prefix,
    700 MB, only with BENCH_KEEP=1)."""
    if os.environ.get("BENCH_KEEP"):
        return
    for f in ("system.reg", "user.reg", "drive_c/windows/system.ini"):
        if os.path.exists(machine.host(f)):
            os.replace(machine.host(f), os.path.join(machine.dir, os.path.basename(f)))
    harness.remove_dir(machine.prefix)


@pytest.mark.parametrize("scenario", SCENARIOS, ids=lambda s: s.name)
def test_scenario(scenario, display, record_property):
    run(scenario, display, record_property, harness.PROGRAM, harness.expected_path(scenario.name))
