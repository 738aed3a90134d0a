"""The bench's self-test: the harness proves itself against a stand-in
dialog (bench/selftest/dialog.cpp) whose effects are known, so that a PASS
of the real bench means something. Its scenarios' reports must equal
bench/selftest/expected/<name>.txt; each driver command and check must fail
where it must; the comparison must fail on any difference; Wine programs
that do not start, hang or crash are handled as the bench says."""
import os
import stat
import subprocess
import tempfile

import pytest

import harness
from harness import Scenario, Step
from scenarios import script
from test_bench import run

FOLDER = os.path.join(harness.BENCH, "selftest", "scripts")
INSTALL = ("drive", script("install-short", folder=FOLDER))


def s(name, **values):
    return script(name, True, FOLDER, **values)


def driver_failures():
    """The cases of selftest/scripts/driver-failures.txt: those that change
    nothing in one step, each that installs in a step of its own after the
    marker is taken away again."""
    quiet, steps, case = [], [], None
    for line in open(os.path.join(FOLDER, "driver-failures.txt")):
        word, _, rest = line.partition(" ")
        if word in ("fails", "installs"):
            case = ["drive_fails", rest.strip(), ""]
            if word == "fails":
                quiet.append(case)
            else:
                steps.append(Step("a failing check", [case], before=[("marker", False)]))
        elif case and not line.startswith("#"):
            case[2] += line
    return [Step("failing checks", quiet)] + steps


def shutdown_requested(machine):
    open(machine.host("medium", "shutdown.txt"), "w").write("x")


VERSIONS = [("win95", "1  4.0  0 0x0"), ("win98", "1  4.10  0 0x0"), ("winme", "1  4.90  0 0x0"),
            ("nt40", "2  4.0  1 0x0"), ("win2k", "2  5.0  1 0x0"), ("winxp", "2  5.1  1 0x100"),
            ("win2003", "2  5.2  3 0x100"), ("nt40-server", "2  4.0  3 0x0"), ("nt40-dc", "2  4.0  2 0x0"),
            ("win2k-server", "2  5.0  3 0x0"), ("win2k-dc", "2  5.0  2 0x0"), ("win2k-ws", "2  5.0  1 0x0"),
            ("winxp-server", "2  5.1  3 0x0"), ("winxp-dc", "2  5.1  2 0x0"), ("winxp-ws", "2  5.1  1 0x0"),
            ("win7", "2  6.1  1 0x0")]

SELFTEST = [
    # The first screen, then Exit: nothing changes.
    Scenario("first-screen", [("windows", "winxp"), ("marker", False), ("medium",)],
             [Step("the first screen", [("drive", s("first-screen"))])]),
    # Files opened in another letter case, registry, system.ini, the restart.
    Scenario("install", [("windows", "win98"), ("marker", False), ("medium",), ("ini_set", "PagingDrive", "C:"),
                         ("ini_set", "MaxPagingFileSize", "1000")],
             [Step("Install", [("drive", s("install"))]), Step("Uninstall", [("drive", s("uninstall"))])]),
    Scenario("install-winxp", [("windows", "winxp"), ("marker", False), ("medium",)], [Step("Install", [INSTALL])]),
    # Escape, Enter, space and the close button end the program.
    Scenario("keys", [("windows", "winme"), ("marker", True), ("medium",)], [Step("the keys", [("drive", s("keys"))])]),
    Scenario("missing-file", [("windows", "win2k"), ("medium", ["NT/vnt4.sys"])],
             [Step("Install", [("drive", s("missing-file"))])]),
    # The copies of a read-only medium keep its attribute, so they stay.
    Scenario("readonly-medium", [("windows", "nt40"), ("marker", False), ("medium", [], True)],
             [Step("Install", [INSTALL]), Step("Uninstall", [("drive", s("uninstall"))])]),
    # A shutdown request ends the program too, but is no restart.
    Scenario("shutdown-is-no-restart", [("windows", "winxp"), ("medium",), shutdown_requested],
             [Step("Install", [INSTALL])]),
    # The kinds of D: as GetDriveTypeA and the free space show them.
    Scenario("disk-d", [("windows", "win2k"), ("medium",)], [
        Step("Install with D: " + " ".join(map(str, d)), [INSTALL], before=[("marker", False), ("disk_d",) + d])
        for d in (("fixed",), ("cdrom",), ("none",), ("fixed", 200))]),
    # What GetVersionExA reports for each emulated Windows.
    Scenario("versions", [("medium",)], [
        Step(kind, [("drive", s("version", text=text))], before=[("windows", kind)]) for kind, text in VERSIONS]),
    Scenario("driver-failures", [("windows", "winxp"), ("medium",)], driver_failures()),
]
BY_NAME = {sc.name: sc for sc in SELFTEST}


@pytest.fixture(scope="session")
def standin():
    return os.environ.get("BENCH_STANDIN_EXE") or harness.standin_exe()


@pytest.mark.parametrize("scenario", SELFTEST, ids=lambda sc: sc.name)
def test_scenario(scenario, display, record_property, standin):
    run(scenario, display, record_property, standin, harness.expected_path(scenario.name, selftest=True))


