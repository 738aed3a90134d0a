#!/usr/bin/python3
"""The run command as a newcomer meets it: tools/run.sh without a display,
in an output folder that nothing has prepared, first without a kind (its
default, Windows 98 SE) and then for Windows XP. Checks what its user reads:
the exit code, both change reports with the driver and the installed marker
in them and "restart: requested" after each, and six screenshots, each a
PNG that shows more than one colour.

    python3 tests/run_command/test_run_command.py [OUT]

OUT (default build/run-command) is emptied first. Ends with
"run command: N passed, N failed".
"""
import os
import re
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
MARKER = "[HKLM\\System\\Veltrano Card]"
# Each run: its arguments, the kind it runs, the driver file Install places
# (as the report names it).
RUNS = [
    ([], "win98", "%SYSTEM%\\SCSIKRN.VXD"),
    (["winxp"], "winxp", "%SYSTEM%\\drivers\\VNT.sys"),
]
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def report(output, what, kind):
    """The lines of one change report, from its heading to its restart line."""
    heading = "== What %s changed on the emulated %s" % (what, kind)
    lines = output.splitlines()
    if heading not in lines:
        return None
    body = []
    for line in lines[lines.index(heading) + 1:]:
        body.append(line)
        if line.startswith("restart: "):
            break
    return body


def check_report(output, what, kind, sign, driver):
    """Failures of one change report: the driver file and the marker added
    (Install, sign '+') or removed (Uninstall, '-'), and a restart."""
    body = report(output, what, kind)
    if body is None:
        return ["no report of what %s changed" % what]
    failures = []
    if not any(line.strip().startswith("%s %s" % (sign, driver)) for line in body):
        failures.append("%s does not show %s %s" % (what, sign, driver))
    if "  %s %s" % (sign, MARKER) not in body:
        failures.append("%s does not show %s %s" % (what, sign, MARKER))
    if not body or body[-1] != "restart: requested":
        failures.append("%s ends with %r, not 'restart: requested'" % (what, body[-1] if body else ""))
    return failures


def colours(path):
    """The number of colours of a PNG, as ImageMagick counts them."""
    answer = subprocess.run(["identify", "-format", "%k", path], capture_output=True, text=True)
    return int(answer.stdout) if answer.returncode == 0 and answer.stdout.isdigit() else 0


def check_screens(shots, kind):
    """Failures of the screenshots of one run: six, each a PNG that is not blank."""
    names = sorted(n for n in os.listdir(shots) if re.fullmatch(r"run-%s-\d-.*\.png" % kind, n)) if os.path.isdir(shots) else []
    failures = [] if len(names) == 6 else ["%d screenshots of %s, expected 6: %s" % (len(names), kind, names)]
    for name in names:
        path = os.path.join(shots, name)
        with open(path, "rb") as f:
            if f.read(8) != PNG_SIGNATURE:
                failures.append("%s is not a PNG" % name)
                continue
        if colours(path) < 2:
            failures.append("%s is blank" % name)
    return failures


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "run-command"))
    shutil.rmtree(out, ignore_errors=True)
    env = dict(os.environ, BENCH_OUT=out)
    env.pop("DISPLAY", None)
    passed = failed = 0

    def result(name, failures):
        nonlocal passed, failed
        if failures:
            failed += 1
            print("%s: FAIL: %s" % (name, "; ".join(failures)))
        else:
            passed += 1
            print("%s: ok" % name)

    for args, kind, driver in RUNS:
        command = ["bash", "tools/run.sh"] + args
        run = subprocess.run(command, cwd=ROOT, env=env, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, errors="replace")
        shown = " ".join(command)
        with open(os.path.join(ROOT, "build", "logs", "run-command-%s.log" % kind), "w") as log:
            log.write(run.stdout)
        result("%s exits 0" % shown, [] if run.returncode == 0 else
               ["exit code %d; its output ends:\n%s" % (run.returncode, "\n".join(run.stdout.splitlines()[-30:]))])
        result("%s: Install's report" % shown, check_report(run.stdout, "Install", kind, "+", driver))
        result("%s: Uninstall's report" % shown, check_report(run.stdout, "Uninstall", kind, "-", driver))
        result("%s: screenshots" % shown, check_screens(os.path.join(out, "shots"), kind))
    print("run command: %d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
