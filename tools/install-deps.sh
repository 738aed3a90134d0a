#!/bin/bash
# Installs what building and testing Setup needs, when something is missing:
# the host compiler and GoogleTest, the two MinGW cross compilers, Wine (its
# 32-bit half, which runs the product, and its 64-bit half, which runs the
# x86_64 fallback build), Xvfb and ImageMagick for the headless runs, python3
# with pefile for the product check.
set -u
missing=()
need() { command -v "$1" >/dev/null 2>&1 || [ -x "$1" ] || missing+=("$2"); }
need cmake cmake
need g++ g++
need make make
need i686-w64-mingw32-g++ g++-mingw-w64-i686
need x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64
need /usr/lib/wine/wine64 wine64
need Xvfb xvfb
need /usr/bin/convert imagemagick
need /usr/bin/python3 python3
/usr/bin/python3 -c 'import pefile' 2>/dev/null || missing+=(python3-pefile)
[ -d /usr/src/googletest/googletest ] || missing+=(googletest)
[ -e /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)

# Wine's 32-bit half comes from Debian's i386 architecture.
want32=0
[ -x /usr/lib/wine/wine ] || want32=1

[ ${#missing[@]} -eq 0 ] && [ $want32 -eq 0 ] && exit 0
export DEBIAN_FRONTEND=noninteractive
if [ $want32 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
echo "install-deps: installing ${missing[*]}"
apt-get update -qq >/dev/null
if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y -qq "${missing[@]}" >/dev/null || exit 1
fi
if [ $want32 -eq 1 ]; then
    echo "install-deps: installing wine32"
    # wine64 is named too, or apt may take it away to make room. A machine
    # that cannot execute 32-bit programs still takes the package; whether
    # it runs is the test command's question.
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
            wine32:i386 wine64 >/dev/null || echo "install-deps: wine32 could not be installed"
        rm -rf "$main"
    fi
fi
exit 0