def test_an_unexpected_file_and_key_fail(display, standin):
    """The install of install-winxp, and a file (a log in the temporary
    folder, which a program may leave behind) and a key of nobody's: the
    comparison with its expected report names exactly those two."""
    def extra(machine):
        open(machine.host("drive_c", "windows", "temp", "setup.log"), "w").write("x")
        machine.wine(60, ["reg", "add", r"HKLM\Software\Extra", "/f"])
    row = BY_NAME["install-winxp"]
    row = Scenario(row.name, row.machine, [Step("Install", [INSTALL, extra])])
    expected = harness.read(harness.expected_path(row.name, selftest=True))
    machine = harness.run_scenario(row, display, standin, expected)
    harness.remove_dir(machine.dir)
    assert machine.error is None
    added = [line for line in harness.compare(expected, machine.report).splitlines() if line[:1] in "+-"]
    assert added == ["--- expected", "+++ found", "+  + %WINDIR%\\temp\\setup.log (1 bytes: x)",
                     "+  + [HKLM\\Software\\Extra]", '+  + [HKLM\\Software\\Extra] @=""'], added


@pytest.mark.parametrize("change", ["add", "remove", "change"])
def test_any_other_line_fails(change):
    expected = harness.read(harness.expected_path("install", selftest=True))
    lines = expected.splitlines(True)
    i = next(n for n, line in enumerate(lines) if "PagingDrive" in line)
    if change == "add":
        lines.insert(i, "  + [386Enh] Extra=1\n")
    elif change == "remove":
        del lines[i]
    else:
        lines[i] = lines[i].replace("=", "=x")
    diff = harness.compare(expected, "".join(lines))
    assert diff and ("-" + expected.splitlines(True)[i] in diff or change == "add")
    assert harness.compare(expected, expected) == ""


def stub(folder, body):
    path = os.path.join(folder, "wine")
    with open(path, "w") as f:
        f.write("#!/bin/bash\n" + body)
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
    return path


class Trouble:
    def __init__(self):
        self.starts, self.hangs, self.crashes = 0, [], []


# Failed starts, silently or with Wine's line; the exit code after them;
# then how many starts, the exit code and a text of the output wanted.
STARTS = [(0, "", 0, 1, 0, "REG_SZ"), (2, "", 0, 3, 0, "REG_SZ"), (4, "", 0, 5, 0, "REG_SZ"),
          (5, "", 0, 5, 1, "ShellExecuteEx"), (2, "silent", 0, 3, 0, "REG_SZ"), (5, "silent", 0, 5, 1, ""),
          (0, "", 1, 1, 1, "Unable to find")]


@pytest.mark.parametrize("fails,silent,code,starts,rc,text", STARTS)
def test_a_program_wine_did_not_start_is_started_again(fails, silent, code, starts, rc, text):
    with tempfile.TemporaryDirectory() as d:
        wine = stub(d, """n=$(cat %s/n 2>/dev/null || echo 0); echo $((n + 1)) >%s/n
if [ "$n" -lt %d ]; then
    [ -n "%s" ] && exit 1
    echo "ShellExecuteEx failed: Internal error." >&2; exit 1
fi
[ %d = 0 ] && echo "    d:    REG_SZ    hd" || echo "Unable to find the value"
exit %d
""" % (d, d, fails, silent, code, code))
        trouble = Trouble()
        got, out = harness.run_wine(d, 10, ["reg", "query"], wine=wine, trouble=trouble)
    assert (trouble.starts, bool(got)) == (starts, bool(rc))
    assert text in out


@pytest.mark.parametrize("line,crashes", [
    ("wine: Unhandled illegal instruction at address 70D92A0F (thread 0054), starting debugger...", 1),
    ("the program's own failure", 0)])
def test_a_crash_and_a_hang_are_noted(line, crashes):
    with tempfile.TemporaryDirectory() as d:
        trouble = Trouble()
        harness.run_wine(d, 10, ["winedevice.exe"], wine=stub(d, "echo '%s' >&2; exit 3\n" % line), trouble=trouble)
        assert (len(trouble.crashes), trouble.hangs) == (crashes, [])
        assert crashes == 0 or trouble.crashes[0] == "winedevice.exe: " + line
        rc, _ = harness.run_wine(d, 1, ["hang.exe"], wine=stub(d, "exec sleep 30\n"), trouble=trouble)
        assert (rc, trouble.hangs) == (124, ["hang.exe did not end in 1 s"])


def test_no_process_of_a_prefix_outlives_it():
    with tempfile.TemporaryDirectory() as d:
        env = dict(os.environ, WINEPREFIX=d)
        p = subprocess.Popen(["sleep", "30"], env=env)
        other = subprocess.Popen(["sleep", "30"], env=dict(env, WINEPREFIX=d + "-other"))
        assert harness.kill_prefix(d) == 1
        assert p.wait(5) == -9 and other.poll() is None
        other.kill()
        other.wait()
