"""Runs the bench's scenarios with pytest (two at a time with
pytest-xdist, each in its own prefix on its own display) and prints one
line a scenario, then "bench: N passed, N failed".

    bench/run.sh [-q] [-j N] [--selftest] [--accept] [NAME...]

-q prints the output of failed scenarios only; --accept rewrites the
expected reports of the named scenarios from their runs; --selftest runs
the bench's own test (test_selftest.py) against the stand-in dialog.
"""
import argparse
import fcntl
import os
import shutil
import subprocess
import sys

import harness

NEEDS = ["/usr/lib/wine/wine", "Xvfb", "convert", "i686-w64-mingw32-g++", "xorriso"]


class Lines:
    """Prints each scenario's line as its result comes in (from any worker)."""

    def __init__(self, quiet):
        self.quiet, self.passed, self.failed, self.retried, self.seen = quiet, 0, 0, 0, set()
        self.scenarios = 0

    def pytest_runtest_logreport(self, report):
        if report.nodeid in self.seen or (report.when != "call" and not report.failed):
            return
        self.seen.add(report.nodeid)
        props = dict(report.user_properties)
        name = report.nodeid.split("::")[-1]
        name = name[len("test_scenario["):-1] if name.startswith("test_scenario[") else name
        line = props.get("line") or ("PASS %s" % name if report.passed else "FAIL %s (%s)" % (
            name, (report.longreprtext.strip().splitlines() or ["?"])[-1]))
        details = props.get("details") or (report.longreprtext if report.failed else "")
        ok = line.startswith("PASS ")
        self.passed += ok
        self.failed += not ok
        self.retried += "after a retry" in line
        self.scenarios += "line" in props
        print(line)
        if details and (not ok or not self.quiet):
            print(harness.indent(details, "    "))
        if "kept" in props:
            print("    (scripts, driver output and registry kept in %s)" % props["kept"])
        sys.stdout.flush()


def give_up(why):
    print("bench: %s" % why)
    print("bench: 0 passed, 1 failed")
    sys.exit(1)


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("-q", action="store_true")
    parser.add_argument("-j", type=int, default=int(os.environ.get("BENCH_JOBS", "2")))
    parser.add_argument("--accept", action="store_true")
    parser.add_argument("--selftest", action="store_true")
    parser.add_argument("names", nargs="*")
    args = parser.parse_args()
    if args.accept and not args.names:
        give_up("--accept rewrites the expected reports of the scenarios named, and none was")
    if any(not shutil.which(n) for n in NEEDS) or subprocess.run(
            ["/usr/bin/python3", "-c", "import pytest, xdist"], capture_output=True).returncode:
        print("bench: installing what is missing", file=sys.stderr)
        if subprocess.run(["bash", os.path.join(harness.REPO, "tools", "install-deps.sh")]).returncode:
            give_up("could not install the packages it needs")
    import pytest

    os.makedirs(os.path.join(harness.OUT, "logs"), exist_ok=True)
    lock = open(os.path.join(harness.OUT, ".lock"), "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except OSError:
        give_up("another run uses %s" % harness.OUT)
    try:
        os.environ["BENCH_DRIVER_EXE"] = harness.driver_exe()
        if args.selftest:
            os.environ["BENCH_STANDIN_EXE"] = harness.standin_exe()
        harness.make_disc()
        xvfb, os.environ["DISPLAY"] = harness.start_xvfb()
        try:
            harness.make_template()
        finally:
            harness.stop_xvfb(xvfb)
    except (harness.Failure, OSError, subprocess.CalledProcessError) as e:
        give_up(str(e))
    if args.accept:
        os.environ["BENCH_ACCEPT"] = "1"
    test = os.path.join(harness.BENCH, "test_selftest.py" if args.selftest else "test_bench.py")
    from scenarios import BY_NAME
    if args.selftest:
        from test_selftest import BY_NAME
    for n in args.names:
        if n not in BY_NAME and not (args.selftest and n.startswith("test_")):
            give_up("no scenario %s" % n)
    lines = Lines(args.q)
    jobs = max(1, min(args.j, len(args.names) or args.j))
    argv = ["-p", "no:terminal", "-p", "no:cacheprovider", "-s", "--assert=plain", "--rootdir", harness.BENCH]
    argv += ["-n", str(jobs)] if jobs > 1 else []
    argv += ["%s::%s" % (test, n if n.startswith("test_") else "test_scenario[%s]" % n) for n in args.names] or [test]
    code = pytest.main(argv, plugins=[lines])
    total = lines.passed + lines.failed
    if code not in (0, 1) or total == 0:
        lines.failed += 1
        print("bench: pytest ended with %s" % code)
    print("bench: %d of %d scenarios needed a retry (Wine crashed or stopped answering), %d at a time"
          % (lines.retried, lines.scenarios, jobs))
    print("bench: %d passed, %d failed" % (lines.passed, lines.failed))
    return 1 if lines.failed else 0


if __name__ == "__main__":
    sys.exit(main())
