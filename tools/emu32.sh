#!/bin/bash
# Wine's 32-bit half where this machine's kernel cannot execute 32-bit
# programs: Debian's i386 Wine, unpacked from its packages into a cache,
# run by QEMU's user-mode CPU emulator (qemu-i386 of Debian 13: Debian 12's
# QEMU 7.2 cannot run Wine 8) inside a user and mount namespace of its own.
#
#   emu32.sh native           exit 0 when the kernel runs 32-bit programs itself
#   emu32.sh prepare          fetch and unpack what the emulation needs, once
#   emu32.sh run CMD [ARG...] run CMD in the namespace, where /usr/lib/wine/wine
#                             starts the 32-bit loader as on a native machine
#
# Nothing outside the namespace changes: qemu-i386 is registered for i386
# programs in the namespace's own binfmt_misc, and the unpacked i386
# libraries and 32-bit loader are bind-mounted over /usr/lib/i386-linux-gnu
# and /usr/lib/wine there. The machine's own 64-bit wineserver serves both.
set -u
here=$(cd "$(dirname "$0")" && pwd)

# Bump when what prepare makes changes: an older cache is then rebuilt.
recipe=2
cache_root=${VELTRANO_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/veltrano-setup}

die() {
    echo "emu32: $*" >&2
    exit 1
}

# A 93-byte static i386 Linux program that exits with 0.
probe_elf() {
    /usr/bin/python3 -c 'import sys; sys.stdout.buffer.write(bytes.fromhex(sys.argv[1]))' \
        7f454c46010101000000000000000000020003000100000054800408340000000000000000000000340020000100000000000000010000000000000000800408008004085d0000005d0000000500000000100000b80100000031dbcd80 \
        >"$1" && chmod +x "$1"
}

# Whether the kernel executes a 32-bit program here (in the namespace it
# does, through the emulator).
runs_i386() {
    local dir rc
    dir=$(mktemp -d) || return 2
    probe_elf "$dir/probe" && "$dir/probe" 2>/dev/null
    rc=$?
    rm -rf "$dir"
    return $rc
}

wine_version() {
    dpkg-query -W -f='${Version}' wine64 2>/dev/null
}

# The cache of this Wine version and recipe.
cache_dir() {
    local v
    v=$(wine_version)
    [ -n "$v" ] || die "wine64 is not installed"
    printf '%s/wine32-%s-r%s' "$cache_root" "${v//[:~+]/_}" "$recipe"
}

# The machine's Debian archive (the first source that is not the security
# archive) and release.
debian_archive() {
    local uri
    uri=$(grep -h -E '^(deb |URIs:)' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
        /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v -- '-security' |
        grep -o -E 'https?://[^ ]*/debian/?' | head -1)
    printf '%s' "${uri:-http://deb.debian.org/debian}"
}

# apt_private <dir> <arch> <line of sources.list> <apt command> [args]:
# apt with a source list, index and cache of its own, for one
# architecture; the machine's package state is neither read nor changed.
apt_private() {
    local dir=$1 arch=$2 source=$3
    shift 3
    mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial" || return 1
    [ -f "$dir/sources.list" ] || echo "$source" >"$dir/sources.list"
    touch "$dir/status"
    "$@" -o Dir::Etc::sourcelist="$dir/sources.list" -o Dir::Etc::sourceparts=/nonexistent \
        -o Dir::State::Lists="$dir/lists" -o Dir::State::status="$dir/status" \
        -o Dir::Cache="$dir/cache" -o APT::Architecture="$arch" -o APT::Architectures::="$arch" \
        -o Debug::NoLocking=1 -o APT::Sandbox::User=root
}

# Wine's 32-bit half and what it loads at run time; the fonts are the
# machine's.
I386_PACKAGES="wine32 libwine libx11-6 libxext6 libxrender1 libxrandr2 libxi6 libxcursor1
libxinerama1 libxcomposite1 libxfixes3 libxxf86vm1 libxcb1 libxau6 libxdmcp6 libfreetype6 libfontconfig1"

