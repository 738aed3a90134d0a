#!/bin/bash
# Installs what building and testing Setup needs, when something is missing:
# the host compiler and GoogleTest, the two MinGW cross compilers, Wine (its
# 64-bit half), Xvfb and ImageMagick for the headless runs, python3.
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
need python3 python3
[ -d /usr/src/googletest/googletest ] || missing+=(googletest)
[ -e /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ ${#missing[@]} -eq 0 ] && exit 0
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq >/dev/null && apt-get install -y -qq "${missing[@]}" >/dev/null
