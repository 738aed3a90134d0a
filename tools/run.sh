#!/bin/bash
# Runs Setup.exe under Wine on an emulated Windows, started from the
# installation disc (drive E:, a CD-ROM drive with the image's files):
#   bash tools/run.sh [--medium FILE] [win95|win98|winme|nt40|win2k|winxp]
# The disc is the sample one that tools/medium.sh makes, or with --medium any
# image that command made; the kind defaults to win98 (98 SE).
# With a display ($DISPLAY set, not in CI) the dialog opens for you to click
# through. Without one it installs (IDE) and uninstalls by script under Xvfb,
# saving a PNG of every screen to build/bench/shots/run-<kind>-*.png.
# Either way it prints what changed on the emulated machine, as the bench
# reports it (tools/run.py).
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

if [ "${EMU32_INSIDE:-}" != 1 ]; then
    bash tools/install-deps.sh || exit 1
    # Wine's 32-bit half under QEMU where the kernel cannot run it.
    bash tools/emu32.sh native || exec bash tools/emu32.sh run bash tools/run.sh "${args[@]}"
fi
echo "building..."
mkdir -p build
make win32 >build/build-run.log 2>&1 || { tail -30 build/build-run.log; exit 1; }
exec /usr/bin/python3 tools/run.py "$kind" ${image:+"$image"}
