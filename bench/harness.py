"""The end-to-end bench's machinery: an emulated Windows machine (a Wine
prefix copied from a template), its settings, the programs run in it, and
the report of what they changed (tools/machine_diff.py).

A scenario (scenarios.py) is a row: the machine, then steps. Each step
starts with the machine off, its settings written into the registry files
(tools/machine_state.py), a snapshot; runs driver scripts or setup_ops;
waits for a restart in progress; turns the machine off and reports what
changed since the snapshot, and whether a restart was asked for. The report
of all steps is compared with bench/expected/<scenario>.txt.
"""
import difflib
import os
import re
import shlex
import shutil
import signal
import string
import subprocess
import sys
import tempfile
import threading
import time

BENCH = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(BENCH)
sys.path.insert(0, os.path.join(REPO, "tools"))
import machine_diff  # noqa: E402
import machine_state  # noqa: E402

OUT = os.path.abspath(os.environ.get("BENCH_OUT") or os.path.join(REPO, "build", "bench"))
BUILD = os.path.join(REPO, "build", "win32")
WINE = os.environ.get("BENCH_WINE", "/usr/lib/wine/wine")
WINESERVER = os.environ.get("BENCH_WINESERVER", "/usr/lib/wine/wineserver")
TEMPLATE = os.path.join(OUT, "template")
# Bump when the template recipe changes: an older template is then rebuilt.
RECIPE = "bench template 7 win32"
WINE_FONTS = "/usr/share/wine/fonts"
SHOTS = os.path.join(OUT, "shots")
DISC = os.path.join(OUT, "medium.iso")
DISC_FILES = os.path.join(OUT, "disc")
RESTART_FLAG = "drive_c/bench-restart.flag"
RUN_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
MARKER_KEY = r"HKLM\system\Veltrano Card"
APP_KEY = r"HKCU\Software\Wine\AppDefaults\Setup.exe"
SCENARIO_SECONDS = int(os.environ.get("BENCH_SCENARIO_SECONDS", "300"))
# No debugger for a crashed program: under emulation winedbg takes half a
# minute, and the crash's own line says what happened.
OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"

# Machine-specific folders in a report, longest first, as named variables.
USER = os.environ.get("USER") or subprocess.run(["id", "-un"], capture_output=True, text=True).stdout.strip()
VARIABLES = [("%SYSTEM%", "C:\\windows\\system32"), ("%USERPROFILE%", "C:\\users\\" + USER),
             ("%WINDIR%", "C:\\windows")]


class WineTrouble(Exception):
    """Wine crashed or stopped answering: the scenario runs once more in a
    fresh prefix."""


class Failure(Exception):
    """The scenario failed: the program, the driver or the machine."""


def wine_env(prefix, overrides=""):
    env = dict(os.environ, WINEPREFIX=prefix, WINEARCH="win32", WINEDEBUG="-all",
               WINEDLLOVERRIDES=OVERRIDES + overrides)
    return env


def prefix_pids(prefix):
    """Processes whose environment names this prefix, never this one or
    its parents (which may carry the same WINEPREFIX)."""
    mine, pid = set(), os.getpid()
    while pid > 1:
        mine.add(pid)
        try:
            with open("/proc/%d/stat" % pid) as f:
                pid = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, ValueError, IndexError):
            break
    want = ("WINEPREFIX=" + prefix).encode()
    for entry in os.listdir("/proc"):
        if entry.isdigit() and int(entry) not in mine:
            try:
                with open("/proc/%s/environ" % entry, "rb") as f:
                    if want in f.read().split(b"\0"):
                        yield int(entry)
            except OSError:
                pass


