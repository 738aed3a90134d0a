"""The bench's scenarios, one row each: the machine, then its steps, each
with the title its report gives it. What each must leave on the machine is
bench/expected/<name>.txt; the driver scripts are in bench/scripts.

The machine is a list of settings, in harness.Machine's terms: ("windows",
kind), ("marker", present), ("medium", files left out, read-only),
("medium_disc",), ("disk_d", kind[, free MB]), ("reg", key, value, type,
data), ("reg_key", key), ("reg_delete_key", key), or a hook of the machine.
"""
import os
import string
import time

from harness import Scenario, Step

SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "scripts")
RUN_SERVICES = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunServices"
MEMORY = r"HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management"
SERVICES = r"HKLM\SYSTEM\CurrentControlSet\Services"
IDE, SCSI = "1004", "1005"
UNSUPPORTED_NT = "Windows  NT  (unsupported version)"


def script(name, shots=False, folder=SCRIPTS, **values):
    """A driver script of bench/scripts (or folder) with its $names filled
    in; without shots, its screenshot lines are left out."""
    text = string.Template(open(os.path.join(folder, name + ".txt")).read()).substitute(values)
    return "".join(line for line in text.splitlines(True) if shots or not line.startswith("screenshot "))


# ---- machines as a real Windows of the kind has them

def nine_x(kind, *more):
    """Windows 95/98/ME without the product, its state manager started from
    RunServices, the complete medium on E:, D: a fixed disk with far more
    than 300 MB free."""
    return [("windows", kind), ("marker", False), ("medium",),
            ("reg", RUN_SERVICES, "*StateMgr", "REG_SZ", r"C:\WINDOWS\SYSTEM\STATEMGR.EXE")] + list(more)


def nt(kind, *more, fresh=False):
    """An NT system without the product, the complete medium on E:, D: a
    fixed disk; its paging file on C:, kept as REG_MULTI_SZ as NT keeps it,
    or as a fresh Wine prefix has it (REG_SZ)."""
    paging = [] if fresh else [("reg", MEMORY, "PagingFiles", "REG_MULTI_SZ", r"C:\pagefile.sys 27 77")]
    return [("windows", kind), ("marker", False), ("medium",)] + paging + list(more)


def plain(kind, installed=False):
    return [("windows", kind), ("marker", installed), ("medium",)]


# ---- steps

def install(choice=IDE, shots=False, title="Install"):
    return Step(title, [("drive", script("install", shots, choice=choice, other=SCSI if choice == IDE else IDE))])


def uninstall(shots=False, before=()):
    return Step("Uninstall", [("drive", script("uninstall", shots))], before)


def failed_install(choice, bar, text, shots=False):
    return Step("Install", [("drive", script("failed-install", shots, choice=choice, bar=bar, text=text))])


def readonly_pagefile(machine):
    path = machine.host("disk_d", "pagefile.sys")
    open(path, "w").write("pagefile\n")
    os.chmod(path, 0o444)


def earlier_peek(machine):
    open(machine.host("drive_c", "kmdrv", "Peek_B.exe"), "w").write("earlier\r\n")


def no_iosubsys(machine):
    os.rmdir(machine.host("drive_c", "windows", "system32", "iosubsys"))


def v98_after_failure(machine):
    """Puts \\98\\v98.vxd on the medium once the driver has taken the
    screenshot "failed", between the failed and the second Next."""
    shot = os.path.join(machine.dir, "shots-%d" % (machine.drives or 1), "failed.bmp")
    for _ in range(1200):
        if os.path.exists(shot):
            return machine.medium_add("98/v98.vxd")
        time.sleep(0.05)
    raise RuntimeError("the screenshot was never taken")


def empty_kmdrv(machine):
    os.makedirs(machine.host("drive_c", "kmdrv"), exist_ok=True)


def run_command(kind, image=None):
    """What the run command does on a machine of that kind: Install (IDE)
    and Uninstall from the installation disc, with a screenshot of every
    screen."""
    machine = nine_x if kind in ("win95", "win98", "winme") else nt
    return Scenario("run-" + kind, machine(kind, ("medium_disc", image)), [install(IDE, True), uninstall(True)])


# ---- the rows