prepare() {
    native_i386 && return 0
    local dir version archive release tmp
    dir=$(cache_dir) || exit 1
    if [ -f "$dir/complete" ]; then
        echo "emu32: the tests run the 32-bit product under QEMU emulation (Wine's 32-bit half from $dir)"
        return 0
    fi
    version=$(wine_version)
    archive=$(debian_archive)
    release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$release" ] || die "cannot tell this machine's Debian release from /etc/os-release"
    echo "emu32: this machine cannot execute 32-bit programs; fetching Wine's 32-bit half ($version) and QEMU 10 into $dir"
    mkdir -p "$cache_root" || die "cannot make $cache_root"
    tmp=$dir.new.$$
    rm -rf "$dir" "$tmp"
    trap 'rm -rf "$tmp"' EXIT
    mkdir -p "$tmp/debs" "$tmp/root" "$tmp/qemu" || die "cannot write $tmp"

    local i386="deb [arch=i386 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $archive $release main"
    apt_private "$tmp/apt-i386" i386 "$i386" apt-get -qq update >"$tmp/apt.log" 2>&1 ||
        die "cannot fetch the i386 package index of $archive $release (see $tmp/apt.log)"
    local closure
    # shellcheck disable=SC2086
    closure=$(apt_private "$tmp/apt-i386" i386 "$i386" apt-cache depends --recurse --no-recommends \
        --no-suggests --no-conflicts --no-breaks --no-replaces --no-enhances \
        "wine32=$version" $I386_PACKAGES | grep -v -E '^ |^<|^fonts-' | sort -u)
    [ -n "$closure" ] || die "cannot resolve the packages of wine32 $version for i386"
    # shellcheck disable=SC2086
    (cd "$tmp/debs" && apt_private "$tmp/apt-i386" i386 "$i386" apt-get -qq download \
        $(sed "s/^wine32\$/wine32=$version/; s/^libwine\$/libwine=$version/" <<<"$closure")) >>"$tmp/apt.log" 2>&1 ||
        die "cannot download wine32 $version and its i386 libraries (see $tmp/apt.log)"

    local trixie="deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $archive trixie main"
    apt_private "$tmp/apt-qemu" amd64 "$trixie" apt-get -qq update >>"$tmp/apt.log" 2>&1 &&
        (cd "$tmp/qemu" && apt_private "$tmp/apt-qemu" amd64 "$trixie" apt-get -qq download qemu-user) >>"$tmp/apt.log" 2>&1 ||
        die "cannot download qemu-user of Debian 13 (trixie) from $archive (see $tmp/apt.log)"

    local deb
    for deb in "$tmp"/debs/*.deb; do
        dpkg-deb -x "$deb" "$tmp/root" || die "cannot unpack $deb"
    done
    dpkg-deb -x "$tmp"/qemu/*.deb "$tmp/qemu/x" || die "cannot unpack qemu-user"
    mv "$tmp/qemu/x/usr/bin/qemu-i386" "$tmp/qemu-i386" || die "qemu-user holds no qemu-i386"
    # Debian 12 puts some i386 libraries under lib/, some under usr/lib/.
    cp -a "$tmp/root/lib/i386-linux-gnu/." "$tmp/root/usr/lib/i386-linux-gnu/" || die "cannot merge the i386 libraries"
    # Wine's user32 loads zlib1.dll, which the machine's libwine makes from
    # libz-mingw-w64 when it is installed, marked as a Wine builtin DLL.
    cp /usr/lib/x86_64-linux-gnu/wine/i386-windows/zlib1.dll "$tmp/root/usr/lib/i386-linux-gnu/wine/i386-windows/" ||
        die "no /usr/lib/x86_64-linux-gnu/wine/i386-windows/zlib1.dll (reinstall libwine)"
    # What the namespace mounts over /usr/lib/wine: the machine's 64-bit
    # loader and server beside the 32-bit loader.
    mkdir -p "$tmp/wine" &&
        cp -a /usr/lib/wine/. "$tmp/wine/" &&
        cp -a "$tmp/root/usr/lib/wine/wine" "$tmp/root/usr/lib/wine/wineserver32" "$tmp/wine/" ||
        die "cannot assemble the Wine loaders"
    rm -rf "$tmp/debs" "$tmp/qemu" "$tmp/apt-i386" "$tmp/apt-qemu"
    {
        echo "wine32 $version"
        echo "qemu-user $("$tmp/qemu-i386" --version | head -1)"
        echo "$closure" | tr '\n' ' '
        echo
    } >"$tmp/complete"
    mv "$tmp" "$dir" || die "cannot move $tmp to $dir"
    trap - EXIT
    check_cache "$dir" || die "the cache $dir is damaged"
    echo "emu32: the tests run the 32-bit product under QEMU emulation (Wine's 32-bit half from $dir)"
}

# The files the namespace needs, all present.
check_cache() {
    local f
    for f in complete qemu-i386 wine/wine wine/wine64 wine/wineserver64 root/usr/lib/i386-linux-gnu/ld-linux.so.2 \
        root/usr/lib/i386-linux-gnu/libc.so.6 root/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll \
        root/usr/lib/i386-linux-gnu/wine/i386-windows/user32.dll root/usr/lib/i386-linux-gnu/libX11.so.6; do
        [ -e "$1/$f" ] || { echo "emu32: $1/$f is missing" >&2; return 1; }
    done
}

native_i386() {
    [ "${EMU32_INSIDE:-}" = 1 ] && return 1
    runs_i386
}

# Inside the new namespaces: mount, register, then run the command.
enter() {
    local dir=$1
    shift
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc ||
        die "binfmt_misc cannot be mounted in a user namespace here (a kernel before 6.7?)"
    printf '%s' ":qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$dir/qemu-i386:F" \
        >/proc/sys/fs/binfmt_misc/register || die "cannot register qemu-i386 with binfmt_misc"
    mkdir -p /usr/lib/i386-linux-gnu 2>/dev/null
    mount --bind "$dir/root/usr/lib/i386-linux-gnu" /usr/lib/i386-linux-gnu &&
        mount --bind "$dir/wine" /usr/lib/wine ||
        die "cannot bind-mount the i386 libraries and loaders"
    # The i386 programs' interpreter /lib/ld-linux.so.2, where the machine has one, is the tree's.
    local interp
    interp=$(readlink -f /lib/ld-linux.so.2 2>/dev/null)
    if [ -n "$interp" ] && [ -e "$interp" ]; then
        mount --bind "$dir/root/usr/lib/i386-linux-gnu/ld-linux.so.2" "$interp" || die "cannot bind-mount ld-linux.so.2"
    else
        die "this machine has no /lib/ld-linux.so.2 to mount the i386 loader over (package libc6-i386)"
    fi
    runs_i386 || die "the emulator does not run a 32-bit program"
    export EMU32_INSIDE=1
    exec "$@"
}

run() {
    [ $# -gt 0 ] || die "usage: emu32.sh run CMD [ARG...]"
    if [ "${EMU32_INSIDE:-}" = 1 ] || runs_i386; then
        exec "$@"
    fi
    local dir
    dir=$(cache_dir) || exit 1
    [ -f "$dir/complete" ] || die "no emulation prepared in $dir (emu32.sh prepare)"
    check_cache "$dir" || die "the cache $dir is damaged: remove it and run emu32.sh prepare"
    exec unshare --user --map-root-user --mount --propagation private \
        bash "$here/emu32.sh" __enter "$dir" "$@" ||
        die "the user and mount namespace was refused (unshare)"
}

case ${1:-} in
native) runs_i386 ;;
prepare) prepare ;;
run) shift; run "$@" ;;
__enter) shift; enter "$@" ;;
*) sed -n '2,/^set -u/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 2 ;;
esac
