#!/bin/bash
# Writes the installation medium of the Veltrano card as a CD image:
#   bash tools/medium.sh [--files DIR] [-o FILE]   (default build/medium/veltrano.iso)
# ISO 9660 with upper-case 8.3 names, and Joliet names that keep their case,
# written by xorriso. On the disc:
#   Setup.exe     build/win32/Setup.exe (built by make win32 when missing)
#   autorun.inf   starts Setup.exe from the disc's root and shows its icon
#   the card's files, at the paths Setup reads them from the root of its
#   drive: Peek_B.exe, QSPK2.DAT, 98/v98.vxd, NT/vnt4.sys, NT/VNT.sys.
# With --files they, and every other file under DIR (a readme, say), come
# from DIR, whose names may be in any letter case; every name must fit 8.3.
# Without it the card's files are samples, each one line naming itself as
# the bench's sample medium has them, and the volume is VELTRANO_SAMPLE
# instead of VELTRANO.
# The same inputs give the same bytes: every date is fixed (SOURCE_DATE_EPOCH,
# by default 2001-01-01 00:00 UTC), and the image carries no owners or
# permissions (no Rock Ridge). Prints the image's path and the disc's files
# in both name trees; on bad input says why on stderr and leaves the output
# path as it was.
set -u
export LC_ALL=C

# The files Setup reads from the root of the medium, spelled as on the card.
card_files=(Peek_B.exe QSPK2.DAT 98/v98.vxd NT/vnt4.sys NT/VNT.sys)
epoch=${SOURCE_DATE_EPOCH:-978307200}

usage() { echo "usage: bash tools/medium.sh [--files DIR] [-o FILE]" >&2; exit 2; }
fail() {
    printf 'medium: %s\n' "$@" >&2
    exit 1
}

files='' out='' given=''
while [ $# -gt 0 ]; do
    case $1 in
    --files) [ $# -ge 2 ] || usage; files=$2; given=1; shift 2 ;;
    -o) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    *) usage ;;
    esac
done
# DIR and FILE are taken from where the command was started; the rest from
# the checkout.
if [ -n "$given" ]; then
    [ -d "$files" ] || fail "no folder $files"
    files=$(cd "$files" && pwd) || fail "cannot read the folder $files"