FIRST_SCREENS = {  # kind -> the version text of the first screen
    "win95": "Microsoft  Windows  95", "win98": "Microsoft  Windows  98 SE",
    "winme": "Windows Millennium Edition", "nt40": "Windows  NT  Workstation",
    "nt40-server": "Windows  NT  Server", "win2k": "Windows  2000  Professional",
    "win2k-server": "Windows  2000  Server", "winxp": "Windows  XP  Professional",
    "winxp-server": "Windows  XP  Server", "winxp-dc": "Windows  XP  ", "win7": UNSUPPORTED_NT,
}
REFUSED = {  # kind -> the refusal of Install
    "nt40-server": "The Version not support Windows NT Server",
    "win2k-server": "The Version not support Windows 2000 Server",
    "winxp-server": "The Version not support Windows XP Server", "win7": "Unknow Windows Version",
}

SCENARIOS = [
    # The first screen, product not installed: Install offered; Exit, Escape
    # and the close button end the program and change nothing.
    *[Scenario("first-screen-" + kind, plain(kind), [Step("the first screen", [("drive", script(
        "first-screen", True, text=text, shown="1001", hidden="1002"))])]) for kind, text in FIRST_SCREENS.items()],
    # The same with the product installed: Uninstall offered, and Enter and
    # space end the program too.
    *[Scenario("installed-" + kind, plain(kind, True), [Step("the first screen", [("drive", script(
        "first-screen", True, text=text, shown="1002", hidden="1001")), ("drive", script("enter-space"))])])
      for kind, text in FIRST_SCREENS.items()],
    Scenario("choose-interface-winxp", plain("winxp"), [Step("the choice", [("drive", script("choose-interface", True))])]),
    Scenario("flow-leave-win98", nine_x("win98"), [Step("leaving", [("drive", script("leave"))])]),
    # Complete installs: files, driver registration, paging, the state
    # manager held aside, the marker, the restart.
    Scenario("install-win95-ide", nine_x("win95"), [install(IDE, shots=True)]),
    Scenario("install-win95-d-cdrom", nine_x("win95", ("disk_d", "cdrom")), [install(SCSI)]),
    Scenario("install-win98-ide", nine_x("win98"), [install(IDE)]),
    Scenario("install-win98-scsi", nine_x("win98"), [install(SCSI)]),
    Scenario("install-winme-ide", nine_x("winme"), [install(IDE)]),
    Scenario("install-winme-d-300mb", nine_x("winme", ("disk_d", "fixed", 300)), [install(IDE)]),
    Scenario("install-nt40", nt("nt40"), [install(IDE)]),
    Scenario("install-win2k", nt("win2k"), [install(SCSI)]),
    Scenario("install-win2k-no-d", nt("win2k", ("disk_d", "none")), [install(IDE)]),
    Scenario("install-winxp", nt("winxp", fresh=True), [install(IDE)]),
    # Installs that stop with an error, and the refusals.
    Scenario("install-win98-missing-v98", nine_x("win98", ("medium", ["98/v98.vxd"])),
             [failed_install(IDE, 6, "Soure File Tree not found", shots=True)]),
    Scenario("install-win98-cannot-write", nine_x("win98", no_iosubsys),
             [failed_install(IDE, 6, r"Cannot write C:\\windows\\system32\\iosubsys\\v98.vxd", shots=True)]),
    Scenario("install-nt40-missing-vnt4", nt("nt40", ("medium", ["NT/vnt4.sys"])),
             [failed_install(IDE, 3, "Soure File one not found")]),
    Scenario("install-winxp-missing-peek", nt("winxp", ("medium", ["Peek_B.exe"])),
             [failed_install(SCSI, 5, "Soure File Two not found")]),
    *[Scenario("install-refused-" + kind, plain(kind), [failed_install(IDE, 2, text)]) for kind, text in REFUSED.items()],
    Scenario("flow-retry-win98", nine_x("win98", ("medium", ["98/v98.vxd"])),
             [Step("Install", [("drive", script("retry", True))], during=v98_after_failure)]),
    # Install, the restart, then Uninstall.
    Scenario("uninstall-win95", nine_x("win95", ("medium_disc",)), [install(SCSI), uninstall(shots=True)]),
    Scenario("uninstall-readonly-win98", nine_x("win98", ("medium", [], True)), [install(IDE), uninstall()]),
    Scenario("uninstall-nt40", nt("nt40", ("reg", SERVICES + r"\VNT", "Group", "REG_SZ", "kept"),
                                  ("reg_key", SERVICES + r"\VNT4"), ("reg_key", SERVICES + r"\NT5")),
             [install(IDE), uninstall(before=[readonly_pagefile])]),
    Scenario("uninstall-winxp", nt("winxp", ("medium_disc",), ("reg_key", SERVICES + r"\NT5"),
                                   ("reg_key", SERVICES + r"\VNT4")),
             [install(SCSI), uninstall(before=[readonly_pagefile])]),
    Scenario("uninstall-refused-winxp-server", plain("winxp-server", True), [
        Step("the refused Uninstall", [("drive", script("refused-uninstall", True,
                                                        text="The Version not support Windows XP Server"))],
             before=[empty_kmdrv]),
        Step("the refused Uninstall", [("drive", script("refused-uninstall", text="Unknow Windows Version"))],
             before=[("windows", "win7"), empty_kmdrv])]),
    # A restart request that goes nowhere: the dialog of a completed
    # install stays; an install over it keeps the files in place; the
    # uninstall after it.
    Scenario("flow-after-install-win98", nine_x("win98"), [
        Step("Install", [("drive_refused", script("installed-stays", True))]),
        Step("Install again", [("drive_refused", script("install-again", leave="key escape"))],
             before=[earlier_peek, ("marker", False)]),
        Step("Install again", [("drive_refused", script("install-again", leave="close"))], before=[("marker", False)]),
        Step("Uninstall", [("drive_refused", script("uninstall"))])]),
    # Operations of the setup logic on the real Windows API (setup_ops.exe).
    Scenario("ops-driver-registration", [
        ("windows", "winxp"), ("reg", SERVICES + r"\VNT", "Other", "REG_SZ", "kept"),
        ("reg_key", SERVICES + r"\NT5"), ("reg_key", SERVICES + r"\VNT4")], [
        Step("registering", [("ops", "RegisterNtDriverService", "RegisterStaticVxd")]),
        Step("unregistering", [("ops", "UnregisterNtDriverService=NT5", "UnregisterStaticVxd")]),
        # Without the service key the subkey still goes.
        Step("unregistering", [("ops", "UnregisterNtDriverService=VNT4")],
             before=[("reg_delete_key", SERVICES + r"\VNT")])]),
    Scenario("ops-paging-9x", [("windows", "win98"), ("disk_d", "cdrom")], [
        Step("relocating", [("ops", "CanPageOnDriveD", "RelocatePaging9x")]),
        Step("relocating", [("ops", "CanPageOnDriveD", "RelocatePaging9x")], before=[("disk_d", "fixed")]),
        Step("resetting", [("ops", "ResetPaging9x")])]),
    Scenario("ops-paging-nt", [("windows", "winxp"), ("reg", MEMORY, "PagingFiles", "REG_MULTI_SZ", r"C:\pagefile.sys 27 77")], [
        Step("relocating", [("ops", "CanPageOnDriveD", "RelocatePagingNt")]),
        Step("restoring", [("ops", "RestorePagingNt")], before=[
            ("reg", MEMORY, "PagingFiles", "REG_MULTI_SZ", r"E:\pagefile.sys 10 20\0F:\second.sys 5 9")]),
        Step("relocating", [("ops", "CanPageOnDriveD", "RelocatePagingNt")], before=[("disk_d", "none")])]),
    Scenario("ops-removal-read-only", [("windows", "win98"), ("medium", [], True)], [
        Step("copying", [("ops", r"Copy=E:\Peek_B.exe>C:\windows\PeekCopy.exe", r"Copy=E:\absent.exe>C:\windows\absent.exe")]),
        Step("removing", [("ops", r"RemoveInstalledFile=C:\windows\PeekCopy.exe")])]),
    Scenario("ops-restart", [("windows", "winxp")], [
        Step("no restart", [("ops", "CanPageOnDriveD")]),
        Step("RestartSystem", [("witness",), ("ops", "RestartSystem")])]),
    Scenario("ops-state-manager", [("windows", "win98"), ("reg", RUN_SERVICES, "*StateMgr", "REG_SZ",
                                                           r"C:\WINDOWS\SYSTEM\STATEMGR.EXE")], [
        Step("suspending twice", [("ops", "SuspendStateManagerEntry", "SuspendStateManagerEntry")]),
        Step("restoring", [("ops", "RestoreStateManagerEntry")])]),
]

BY_NAME = {s.name: s for s in SCENARIOS}