def cmdline(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().replace(b"\0", b" ").decode("latin-1").lower()
    except OSError:
        return ""


def kill_prefix(prefix):
    """Ends every process of a prefix, by pid; returns how many."""
    n = 0
    for pid in prefix_pids(prefix):
        try:
            os.kill(pid, signal.SIGKILL)
            n += 1
        except OSError:
            pass
    return n


def run_wine(prefix, seconds, args, cwd=None, overrides="", wine=None, trouble=None):
    """Runs a Wine program with no input, for at most seconds; returns its
    exit code and output. Wine now and then fails to start a program at all
    ("ShellExecuteEx failed: Internal error", or no output whatever with a
    failure): it is started again, up to five times. A crash of any Wine
    process that wrote to its output, or a program past its time, is noted
    in trouble (a list)."""
    out = ""
    for attempt in range(5):
        if trouble is not None:
            trouble.starts += 1
        # Output into a file, not a pipe: the wineserver and the services a
        # boot starts inherit it and outlive the program.
        with tempfile.TemporaryFile() as f:
            try:
                rc = subprocess.run([wine or WINE] + list(args), cwd=cwd, env=wine_env(prefix, overrides),
                                    stdin=subprocess.DEVNULL, stdout=f, stderr=f, timeout=seconds).returncode
            except subprocess.TimeoutExpired:
                rc = 124
                if trouble is not None:
                    trouble.hangs.append("%s did not end in %d s" % (os.path.basename(args[0]), seconds))
            f.seek(0)
            out = f.read().decode("latin-1").replace("\r", "")
        not_started = "ShellExecuteEx failed: Internal error" in out or (rc not in (0, 124) and not out)
        if not not_started:
            break
        if attempt < 4:
            time.sleep(0.5)
    crash = re.search(r"^wine: Unhandled.*$", out, re.M)
    if crash and trouble is not None:
        trouble.crashes.append("%s: %s" % (os.path.basename(args[0]), crash.group(0)))
    return rc, out


def server(prefix, *args):
    subprocess.run([WINESERVER] + list(args), env=wine_env(prefix), stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# ------------------------------------------------------------------ once per run

def make_template():
    """The template prefix, made once and copied for every scenario: Wine's
    own window decoration (no 2 s wait per window without a window
    manager), a boot that starts only the services a program here needs,
    the restart detector (a Run entry that writes RESTART_FLAG: Wine runs
    Run entries at a restart, not at a boot or a shutdown), D: a fixed disk
    and E: a CD-ROM drive on folders of the prefix, the iosubsys folder of a
    Windows 9x system, and Wine's own fonts in C:\\windows\\Fonts (Wine 8
    reads them only there)."""
    stamp = os.path.join(TEMPLATE, ".bench-template")
    if os.path.exists(stamp) and open(stamp).read() == RECIPE:
        return
    print("bench: making the template prefix (once)", file=sys.stderr)
    new = TEMPLATE + ".new"
    shutil.rmtree(new, ignore_errors=True)
    shutil.rmtree(TEMPLATE, ignore_errors=True)
    os.makedirs(new)
    rc, out = run_wine(new, 300, ["wineboot", "-i"])
    server(new, "-k")
    server(new, "-w")
    if rc != 0:
        raise Failure("wineboot -i of the template failed (%d): %s" % (rc, out[-500:]))
    settings = [["set", r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N"],
                ["set", r"HKLM\Software\Wine\Drives", "d:", "REG_SZ", "hd"],
                ["set", r"HKLM\Software\Wine\Drives", "e:", "REG_SZ", "cdrom"],
                ["set", RUN_KEY, "bench-restart", "REG_SZ", "cmd.exe /c echo restarted>C:\\bench-restart.flag"]]
    # Services of a Wine boot that nothing here uses, started on demand only:
    # under emulation every process a boot starts costs about a second.
    for svc in ("Eventlog", "PlugPlay", "NDIS", "nsiproxy"):
        settings.append(["set", "HKLM\\System\\CurrentControlSet\\Services\\" + svc, "Start", "REG_DWORD", "3"])
    machine_state.apply_queue(new, settings)
    if not os.path.exists(os.path.join(WINE_FONTS, "marlett.ttf")):
        raise Failure("no Wine fonts in %s (fonts-wine)" % WINE_FONTS)
    fonts = os.path.join(new, "drive_c", "windows", "Fonts")
    os.makedirs(fonts, exist_ok=True)
    for f in os.listdir(WINE_FONTS):
        shutil.copy(os.path.join(WINE_FONTS, f), fonts)
    for d in ("disk_d", "medium", "drive_c/windows/system32/iosubsys"):
        os.makedirs(os.path.join(new, d), exist_ok=True)
    for letter, target in (("d:", "../disk_d"), ("e:", "../medium")):
        link = os.path.join(new, "dosdevices", letter)
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(target, link)
    with open(os.path.join(new, ".bench-template"), "w") as f:
        f.write(RECIPE)
    os.rename(new, TEMPLATE)


def copy_template(prefix):
    """A prefix of its own from the template. The programs and libraries of
    system32 (nine tenths of its 600 MB, which Wine keeps there only to be
    found: it loads its own) are hard links to the template's; nothing
    writes them in place. Everything else is copied."""
    os.makedirs(prefix)
    subprocess.run("tar -C %s --exclude=./drive_c/windows/system32 -cf - . | tar -C %s -xf - && "
                   "cp -a --link %s/drive_c/windows/system32 %s/drive_c/windows/"
                   % ((shlex.quote(TEMPLATE), shlex.quote(prefix)) * 2), shell=True, check=True)


def make_disc():
    """The installation disc of tools/medium.sh and its files as a disc
    gives them (read-only), the source of every medium of the bench."""
    log = os.path.join(OUT, "logs", "medium.log")
    with open(log, "w") as f:
        if subprocess.run(["bash", os.path.join(REPO, "tools", "medium.sh"), "-o", DISC], stdout=f, stderr=f).returncode:
            raise Failure("could not make the installation disc (see %s)" % log)
    extract(DISC, DISC_FILES)


def extract(image, folder):
    if os.path.exists(folder):
        subprocess.run(["chmod", "-R", "u+w", folder])
        shutil.rmtree(folder)
    p = subprocess.run(["xorriso", "-osirrox", "on", "-indev", image, "-extract", "/", folder], capture_output=True)
    if p.returncode:
        raise Failure("xorriso could not extract %s" % image)


def start_xvfb():
    """An Xvfb display of its own; returns (process, display). Xvfb picks a
    free display number itself (-displayfd): two workers that each looked
    for a free one could both take the same, and fight over the focus."""
    read, write = os.pipe()
    log = open(os.path.join(OUT, "logs", "xvfb-%d.log" % os.getpid()), "w")
    p = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                         stdout=log, stderr=log, pass_fds=(write,))
    os.close(write)
    with os.fdopen(read) as f:
        number = f.readline().strip()
    if not number.isdigit():
        stop_xvfb(p)
        raise Failure("could not start Xvfb")
    return p, ":" + number


def stop_xvfb(p):
    """Ends Xvfb so that it removes its lock file."""
    p.terminate()
    p.wait()


def driver_exe():
    """The driver of the build when it is up to date, else one built here."""
    src, built = os.path.join(BENCH, "driver.cpp"), os.path.join(BUILD, "bench-driver.exe")
    if os.path.exists(built) and os.path.getmtime(built) >= os.path.getmtime(src):
        return built
    return mingw(os.path.join(OUT, "driver-win32.exe"), [src], ["-luser32", "-lgdi32", "-lcomctl32"])


def standin_exe():
    """The self-test's stand-in for Setup.exe (bench/selftest)."""
    src = os.path.join(BENCH, "selftest")
    return mingw(os.path.join(OUT, "selftest-win32", "Setup.exe"), [os.path.join(src, "dialog.cpp")],
                 ["-mwindows", "-lcomctl32", "-ladvapi32"], os.path.join(src, "dialog.rc"))


def mingw(exe, sources, flags, rc=None):
    """A static 32-bit program built here when it is older than a source."""
    inputs = sources + ([rc] if rc else [])
    if not os.path.exists(exe) or os.path.getmtime(exe) < max(map(os.path.getmtime, inputs)):
        os.makedirs(os.path.dirname(exe), exist_ok=True)
        if rc:
            sources = sources + [exe[:-4] + ".res"]
            subprocess.run(["i686-w64-mingw32-windres", rc, "-O", "coff", "-o", sources[-1]], check=True)
        subprocess.run(["i686-w64-mingw32-g++", "-O1", "-static", "-o", exe] + sources + flags, check=True)
    return exe


# ------------------------------------------------------------------ the machine

class Machine:
    """One emulated Windows in a fresh copy of the template, off until a
    program boots it."""

    def __init__(self, name, display, program, folder=None):
        self.name, self.display, self.program = name, display, program
        self.dir = folder or os.path.join(OUT, "run", name)
        self.prefix = os.path.join(self.dir, "prefix")
        self.starts, self.hangs, self.crashes = 0, [], []
        self.running, self.queue, self.kind = False, [], None
        self.medium_dir = os.path.join(self.prefix, "medium")
        self.drives, self.tmpfs, self.shots = 0, None, []
        remove_dir(self.dir)
        os.makedirs(self.dir)
        copy_template(self.prefix)
        self.place_program()

    def place_program(self):
        """The program under test at the medium's root."""
        if os.path.exists(self.program):
            shutil.copy(self.program, self.host("medium", "Setup.exe"))

    def host(self, *parts):
        return os.path.join(self.prefix, *parts)

    def wine(self, seconds, args, cwd=None, overrides=""):
        os.environ["DISPLAY"] = self.display
        rc, out = run_wine(self.prefix, seconds, args, cwd or self.dir, overrides, trouble=self)
        return rc, out

    # ---- settings, written into the registry files while the machine is off

    def reg(self, key, name, type_, data):
        self.queue.append(["set", key, name, type_, data])

    def reg_key(self, key):
        self.queue.append(["key", key])

    def reg_unset(self, key, name):
        self.queue.append(["unset", key, name])

    def reg_delete_key(self, key):
        self.queue.append(["delete", key])

    def marker(self, present):
        self.queue.append(["key", MARKER_KEY] if present else ["delete", MARKER_KEY])

    NT_VERSIONS = {"nt40": ("4.0", "1381", "Service Pack 6", "0x600"),
                   "win2k": ("5.0", "2195", "Service Pack 4", "0x400"),
                   "winxp": ("5.1", "2600", "Service Pack 3", "0x300"),
                   "win7": ("6.1", "7601", "Service Pack 1", "0x100")}
    PRODUCT_TYPES = {"server": "ServerNT", "dc": "LanmanNT", "ws": "WinNT", "": "WinNT"}

    def windows(self, kind):
        """The Windows the program sees: win95 win98 winme nt40 win2k winxp
        win2003 through Wine's per-program version; win7 no setting (Wine's
        default); nt40-server, win2k-dc, winxp-ws and the like through the
        registry's version and product type (ServerNT, LanmanNT, WinNT)."""
        base, _, edition = kind.partition("-")
        self.kind = kind
        if not edition and kind != "win7":
            return self.reg(APP_KEY, "Version", "REG_SZ", kind)
        if base not in self.NT_VERSIONS or edition not in self.PRODUCT_TYPES:
            raise Failure("unknown kind of Windows %s" % kind)
        self.reg_unset(APP_KEY, "Version")
        version, build, csd, sp = self.NT_VERSIONS[base]
        nt = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion"
        self.reg(nt, "CurrentVersion", "REG_SZ", version)
        self.reg(nt, "CurrentBuildNumber", "REG_SZ", build)
        self.reg(nt, "CSDVersion", "REG_SZ", csd)
        self.reg(r"HKLM\System\CurrentControlSet\Control\Windows", "CSDVersion", "REG_DWORD", sp)
        self.reg(r"HKLM\System\CurrentControlSet\Control\ProductOptions", "ProductType", "REG_SZ",
                 self.PRODUCT_TYPES[edition])

    def medium(self, without=(), readonly=False):
        """Drive E: holds the sample disc's files, without some, writable
        (a folder medium) or read-only (as from a disc), with the program
        under test at its root."""
        self._medium_from(DISC_FILES)
        for f in without:
            os.remove(self.host("medium", f))
        os.chmod(self.host("medium", "Setup.exe"), 0o644)
        self.place_program()
        subprocess.run(["chmod", "-R", "a-w" if readonly else "u+w", self.medium_dir])
        if readonly:
            os.chmod(self.medium_dir, 0o755)

    def medium_disc(self, image=None):
        """Drive E: holds the installation disc as a disc gives its files
        (read-only); its Setup.exe must be the program under test."""
        if image:
            shutil.rmtree(self.medium_dir)
            extract(image, self.medium_dir)
        else:
            self._medium_from(DISC_FILES)
        with open(self.host("medium", "Setup.exe"), "rb") as a, open(self.program, "rb") as b:
            if a.read() != b.read():
                raise Failure("the disc's Setup.exe is not %s" % self.program)

    def _medium_from(self, folder):
        subprocess.run(["chmod", "-R", "u+w", self.medium_dir])
        shutil.rmtree(self.medium_dir)
        shutil.copytree(folder, self.medium_dir, symlinks=True)

    def medium_add(self, name):
        """Puts that file of the sample disc (back) on the medium, also while
        the program runs."""
        target = self.host("medium", name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy(os.path.join(DISC_FILES, name), target)
        os.chmod(target, 0o644)

    def disk_d(self, kind, free_mb=None):
        """Drive D: a fixed disk (a folder of the host's disk, its real free
        space, or with free_mb a tmpfs of that size: root only), a CD-ROM
        drive or none. Wine's mount manager reads the types at a boot."""
        link, drives = self.host("dosdevices", "d:"), r"HKLM\Software\Wine\Drives"
        if os.path.lexists(link):
            os.remove(link)
        if kind == "none":
            return self.reg_unset(drives, "d:")
        os.symlink("../disk_d", link)
        self.reg(drives, "d:", "REG_SZ", "hd" if kind == "fixed" else "cdrom")
        if free_mb:
            if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%dm" % free_mb, "bench-disk-d",
                               self.host("disk_d")]).returncode:
                raise Failure("mount of a tmpfs failed (root only)")
            self.tmpfs = self.host("disk_d")

    def ini_set(self, key, value):
        """A key of section [386Enh] of C:\\windows\\system.ini, as the
        machine has it before the program runs (CRLF lines)."""
        path = self.host("drive_c", "windows", "system.ini")
        lines = open(path, encoding="latin-1").read().replace("\r", "").split("\n") if os.path.exists(path) else []
        section, done, out = None, False, []
        for line in lines:
            if line.strip().startswith("["):
                if section == "386enh" and not done:
                    out.append("%s=%s" % (key, value))
                    done = True
                section = line.strip()[1:].split("]")[0].lower()
            elif section == "386enh" and line.split("=")[0].strip().lower() == key.lower():
                if not done:
                    out.append("%s=%s" % (key, value))
                done = True
                continue
            out.append(line)
        if not done:
            if section != "386enh":
                out.insert(len(out) - (out[-1:] == [""]), "[386Enh]")
            out.insert(len(out) - (out[-1:] == [""]), "%s=%s" % (key, value))
        with open(path, "w", encoding="latin-1", newline="") as f:
            f.write("\r\n".join(out))

    # ---- on and off

    def wineboot_running(self):
        """A restart, shutdown or boot of this machine in progress (the
        restart detector included, which wineboot does not wait for)."""
        return any(w in cmdline(pid) for pid in prefix_pids(self.prefix) for w in ("wineboot", "bench-restart"))

    def wait_wineboot(self, seconds=60):
        end = time.time() + seconds
        while self.wineboot_running():
            if time.time() > end:
                self.hangs.append("wineboot (a restart or boot) still ran after %d s" % seconds)
                raise WineTrouble(self.hangs[-1])
            time.sleep(0.1)

    def up(self, boot=False):
        """The machine ready for a Wine program: its settings written into
        its registry files while it is off, a wineserver of its own kept up
        (wineserver -p) so that a restart's Run entries run in it; the next
        program boots it (with boot: a query, now)."""
        if self.running:
            if self.queue:
                raise Failure("settings for a running machine: turn it off first")
            return
        self.apply()
        server(self.prefix, "-k")
        server(self.prefix, "-w")
        subprocess.run([WINESERVER, "-p"], env=wine_env(self.prefix), check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.running = True
        if boot:
            self.wine(60, ["reg", "query", r"HKLM\Software\Wine"])
            self.wait_wineboot()

    def apply(self):
        if self.queue:
            queue, self.queue = self.queue, []
            try:
                machine_state.apply_queue(self.prefix, queue)
            except ValueError as e:
                raise Failure("the machine's settings cannot be written: %s" % e)

    def down(self):
        """The machine off, once a restart in progress has ended: its
        wineserver ends and writes the registry files."""
        if self.running:
            try:
                self.wait_wineboot()
            finally:
                server(self.prefix, "-k")
                server(self.prefix, "-w")
                self.running = False

    def end(self):
        server(self.prefix, "-k")
        server(self.prefix, "-w")
        self.running = False
        left = kill_prefix(self.prefix)
        if self.tmpfs:
            subprocess.run(["umount", self.tmpfs], stderr=subprocess.DEVNULL)
            self.tmpfs = None
        return left

    # ---- programs

    def drive(self, script, fails=None, restart_refused=False):
        """Runs the driver with a script (bench/driver.cpp's language). With
        restart_refused no restart request goes through (wineboot cannot
        start in the driver's processes): the program stays open after its
        request. With fails the driver must stop at a failure holding that
        text."""
        self.drives += 1
        n = self.drives
        path, shots = os.path.join(self.dir, "script-%d.txt" % n), os.path.join(self.dir, "shots-%d" % n)
        with open(path, "w") as f:
            f.write(script)
        if not os.path.exists(self.program):
            raise Failure("no program to test: %s does not exist (make win32)" % self.program)
        self.up(boot=restart_refused)
        os.makedirs(shots, exist_ok=True)
        rc, out = self.wine(300, [DRIVER, "Z:" + path.replace("/", "\\")], cwd=shots,
                            overrides=";wineboot.exe=d" if restart_refused else "")
        with open(os.path.join(self.dir, "driver-%d.log" % n), "w") as f:
            f.write(out)
        self.save_shots(shots)
        if fails is not None:
            if rc == 1 and any("FAIL:" in line and fails in line for line in out.splitlines()):
                return out
            raise Failure("expected the driver to fail with %r (exit code %d):\n%s" % (fails, rc, indent(out)))
        if rc:
            raise Failure("the driver stopped (exit code %d):\n%s" % (rc, indent(out)))
        return out

    def save_shots(self, folder):
        os.makedirs(SHOTS, exist_ok=True)
        for bmp in sorted(os.listdir(folder)):
            png = "%s-%s.png" % (self.name, os.path.splitext(bmp)[0])
            if subprocess.run(["convert", os.path.join(folder, bmp), os.path.join(SHOTS, png)]).returncode:
                raise Failure("screenshot %s: convert to PNG failed" % bmp)
            self.shots.append(png)

    def ops(self, *operations):
        """One run of setup_ops.exe (the setup logic's operations on the
        real Windows API, without the dialog); returns its output."""
        exe = os.environ.get("BENCH_OPS_EXE") or os.path.join(BUILD, "setup_ops.exe")
        self.drives += 1
        self.up()
        rc, out = self.wine(60, [exe] + list(operations))
        if rc:
            raise Failure("setup_ops %s exited with %d:\n%s" % (" ".join(operations), rc, indent(out)))
        return "ops %s:" % " ".join(operations) + ("\n" + indent(out.rstrip("\n")) if out.strip() else "")

    def witness(self):
        """A program with a window of its own that writes down the
        end-of-session messages it gets into C:\\witness.txt."""
        exe = os.environ.get("BENCH_WITNESS_EXE") or os.path.join(BUILD, "endsession_witness.exe")
        self.up()
        self.starts += 1
        subprocess.Popen([WINE, exe, "C:\\witness.txt"], cwd=self.dir, env=wine_env(self.prefix),
                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        path = self.host("drive_c", "witness.txt")
        for _ in range(600):
            if os.path.exists(path) and "started" in open(path, errors="replace").read():
                return
            time.sleep(0.1)
        raise Failure("the witness did not start")

    # ---- what changed

    def snapshot(self):
        self.down()
        self.apply()
        return machine_diff.snapshot(self.prefix, medium=True)

    def restarted(self, wait=False):
        """Whether a restart was asked for since the flag was removed; with
        wait, gives a restart on its way 20 s."""
        flag = self.host(RESTART_FLAG)
        end = time.time() + (20 if wait else 0)
        while not os.path.exists(flag) and time.time() < end:
            time.sleep(0.1)
        return os.path.exists(flag)


def remove_dir(folder):
    if os.path.isdir(folder):
        with open("/proc/mounts") as f:
            for line in f:
                mount = line.split()[1]
                if mount.startswith(folder + "/"):
                    subprocess.run(["umount", mount], stderr=subprocess.DEVNULL)
        subprocess.run(["chmod", "-R", "u+w", folder])
        shutil.rmtree(folder, ignore_errors=True)


def indent(text, by="  "):
    return "\n".join(by + line if line else line for line in text.rstrip("\n").split("\n"))


DRIVER = None
PROGRAM = os.environ.get("BENCH_SETUP_EXE") or os.path.join(BUILD, "Setup.exe")


# ------------------------------------------------------------------ scenarios

class Step:
    """One step of a scenario: settings and hooks while the machine is off
    (before), then its programs (run: driver scripts, ops, the witness),
    each an action: ("drive", script), ("drive_refused", script),
    ("ops", op...), ("witness",), or a callable of the machine."""

    def __init__(self, title, run, before=(), during=None):
        self.title, self.run, self.before, self.during = title, run, list(before), during


class Scenario:
    def __init__(self, name, machine, steps, program=None, doc=""):
        self.name, self.machine, self.steps, self.program, self.doc = name, machine, steps, program, doc


def do(machine, action):
    if callable(action):
        return action(machine)
    op, args = action[0], action[1:]
    if op in ("drive", "drive_refused"):
        machine.drive(args[0], restart_refused=op == "drive_refused")
    elif op == "drive_fails":
        machine.drive(args[1], fails=args[0])
    elif op == "ops":
        return machine.ops(*args)
    elif op == "witness":
        machine.witness()
    else:
        getattr(machine, op)(*args)


def restarts(expected):
    """For each step of an expected report, whether it ends with a restart."""
    return ["\nrestart: requested" in step for step in re.split(r"(?m)^(?===)", expected or "") if step.strip()]


def run_steps(machine, scenario, restart=(), show=None):
    """Runs the steps of a scenario on its machine; returns the report.
    A step whose restart is true gets 20 s for a restart on its way. With
    show, each step's report is given to it as soon as it is made."""
    for action in scenario.machine:
        do(machine, action)
    report = []
    for i, step in enumerate(scenario.steps):
        machine.down()
        for action in step.before:
            do(machine, action)
        before = machine.snapshot()
        flag = machine.host(RESTART_FLAG)
        if os.path.exists(flag):
            os.remove(flag)
        outputs, worker = [], None
        if step.during:
            worker = Background(step.during, machine)
        try:
            for action in step.run:
                out = do(machine, action)
                if isinstance(out, str):
                    outputs.append(out)
        finally:
            if worker:
                worker.join()
        if machine.running:
            machine.wait_wineboot()
        restarted = machine.restarted(wait=i < len(restart) and restart[i])
        after = machine.snapshot()
        lines = ["== What %s changed on the emulated %s" % (step.title, machine.kind)] + outputs
        lines += machine_diff.diff(before, after)
        lines.append("restart: %s" % ("requested" if restarted else "not requested"))
        text = "\n".join(lines) + "\n"
        report.append(text)
        if show:
            show(text)
    return "\n".join(report)


class Background(threading.Thread):
    """A hook that acts on the machine while its program runs."""

    def __init__(self, hook, machine):
        super().__init__(daemon=True)
        self.hook, self.machine, self.error = hook, machine, None
        self.start()

    def run(self):
        try:
            self.hook(self.machine)
        except Exception as e:  # noqa: BLE001 - reported by join
            self.error = e

    def join(self, timeout=None):
        super().join(timeout)
        if self.error:
            raise Failure("the hook failed: %s" % self.error)


def as_variables(text):
    """A report with the machine-specific folders as named variables."""
    for name, value in VARIABLES:
        text = text.replace(value, name)
    return text


def compare(expected, actual):
    """The differences of two reports as a unified diff; empty when equal."""
    if expected == actual:
        return ""
    return "".join(difflib.unified_diff((expected or "").splitlines(True), actual.splitlines(True),
                                        "expected", "found", n=2))


def run_scenario(scenario, display, program, expected=None):
    """Runs a scenario once in a fresh machine and returns the machine, with
    its report, or its error: WineTrouble when Wine crashed or stopped
    answering, Failure when the scenario failed otherwise. No process of its
    prefix outlives it, and it ends whole after SCENARIO_SECONDS."""
    machine = Machine(scenario.name, display, scenario.program or program)
    timer = threading.Timer(SCENARIO_SECONDS, lambda: (machine.hangs.append(
        "the scenario still ran after %d s" % SCENARIO_SECONDS), kill_prefix(machine.prefix)))
    timer.start()
    machine.report = machine.error = None
    try:
        machine.report = as_variables(run_steps(machine, scenario, restarts(expected)))
    except (Failure, WineTrouble, OSError, subprocess.SubprocessError) as e:
        machine.error = Failure(str(e))
    finally:
        timer.cancel()
        left = machine.end()
    if machine.crashes:
        machine.error = WineTrouble("a Wine process crashed (%s)" % machine.crashes[0])
    elif machine.hangs:
        machine.error = WineTrouble("Wine stopped answering (%s)" % machine.hangs[0])
    machine.left = left
    return machine


def expected_path(name, selftest=False):
    return os.path.join(BENCH, "selftest" if selftest else "", "expected", name + ".txt")


def read(path):
    return open(path).read() if os.path.exists(path) else None


def wine_test(exe):
    """Runs a test program of the build (contract_tests.exe) in a throwaway
    machine, the template made first when there is none; returns its exit
    code."""
    exe = os.path.abspath(exe)
    os.makedirs(os.path.join(OUT, "logs"), exist_ok=True)
    xvfb, display = start_xvfb()
    os.environ["DISPLAY"] = display
    try:
        make_template()
        machine = Machine("wine-test", display, exe)
        try:
            rc, out = machine.wine(600, [exe])
        finally:
            machine.end()
            remove_dir(machine.dir)
        print(out, end="")
        return rc
    finally:
        stop_xvfb(xvfb)


if __name__ == "__main__":
    sys.exit(wine_test(sys.argv[1]))