fi
[ -n "$out" ] && out=$(realpath -m -- "$out")
cd "$(dirname "$0")/.." || exit 1
root=$(pwd)
out=${out:-$root/build/medium/veltrano.iso}
[ -d "$out" ] && fail "$out is a folder"
# An image inside DIR would go onto the next disc made from DIR.
[ -n "$given" ] && [[ $out == "$files"/* ]] && fail "$out lies inside $files, whose files go onto the disc"
[[ $epoch =~ ^[0-9]+$ ]] || fail "SOURCE_DATE_EPOCH is not a number of seconds: $epoch"
command -v xorriso >/dev/null || fail "xorriso is missing (Debian package xorriso)"

setup=$root/build/win32/Setup.exe
if [ ! -f "$setup" ]; then
    mkdir -p build
    make win32 >build/build-medium.log 2>&1 || { tail -20 build/build-medium.log >&2; fail "make win32 failed"; }
fi

stage='' tmp=''
cleanup() {
    [ -n "$stage" ] && rm -rf "$stage"
    [ -n "$tmp" ] && rm -f "$tmp"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
stage=$(mktemp -d) || exit 1

# An ISO 9660 name of the first level: up to 8 letters, digits or _, for a
# file a dot and up to 3 more; plain ISO 9660 has no lower case, so Windows
# sees these names in upper case where it does not read Joliet.
dir_name_ok() { [[ $1 =~ ^[A-Za-z0-9_]{1,8}$ ]]; }
file_name_ok() { [[ $1 =~ ^[A-Za-z0-9_]{1,8}(\.[A-Za-z0-9_]{1,3})?$ ]]; }

volid=VELTRANO
errors=()
if [ -z "$given" ]; then
    volid=VELTRANO_SAMPLE
    for f in "${card_files[@]}"; do
        mkdir -p "$stage/$(dirname "$f")"
        printf 'Veltrano sample medium: %s\r\n' "$f" >"$stage/$f"
    done
else
    # Every file of DIR, as the disc names it: folders merge whatever their
    # case (Windows compares names without regard to it), the card's files
    # take their own spelling, the rest keep theirs.
    declare -A card=() taken=() folder=([nt]=NT [98]=98)
    copy=()
    for f in "${card_files[@]}"; do card[${f,,}]=$f; done
    mapfile -d '' found < <(cd "$files" && find -L . -type f -print0 | sort -z)
    for rel in "${found[@]}"; do
        rel=${rel#./}
        lc=${rel,,}
        case $lc in
        setup.exe | autorun.inf)
            errors+=("$files/$rel: the disc's Setup.exe and autorun.inf are written by this command, not taken from the folder")
            continue ;;
        esac
        ok=1
        IFS=/ read -r -a parts <<<"$rel"
        for ((i = 0; i < ${#parts[@]} - 1; i++)); do dir_name_ok "${parts[i]}" || ok=; done
        file_name_ok "${parts[-1]}" || ok=
        if [ -z "$ok" ]; then
            errors+=("$files/$rel: not a name plain ISO 9660 can hold (8.3: up to 8 letters, digits or _ in each folder's name, and a file's, with a dot and up to 3 more)")
            continue
        fi
        if [ -n "${taken[$lc]:-}" ]; then
            errors+=("$files/${taken[$lc]} and $files/$rel would land on one name on the disc")
            continue
        fi
        taken[$lc]=$rel
        disc=${card[$lc]:-}
        if [ -z "$disc" ]; then
            path=
            for ((i = 0; i < ${#parts[@]} - 1; i++)); do
                key=${path,,}${parts[i],,}
                folder[$key]=${folder[$key]:-$path${parts[i]}}
                path=${folder[$key]}/
            done
            disc=$path${parts[-1]}
        fi
        copy+=("$rel" "$disc")
    done
    for key in "${!folder[@]}"; do
        [ -n "${taken[$key]:-}" ] && errors+=("$files/${taken[$key]} would land on the name of the folder ${folder[$key]} on the disc")
    done
    for f in "${card_files[@]}"; do
        [ -n "${taken[${f,,}]:-}" ] || errors+=("$files has no $f (in any letter case)")
    done
    [ ${#errors[@]} -eq 0 ] || fail "${errors[@]}"
    for ((i = 0; i < ${#copy[@]}; i += 2)); do
        if ! mkdir -p "$stage/$(dirname "${copy[i + 1]}")" || ! cp -- "$files/${copy[i]}" "$stage/${copy[i + 1]}"; then
            fail "cannot read $files/${copy[i]}"
        fi
    done
fi

cp -- "$setup" "$stage/Setup.exe" || fail "cannot read $setup"
printf '[autorun]\r\nopen=Setup.exe\r\nicon=Setup.exe,0\r\n' >"$stage/autorun.inf"

# Written beside the output under another name and renamed when complete,
# so the output path never holds half an image.
mkdir -p "$(dirname "$out")" || fail "cannot make the folder of $out"
tmp=$(mktemp "$(dirname "$out")/.$(basename "$out").XXXXXX") || fail "cannot write beside $out"
chmod 644 "$tmp"
date=$(date -u -d "@$epoch" +%Y%m%d%H%M%S00)
# Plain ISO 9660 of the first level and Joliet, both recording the fixed
# date; no Rock Ridge; one session from block 0 (no_emul_toc).
if ! log=$(SOURCE_DATE_EPOCH=$epoch xorriso -no_rc -report_about SORRY -abort_on FAILURE \
    -outdev "stdio:$tmp" -stdio_sync off -rockridge off -joliet on \
    -compliance iso_9660_level=1:rec_mtime:always_gmt:no_emul_toc \
    -volid "$volid" -application_id "VELTRANO SETUP" -publisher "" -preparer_id "" -system_id "" \
    -volume_date uuid "$date" \
    -volume_date all_file_dates "=$epoch" -iso_nowtime "=$epoch" \
    -map "$stage" / -commit 2>&1); then
    printf '%s\n' "$log" | sed 's/^/medium: xorriso: /' >&2
    fail "xorriso could not write the image"
fi
mv -f -- "$tmp" "$out" || fail "cannot write $out"
tmp=

echo "$out"
for tree in iso9660:ecma119 joliet:norock; do
    xorriso -no_rc -report_about SORRY -read_fs "${tree#*:}" -indev "$out" -find / -type f 2>/dev/null |
        sed -n "s|^'\\(.*\\)'\$|${tree%%:*} \\1|p"
done
