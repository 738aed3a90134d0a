#!/bin/bash
# Installs what building and testing Setup needs, when something is missing:
# the host compiler and GoogleTest, clang with libFuzzer and its coverage
# tools, the MinGW cross compiler for i686, Wine and its fonts, Xvfb and
# ImageMagick for the headless runs, python3 with pefile for the product
# check, xorriso and pycdlib for the installation medium. Then
# Wine's 32-bit half, which runs the product: Debian's wine32 where the
# kernel executes 32-bit programs, else the emulated one of tools/emu32.sh.
set -u
here=$(cd "$(dirname "$0")" && pwd)
missing=()
need() { command -v "$1" >/dev/null 2>&1 || [ -x "$1" ] || missing+=("$2"); }
need cmake cmake
need g++ g++
# clang's libFuzzer and source-based coverage, for tools/fuzz.sh.
need clang++-14 clang
[ -e /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a ] || missing+=(libclang-rt-14-dev)
need llvm-cov-14 llvm-14
need make make
need i686-w64-mingw32-g++-posix g++-mingw-w64-i686-posix
need /usr/lib/wine/wine64 wine64
# Wine's own fonts, and the Arial-compatible ones Wine draws a dialog's
# "MS Sans Serif" with (without them a wider font, and wider dialogs).
[ -e /usr/share/wine/fonts/tahoma.ttf ] || missing+=(fonts-wine)
[ -e /usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf ] || missing+=(fonts-liberation)
need Xvfb xvfb
need /usr/bin/convert imagemagick-6.q16
need /usr/bin/import imagemagick-6.q16
need /usr/bin/python3 python3
need xorriso xorriso
need unshare util-linux
/usr/bin/python3 -c 'import pefile' 2>/dev/null || missing+=(python3-pefile)
/usr/bin/python3 -c 'import pycdlib' 2>/dev/null || missing+=(python3-pycdlib)
# The bench's harness: pytest, two scenarios at a time with pytest-xdist.
/usr/bin/python3 -c 'import pytest' 2>/dev/null || missing+=(python3-pytest)
/usr/bin/python3 -c 'import xdist' 2>/dev/null || missing+=(python3-pytest-xdist)
[ -d /usr/src/googletest/googletest ] || missing+=(googletest)
[ -e /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
# The emulated Wine's i386 programs start through /lib/ld-linux.so.2.
[ -e /lib/ld-linux.so.2 ] || missing+=(libc6-i386)

export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    apt-get update -qq >/dev/null
    # What the packages only recommend (sound, video, printing, GPU drivers,
    # the win32-thread compilers) is not needed here: about 130 MB less.
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || exit 1
fi

if ! bash "$here/emu32.sh" native; then
    # No 32-bit execution here: the i386 packages would install but never run.
    bash "$here/emu32.sh" prepare
    exit
fi
[ -x /usr/lib/wine/wine ] && exit 0
echo "install-deps: installing wine32"
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq >/dev/null
# wine64 is named too, or apt may take it away to make room.
if ! apt-get install -y -qq wine32:i386 wine64 >/dev/null 2>&1; then
    # An i386 index of the security archive that could not be fetched
    # leaves the two architectures at different versions of shared
    # libraries; the main archive alone has matching ones.
    main=$(mktemp -d)
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] && grep -v -- '-security' "$f" >"$main/$(basename "$f")"
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] && awk 'BEGIN { RS = ""; ORS = "\n\n" } !/-security/' "$f" >"$main/$(basename "$f")"
    done
    apt-get install -y -qq -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$main" \
        wine32:i386 wine64 >/dev/null
    rc=$?
    rm -rf "$main"
    [ $rc -eq 0 ] || { echo "install-deps: wine32 could not be installed"; exit 1; }
fi
/usr/lib/wine/wine --version >/dev/null 2>&1 || { echo "install-deps: Wine's 32-bit half does not start"; exit 1; }
