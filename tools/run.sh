#!/bin/bash
# Runs Setup.exe under Wine on an emulated Windows, started from the
# installation disc (drive E:, a CD-ROM drive with the image's files):
#   bash tools/run.sh [--medium FILE] [win95|win98|winme|nt40|win2k|winxp]
# The disc is the sample one that tools/medium.sh makes, or with --medium any
# image that command made; the kind defaults to win98 (98 SE).
# With a display ($DISPLAY set, not in CI) the dialog opens for you to click
# through. Without one it installs (IDE) and uninstalls by script under Xvfb,
# saving a PNG of every screen to build/bench/shots/run-<kind>-*.png.
# Either way it prints what changed on the emulated machine.
set -u
usage() { echo "usage: bash tools/run.sh [--medium FILE] [win95|win98|winme|nt40|win2k|winxp]"; exit 2; }
image= kind=win98
args=("$@")
while [ $# -gt 0 ]; do
    case $1 in
    --medium) [ $# -ge 2 ] || usage; image=$(realpath -m -- "$2"); shift 2 ;;
    win95 | win98 | winme | nt40 | win2k | winxp) kind=$1; shift ;;
    *) usage ;;
    esac
done
[ -z "$image" ] || [ -f "$image" ] || { echo "run: no image $image"; exit 2; }
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "${EMU32_INSIDE:-}" != 1 ]; then
    bash tools/install-deps.sh || exit 1
    # Wine's 32-bit half under QEMU where the kernel cannot run it.
    bash tools/emu32.sh native || exec bash tools/emu32.sh run bash tools/run.sh "${args[@]}"
fi
echo "building..."
mkdir -p build
# shellcheck source=bench/lib.sh
source bench/lib.sh
make win32 >build/build-run.log 2>&1 || { tail -30 build/build-run.log; exit 1; }
if [ -z "$image" ]; then
    image=$root/build/medium/veltrano.iso
    bash tools/medium.sh -o "$image" >build/medium-run.log 2>&1 || { cat build/medium-run.log; exit 1; }
fi
export BENCH_DISC=$image
# The program under test is the disc's own Setup.exe.
BENCH_SETUP_EXE=$BENCH_REPO/build/medium/Setup.exe
mkdir -p "$(dirname "$BENCH_SETUP_EXE")" && rm -f "$BENCH_SETUP_EXE" &&
    xorriso -osirrox on -indev "$image" -extract /Setup.exe "$BENCH_SETUP_EXE" >/dev/null 2>&1 &&
    chmod u+w "$BENCH_SETUP_EXE" || { echo "run: $image holds no Setup.exe"; exit 1; }
echo "medium: $image"
bench_install_missing && bench_build_driver || exit 1
interactive=
[ -n "${DISPLAY:-}" ] && [ -z "${CI:-}" ] && interactive=1
if [ -z "$interactive" ]; then
    bench_xvfb_start || exit 1
    trap bench_xvfb_stop EXIT
fi
bench_template || exit 1

name=run-$kind
bench_scenario_begin "$name" || exit 1
windows "$kind"
medium_disc || exit 1
disk_d fixed
case $kind in
win9* | winme)
    # The state manager's start entry of a Windows 9x system.
    reg_set 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\RunServices' '*StateMgr' REG_SZ 'C:\WINDOWS\SYSTEM\STATEMGR.EXE'
    ;;
*)
    # As on a real NT system, PagingFiles is a multi-string.
    reg_set 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management' PagingFiles REG_MULTI_SZ 'C:\pagefile.sys 27 77'
    ;;
esac
snapshots=$BENCH_SCEN_DIR
flag=$WINEPREFIX/drive_c/bench-restart.flag

# Ends the wineserver, so the registry is on disk, and snapshots the machine.
snapshot() {
    # A restart ends the program first and runs the Run entries a moment later.
    local i
    for i in $(seq 1 30); do
        [ -e "$flag" ] && break
        sleep 0.2
    done
    _bench_wait_wineboot
    _bench_reboot >/dev/null
    /usr/bin/python3 "$root/tools/machine_diff.py" save "$WINEPREFIX" "$snapshots/$1.json"
}

report() {
    local what=$1 before=$2 after=$3
    echo
    echo "== What $what changed on the emulated $kind"
    /usr/bin/python3 "$root/tools/machine_diff.py" diff "$snapshots/$before.json" "$snapshots/$after.json"
    if [ -e "$flag" ]; then echo "restart: requested"; else echo "restart: not requested"; fi
    rm -f "$flag"
}

snapshot before
if [ -n "$interactive" ]; then
    _bench_arm_restart
    echo "The Setup dialog is open on your display; close it (or let it restart Windows) to see what changed."
    (cd "$BENCH_SCEN_DIR" && "$BENCH_WINE" start /wait /d 'E:\' 'E:\Setup.exe' </dev/null >/dev/null 2>&1)
    sleep 2
    snapshot after
    report "your run" before after
else
    drive <<'SCRIPT'
start E:\Setup.exe E:\
screenshot 1-first-screen.bmp
click 1001
screenshot 2-choose-interface.bmp
click 1004
screenshot 3-ready-to-install.bmp
click 1008
screenshot 4-install-ok.bmp
message "Warning" "Install OK !! System will be restart ......." question
exits
SCRIPT
    snapshot installed
    report "Install" before installed
    drive <<'SCRIPT'
start E:\Setup.exe E:\
visible 1002
screenshot 5-uninstall-offered.bmp
click 1002
screenshot 6-uninstall-ok.bmp
message "Warning" "Uninstall OK !! System will be restart ......." question
exits
SCRIPT
    snapshot uninstalled
    report "Uninstall" installed uninstalled
    echo
    echo "Screens: $(ls "$BENCH_SHOTS"/"$name"-*.png 2>/dev/null | tr '\n' ' ')"
fi
bench_scenario_end >/dev/null
echo "The emulated machine stays in $WINEPREFIX"
