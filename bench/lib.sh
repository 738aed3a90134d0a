# shellcheck shell=bash
# The end-to-end bench: runs Setup.exe under Wine on an Xvfb display of its
# own, drives its dialog with bench-driver and checks what it left behind
# from the files of the prefix, read from the host (tools/machine_state.py).
#
# Sourced by run.sh. A scenario file (scenarios/*.sh) is sourced in a
# subshell between bench_scenario_begin and bench_scenario_end and uses:
#
#   the machine   windows <kind>, marker present|absent, medium [options],
#                 medium_add, disk_d [options], reg_set, reg_key, reg_unset,
#                 reg_delete_key, ini_set
#   the run       drive [--fails <text>] <<'EOF' ... driver commands ... EOF,
#                 drive_restart_refused (the same, restart requests go nowhere)
#   the checks    expect_restart, expect_file, expect_no_file, expect_dir,
#                 expect_no_dir, expect_reg, expect_reg_values,
#                 expect_reg_key, expect_reg_key_without, expect_no_reg_key,
#                 expect_no_reg_value, expect_ini, expect_no_ini
#
# Every check prints "<check>: ok" or "<check>: FAIL: <what was expected,
# what was found>"; a scenario passes when it ran at least one check or
# drive and none failed.

BENCH_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BENCH_REPO=$(cd "$BENCH_DIR/.." && pwd)
BENCH_OUT=${BENCH_OUT:-$BENCH_REPO/build/bench}

# What runs: the 32-bit product, with 32-bit helpers of the same build,
# under Wine's 32-bit half in a 32-bit prefix. Where the kernel cannot
# execute 32-bit programs, the bench runs inside tools/emu32.sh's namespace,
# where that half runs under QEMU.
BENCH_BUILD=$BENCH_REPO/build/win32
export WINEARCH=win32
BENCH_WINE=${BENCH_WINE:-/usr/lib/wine/wine}
BENCH_MINGW=i686-w64-mingw32
BENCH_WINESERVER=${BENCH_WINESERVER:-/usr/lib/wine/wineserver}
BENCH_SETUP_EXE=${BENCH_SETUP_EXE:-$BENCH_BUILD/Setup.exe}
BENCH_DRIVER_EXE=${BENCH_DRIVER_EXE:-}
BENCH_TEMPLATE=$BENCH_OUT/template-win32
BENCH_SHOTS=$BENCH_OUT/shots
# Bump when the template recipe changes: an older template is then rebuilt.
BENCH_TEMPLATE_RECIPE="bench template 6 win32"

export WINEDEBUG=-all
# No debugger for a crashed program: under emulation winedbg takes half a
# minute, and the crash's own line says what happened (_bench_wine).
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"

# Paths used as Windows paths by the scripts and checks.
BENCH_FLAG_WIN='C:\bench-restart.flag'
BENCH_RUN_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
BENCH_MARKER_KEY='HKLM\system\Veltrano Card'
# The Start-menu Programs folder of Wine's user (named after the host user).
BENCH_PROGRAMS_WIN="C:\\users\\$(id -un)\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs"

# The sample medium: path on the medium (as the program asks for it, any
# case) and nothing else; every file holds a short text naming itself.
BENCH_MEDIUM_FILES=("Peek_B.exe" "QSPK2.DAT" "98/v98.vxd" "NT/vnt4.sys" "NT/VNT.sys")

bench_log() { printf '%s\n' "$*" >&2; }

# ------------------------------------------------------------------ tools

# Installs the packages the bench needs when one of them is missing.
bench_install_missing() {
    local missing=()
    [ -x "$BENCH_WINE" ] || missing+=(wine)
    command -v Xvfb >/dev/null || missing+=(xvfb)
    [ -x /usr/bin/convert ] || missing+=(imagemagick)
    command -v "$BENCH_MINGW-g++" >/dev/null || missing+=(mingw)
    [ ${#missing[@]} -eq 0 ] && return 0
    bench_log "bench: installing what is missing (${missing[*]})"
    bash "$BENCH_REPO/tools/install-deps.sh"
}

# The driver: BENCH_DRIVER_EXE when set, the one of the build when it is up
# to date, else one built here when its source is newer.
bench_build_driver() {
    local src=$BENCH_DIR/driver.cpp built=$BENCH_BUILD/bench-driver.exe
    [ -n "$BENCH_DRIVER_EXE" ] && return 0
    if [ -f "$built" ] && [ "$built" -nt "$src" ]; then
        BENCH_DRIVER_EXE=$built
        return 0
    fi
    BENCH_DRIVER_EXE=$BENCH_OUT/driver-win32.exe
    mkdir -p "$BENCH_OUT"
    if [ ! -e "$BENCH_DRIVER_EXE" ] || [ "$src" -nt "$BENCH_DRIVER_EXE" ]; then
        "$BENCH_MINGW-g++" -O1 -static -o "$BENCH_DRIVER_EXE" "$src" -luser32 -lgdi32 -lcomctl32 || return 1
    fi
}

# Builds the stand-in dialog of the self-test and makes it the program
# under test.
bench_build_selftest() {
    local dir=$BENCH_OUT/selftest-win32 src=$BENCH_DIR/selftest
    mkdir -p "$dir"
    if [ ! -e "$dir/Setup.exe" ] || [ "$src/dialog.cpp" -nt "$dir/Setup.exe" ] || [ "$src/dialog.rc" -nt "$dir/Setup.exe" ]; then
        "$BENCH_MINGW-windres" "$src/dialog.rc" -O coff -o "$dir/dialog.res" &&
            "$BENCH_MINGW-g++" -O1 -static -mwindows -o "$dir/Setup.exe" "$src/dialog.cpp" "$dir/dialog.res" \
                -lcomctl32 -ladvapi32 || return 1
    fi
    BENCH_SETUP_EXE=$dir/Setup.exe
}

# ------------------------------------------------------------------ display

# One Xvfb for the whole run (a worker), which picks a free display number
# itself (-displayfd): two workers that each looked for a free one could
# both take the same one and fight over the focus.
bench_xvfb_start() {
    local n
    mkdir -p "$BENCH_OUT" || return 1
    exec 8< <(Xvfb -displayfd 7 -screen 0 1024x768x24 -nolisten tcp 7>&1 >"$BENCH_OUT/xvfb.log" 2>&1 & echo "pid $!")
    read -r _ BENCH_XVFB_PID <&8
    if read -r -t 10 n <&8 && [ -n "$n" ]; then
        exec 8<&-
        export DISPLAY=":$n"
        return 0
    fi
    exec 8<&-
    bench_xvfb_stop
    bench_log "bench: could not start Xvfb (see $BENCH_OUT/xvfb.log)"
    return 1
}

bench_xvfb_stop() {
    [ -n "${BENCH_XVFB_PID:-}" ] || return 0
    kill "$BENCH_XVFB_PID" 2>/dev/null
    wait "$BENCH_XVFB_PID" 2>/dev/null
    BENCH_XVFB_PID=
}

# ------------------------------------------------------------------ prefixes

# _bench_wine <seconds> <program> [args]: runs a program under Wine with no
# input, for at most <seconds>. Wine now and then fails to start a program
# at all, before it has run: "ShellExecuteEx failed: Internal error"
# (CreateProcess giving ERROR_INTERNAL_ERROR), or a failure with no output
# whatever (the loader's own messages are silenced with WINEDEBUG=-all).
# The program is started again then, up to five times: every program run
# here says something when it fails. Its standard output and error come out
# after it has ended. A crash of any Wine process that wrote to them (the
# processes a boot starts inherit them) is noted: the run starts the
# scenario again in a fresh prefix, since the machine may have lost a part
# of itself (under QEMU one once died of an illegal instruction).
_bench_wine() {
    local seconds=$1 out rc try
    shift
    out=$(mktemp -d) || return 2
    for try in 1 2 3 4 5; do
        _bench_count_start
        timeout "$seconds" "$BENCH_WINE" "$@" </dev/null >"$out/1" 2>"$out/2"
        rc=$?
        # A program that did not end in its time: Wine may have stopped
        # answering (the run may start the scenario again in a fresh prefix).
        [ $rc -eq 124 ] && [ -d "${BENCH_SCEN_DIR:-}" ] && echo "$*" >>"$BENCH_SCEN_DIR/wine-timeouts"
        _bench_wine_not_started "$out" $rc || break
        _bench_wine_log "$rc, not started (start $try)" "$@"
        [ $try -lt 5 ] && sleep 0.5
    done
    if [ -d "${BENCH_SCEN_DIR:-}" ]; then
        grep -a -h -m1 '^wine: Unhandled' "$out/1" "$out/2" | head -1 | awk -v p="$1" '{ print p ": " $0 }' >>"$BENCH_SCEN_DIR/wine-crashes"
    fi
    if [ $rc -ne 0 ]; then
        _bench_wine_log "$rc" "$@"
        [ -d "${BENCH_SCEN_DIR:-}" ] && sed 's/^/    /' "$out/1" "$out/2" >>"$BENCH_SCEN_DIR/wine-failures.log"
    fi
    cat "$out/1"
    cat "$out/2" >&2
    rm -rf "$out"
    return $rc
}

# Every start of a Wine program in a scenario, one line each (the scenario's
# commands run in subshells, so the count lives in a file).
_bench_count_start() {
    [ -d "${BENCH_SCEN_DIR:-}" ] && echo >>"$BENCH_SCEN_DIR/wine-starts"
    return 0
}

_bench_wine_not_started() {
    grep -q 'ShellExecuteEx failed: Internal error' "$1/1" "$1/2" && return 0
    [ "$2" -ne 0 ] && [ "$2" -ne 124 ] && [ ! -s "$1/1" ] && [ ! -s "$1/2" ]
}

# Every failed Wine command, for a look at a failed scenario.
_bench_wine_log() {
    local what=$1
    shift
    [ -d "${BENCH_SCEN_DIR:-}" ] || return 0
    echo "$(date +%T) exit code $what: $*" >>"$BENCH_SCEN_DIR/wine-failures.log"
}

_bench_reg() { _bench_wine 60 reg "$@"; }

# The template prefix, made once and copied for every scenario: Wine's own
# window decoration (no 2 s wait per window without a window manager), a
# boot that starts only the services a program here needs, the restart
# detector (see BENCH_RESTART_FLAG), D: a
# fixed disk on a directory of the prefix, E: a CD-ROM (the medium, filled
# per scenario, and linked already so that the boot of the machine finds
# it), the iosubsys folder a Windows 9x system has, and Wine's own fonts.
bench_template() {
    if [ -f "$BENCH_TEMPLATE/.bench-template" ] &&
        [ "$(cat "$BENCH_TEMPLATE/.bench-template")" = "$BENCH_TEMPLATE_RECIPE" ]; then
        return 0
    fi
    bench_log "bench: making the template prefix (once)"
    local t=$BENCH_TEMPLATE.new
    rm -rf "$t" "$BENCH_TEMPLATE"
    mkdir -p "$t"
    (
        export WINEPREFIX=$t
        BENCH_QUEUE=$BENCH_OUT/template-settings.queue
        BENCH_IMPORTS=0
        rm -f "$BENCH_OUT"/template-settings*
        _bench_queue set 'HKCU\Software\Wine\X11 Driver' Managed REG_SZ N
        _bench_queue set 'HKLM\Software\Wine\Drives' d: REG_SZ hd
        _bench_queue set 'HKLM\Software\Wine\Drives' e: REG_SZ cdrom
        # Services of a Wine boot that nothing here uses, started on demand
        # only: the event log, Plug and Play (with the second device host it
        # starts) and the network drivers. Under emulation every process a
        # boot starts costs about a second of CPU.
        local svc
        for svc in Eventlog PlugPlay NDIS nsiproxy; do
            _bench_queue set "HKLM\System\CurrentControlSet\Services\\$svc" Start REG_DWORD 3
        done
        _bench_queue set "$BENCH_RUN_KEY" bench-restart REG_SZ "cmd.exe /c echo restarted>$BENCH_FLAG_WIN"
        _bench_wine 300 wineboot -i >/dev/null 2>&1 &&
            _bench_import >&2 &&
            _bench_install_fonts "$t" &&
            mkdir -p "$t/disk_d" "$t/medium" "$t/drive_c/windows/system32/iosubsys" &&
            ln -sfn ../disk_d "$t/dosdevices/d:" &&
            ln -sfn ../medium "$t/dosdevices/e:"
        local rc=$?
        "$BENCH_WINESERVER" -k 2>/dev/null
        "$BENCH_WINESERVER" -w
        exit $rc
    ) || { bench_log "bench: making the template prefix failed"; return 1; }
    grep -q '"Managed"="N"' "$t/user.reg" || { bench_log "bench: the template lost its settings"; return 1; }
    echo "$BENCH_TEMPLATE_RECIPE" >"$t/.bench-template"
    mv "$t" "$BENCH_TEMPLATE"
}

# Wine's own fonts (Tahoma for captions, Marlett for their buttons, MS Sans
# Serif for dialogs) in C:\windows\Fonts of a prefix: Wine 8 does not read
# them from its data folder, only from there, and draws the screens with
# stand-ins without them (a close button shows the letter "r").
BENCH_WINE_FONTS=/usr/share/wine/fonts
_bench_install_fonts() {
    local fonts=$1/drive_c/windows/Fonts
    [ -e "$BENCH_WINE_FONTS/marlett.ttf" ] || { bench_log "bench: no Wine fonts in $BENCH_WINE_FONTS (fonts-wine)"; return 1; }
    mkdir -p "$fonts" && cp "$BENCH_WINE_FONTS"/* "$fonts/"
}

# _bench_copy_template <dir>: a prefix of its own from the template. The
# programs and libraries of system32 (nine tenths of its 600 MB, which Wine
# keeps there only to be found: it loads its own) are hard links to the
# template's; nothing writes them in place, while a program's own files there
# are new files of the copy. Everything else is copied.
_bench_copy_template() {
    mkdir -p "$1" &&
        tar -C "$BENCH_TEMPLATE" --exclude=./drive_c/windows/system32 -cf - . | tar -C "$1" -xf - &&
        cp -a --link "$BENCH_TEMPLATE/drive_c/windows/system32" "$1/drive_c/windows/"
}

# Starts a scenario: a fresh copy of the template, its machine off until the
# first Wine program of the scenario boots it (_bench_machine_up).
bench_scenario_begin() {
    BENCH_SCENARIO=$1
    BENCH_SCEN_DIR=$BENCH_OUT/run/$BENCH_SCENARIO
    BENCH_FAILURES=0
    BENCH_CHECKS=0
    BENCH_DRIVES=0
    BENCH_REBOOT_NEEDED=1
    BENCH_BOOT_SETTINGS=
    BENCH_QUEUE=$BENCH_SCEN_DIR/settings.queue
    BENCH_IMPORTS=0
    BENCH_IMPORTS_SEEN=0
    BENCH_STATE=$BENCH_SCEN_DIR/state.tsv
    BENCH_STATE_AT=
    BENCH_STATE_ERR=
    BENCH_NT_REGISTRY_CHANGED=
    BENCH_MEDIUM_DIR=
    BENCH_MEDIUM_READONLY=
    BENCH_MEDIUM_DISC=
    BENCH_TMPFS=
    _bench_remove_scenario_dir
    mkdir -p "$BENCH_SCEN_DIR" "$BENCH_SHOTS"
    # The screenshots of this scenario's last run (a name prefix would also
    # match other scenarios: first-screen-nt40 and first-screen-nt40-server).
    local old
    if [ -f "$BENCH_SHOTS/.$BENCH_SCENARIO.list" ]; then
        while IFS= read -r old; do rm -f "$BENCH_SHOTS/$old"; done <"$BENCH_SHOTS/.$BENCH_SCENARIO.list"
        rm -f "$BENCH_SHOTS/.$BENCH_SCENARIO.list"
    fi
    export WINEPREFIX=$BENCH_SCEN_DIR/prefix
    _bench_copy_template "$WINEPREFIX" || return 1
}

bench_scenario_end() {
    "$BENCH_WINESERVER" -k 2>/dev/null
    "$BENCH_WINESERVER" -w 2>/dev/null
    if [ -n "$BENCH_TMPFS" ]; then
        umount "$BENCH_TMPFS" 2>/dev/null
        BENCH_TMPFS=
    fi
    if [ $((BENCH_CHECKS + BENCH_DRIVES)) -eq 0 ]; then
        echo "scenario: FAIL: it ran no drive and no check"
        BENCH_FAILURES=$((BENCH_FAILURES + 1))
    fi
    [ "$BENCH_FAILURES" -eq 0 ]
}

_bench_remove_scenario_dir() {
    [ -d "$BENCH_SCEN_DIR" ] || return 0
    # A tmpfs D: left by an interrupted run.
    local m
    for m in $(awk -v d="$BENCH_SCEN_DIR/" 'index($2, d) == 1 { print $2 }' /proc/mounts); do
        umount "$m" 2>/dev/null
    done
    chmod -R u+w "$BENCH_SCEN_DIR" 2>/dev/null
    rm -rf "$BENCH_SCEN_DIR"
}

# ------------------------------------------------------------------ results

# _bench_result <check text> [<failure>]: one check's line.
_bench_result() {
    BENCH_CHECKS=$((BENCH_CHECKS + 1))
    if [ $# -lt 2 ]; then
        echo "$1: ok"
    else
        echo "$1: FAIL: $2"
        BENCH_FAILURES=$((BENCH_FAILURES + 1))
    fi
}

# A machine setting that did not take effect fails the scenario too.
_bench_setup_failed() {
    echo "$1: FAIL: $2"
    BENCH_FAILURES=$((BENCH_FAILURES + 1))
    return 1
}

_bench_q() { printf '"%s"' "$1"; }

# ------------------------------------------------------------------ the machine
#
# The registry settings of the machine are queued (BENCH_QUEUE, one a line)
# and go into its registry with one start of regedit right before the next
# Wine program runs, or at the next check (_bench_import).

# _bench_esc_to <variable> <text>: the text with backslash, tab, line feed
# and carriage return escaped as \\, \t, \n and \r, the escapes of the queue
# and of the machine's state that tools/machine_state.py writes.
_bench_esc_to() {
    local s=${2//\\/\\\\}
    s=${s//$'\t'/\\t}
    s=${s//$'\n'/\\n}
    s=${s//$'\r'/\\r}
    printf -v "$1" '%s' "$s"
}

# _bench_queue set <key> <value> <type> <data> | key <key> | unset <key>
# <value> | delete <key>: one registry setting, in reg add's terms (an empty
# value name is the default value).
_bench_queue() {
    local line='' sep='' f
    for f in "$@"; do
        _bench_esc_to f "$f"
        line+=$sep$f
        sep=$'\t'
    done
    printf '%s\n' "$line" >>"$BENCH_QUEUE"
}

# windows <kind>: the Windows that Setup.exe sees.
#   win95 win98 winme nt40 win2k winxp win2003: Wine's per-program version
#   win7: no setting (Wine's default, 6.1)
#   nt40-server win2k-server winxp-server: the registry says ServerNT
#   nt40-dc win2k-dc winxp-dc: the registry says LanmanNT (domain controller)
#   nt40-ws win2k-ws winxp-ws: the registry says WinNT
windows() {
    local kind=$1 app='HKCU\Software\Wine\AppDefaults\Setup.exe'
    case $kind in
    win95 | win98 | winme | nt40 | win2k | winxp | win2003)
        _bench_queue set "$app" Version REG_SZ "$kind"
        return
        ;;
    win7)
        _bench_queue unset "$app" Version
        # The registry of a fresh prefix, when a server kind changed it.
        [ -n "$BENCH_NT_REGISTRY_CHANGED" ] || return 0
        _bench_nt_registry 6.1 7601 "Service Pack 1" 0x100 WinNT
        BENCH_NT_REGISTRY_CHANGED=
        return 0
        ;;
    esac
    local version build csd sp product
    case ${kind%-*} in
    nt40) version=4.0 build=1381 csd="Service Pack 6" sp=0x600 ;;
    win2k) version=5.0 build=2195 csd="Service Pack 4" sp=0x400 ;;
    winxp) version=5.1 build=2600 csd="Service Pack 3" sp=0x300 ;;
    *) _bench_setup_failed "windows $kind" "unknown kind"; return 1 ;;
    esac
    case ${kind#*-} in
    server) product=ServerNT ;;
    dc) product=LanmanNT ;;
    ws) product=WinNT ;;
    *) _bench_setup_failed "windows $kind" "unknown kind"; return 1 ;;
    esac
    _bench_queue unset "$app" Version
    BENCH_NT_REGISTRY_CHANGED=1
    _bench_nt_registry "$version" "$build" "$csd" "$sp" "$product"
}

# The version of an NT system as Wine reads it from the registry when the
# program has no version setting of its own.
_bench_nt_registry() {
    local nt='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
    _bench_queue set "$nt" CurrentVersion REG_SZ "$1"
    _bench_queue set "$nt" CurrentBuildNumber REG_SZ "$2"
    _bench_queue set "$nt" CSDVersion REG_SZ "$3"
    _bench_queue set 'HKLM\System\CurrentControlSet\Control\Windows' CSDVersion REG_DWORD "$4"
    _bench_queue set 'HKLM\System\CurrentControlSet\Control\ProductOptions' ProductType REG_SZ "$5"
}

# marker present|absent: the key that says the product is installed.
marker() {
    case $1 in
    present) _bench_queue key "$BENCH_MARKER_KEY" ;;
    absent) _bench_queue delete "$BENCH_MARKER_KEY" ;;
    *) _bench_setup_failed "marker $1" "expected present or absent" ;;
    esac
}

# reg_set <key> <value> <type> <data>: a registry value of the machine (reg
# add syntax: REG_SZ, REG_EXPAND_SZ, REG_DWORD, REG_BINARY, REG_MULTI_SZ with
# \0 between strings, REG_NONE). reg_key makes a key; reg_unset and
# reg_delete_key delete a value and a key (with its subkeys); a value of a
# key that does not exist leaves that key behind, empty (regedit opens the
# key to delete the value).
reg_set() {
    [ $# -eq 4 ] || { _bench_setup_failed "reg_set $*" "expected <key> <value> <type> <data>"; return 1; }
    _bench_queue set "$@"
}
reg_key() { _bench_queue key "$1"; }
reg_unset() { _bench_queue unset "$1" "$2"; }
reg_delete_key() { _bench_queue delete "$1"; }

# The text of a file of the sample medium, named in any letter case.
_bench_medium_text() {
    local f name=$1
    for f in "${BENCH_MEDIUM_FILES[@]}"; do
        [ "${f,,}" = "${1,,}" ] && name=$f
    done
    printf 'Veltrano sample medium: %s\r\n' "$name"
}

# medium [--without <file>]... [--readonly]: the installation medium, drive E:.
# Setup.exe is copied to its root by drive.
medium() {
    local without=() ro='' f w skip
    while [ $# -gt 0 ]; do
        case $1 in
        --without) without+=("$2"); shift 2 ;;
        --readonly) ro=1; shift ;;
        *) _bench_setup_failed "medium $*" "unknown option $1"; return 1 ;;
        esac
    done
    BENCH_MEDIUM_DIR=$WINEPREFIX/medium
    BENCH_MEDIUM_DISC=
    chmod -R u+w "$BENCH_MEDIUM_DIR" 2>/dev/null
    rm -rf "${BENCH_MEDIUM_DIR:?}"/*
    mkdir -p "$BENCH_MEDIUM_DIR"
    for f in "${BENCH_MEDIUM_FILES[@]}"; do
        skip=
        for w in "${without[@]}"; do [ "${w,,}" = "${f,,}" ] && skip=1; done
        [ -n "$skip" ] && continue
        mkdir -p "$BENCH_MEDIUM_DIR/$(dirname "$f")"
        _bench_medium_text "$f" >"$BENCH_MEDIUM_DIR/$f"
    done
    BENCH_MEDIUM_READONLY=$ro
    [ -n "$ro" ] && find "$BENCH_MEDIUM_DIR" -type f -exec chmod a-w {} +
    return 0
}

# medium_add <file>: puts that file of the sample medium (back) on the
# medium, also while the program runs.
medium_add() {
    local f=$1 m
    for m in "${BENCH_MEDIUM_FILES[@]}"; do [ "${m,,}" = "${1,,}" ] && f=$m; done
    # shellcheck disable=SC2119
    [ -n "$BENCH_MEDIUM_DIR" ] || medium
    [ -z "$BENCH_MEDIUM_DISC" ] || { _bench_setup_failed "medium_add $1" "the medium is a disc"; return 1; }
    if ! mkdir -p "$BENCH_MEDIUM_DIR/$(dirname "$f")" || ! _bench_medium_text "$f" >"$BENCH_MEDIUM_DIR/$f"; then
        _bench_setup_failed "medium_add $1" "could not write the file"
    fi
}

# medium_disc: drive E: (a CD-ROM drive) holds the installation disc that
# tools/medium.sh makes, as a disc gives its files: extracted from the image
# by xorriso, named as its Joliet tree names them, every file and folder
# read-only. Setup.exe is the disc's own, which must be the program under
# test. The image: BENCH_DISC, made once per run by run.sh.
medium_disc() {
    local image=${BENCH_DISC:-$BENCH_OUT/medium.iso}
    [ -f "$image" ] || { _bench_setup_failed "medium_disc" "no disc image $image (tools/medium.sh)"; return 1; }
    BENCH_MEDIUM_DIR=$WINEPREFIX/medium
    chmod -R u+w "$BENCH_MEDIUM_DIR" 2>/dev/null
    rm -rf "$BENCH_MEDIUM_DIR"
    if ! xorriso -osirrox on -indev "$image" -extract / "$BENCH_MEDIUM_DIR" >"$BENCH_SCEN_DIR/xorriso.log" 2>&1; then
        _bench_setup_failed "medium_disc" "xorriso could not extract $image (see xorriso.log)"
        return 1
    fi
    BENCH_MEDIUM_DISC=$image
    cmp -s "$BENCH_MEDIUM_DIR/Setup.exe" "$BENCH_SETUP_EXE" ||
        _bench_setup_failed "medium_disc" "the disc's Setup.exe is not $BENCH_SETUP_EXE"
}

# disk_d fixed [--free-mb <n>] | cdrom | none: drive D:. Fixed is a
# directory of the host's disk (its real free space) or, with --free-mb, a
# tmpfs of that size. Takes effect at the next drive, which boots the
# machine anew for it.
disk_d() {
    local kind=$1
    shift
    local drives='HKLM\Software\Wine\Drives' dir=$WINEPREFIX/disk_d
    # Wine's mount manager reads the drive types when the machine boots.
    BENCH_BOOT_SETTINGS=1
    case $kind in
    none)
        rm -f "$WINEPREFIX/dosdevices/d:"
        _bench_queue unset "$drives" d:
        return 0
        ;;
    fixed | cdrom)
        ln -sfn ../disk_d "$WINEPREFIX/dosdevices/d:"
        _bench_queue set "$drives" d: REG_SZ "$([ "$kind" = fixed ] && echo hd || echo cdrom)"
        ;;
    *) _bench_setup_failed "disk_d $kind" "expected fixed, cdrom or none"; return 1 ;;
    esac
    if [ "${1:-}" = --free-mb ]; then
        [ -z "$BENCH_TMPFS" ] || umount "$BENCH_TMPFS"
        mount -t tmpfs -o "size=${2}m" bench-disk-d "$dir" ||
            { _bench_setup_failed "disk_d $kind $*" "mount of a tmpfs failed (root only)"; return 1; }
        BENCH_TMPFS=$dir
    fi
}

_bench_system_ini() { printf '%s' "$WINEPREFIX/drive_c/windows/system.ini"; }

# ini_set <key> <value>: a key of section [386Enh] of system.ini, as the
# machine has it before Setup runs (CRLF lines, as Windows writes them).
ini_set() {
    local file
    file=$(_bench_system_ini)
    { [ -f "$file" ] && tr -d '\r' <"$file"; } | awk -v key="$1" -v value="$2" '
        function emit() { if (!done) { print key "=" value; done = 1 } }
        /^[ \t]*\[/ {
            if (in386) emit()
            s = $0; sub(/^[ \t]*\[/, "", s); sub(/\].*/, "", s)
            in386 = (tolower(s) == "386enh"); if (in386) seen = 1
            print; next
        }
        in386 && index($0, "=") {
            k = substr($0, 1, index($0, "=") - 1); gsub(/^[ \t]+|[ \t]+$/, "", k)
            if (tolower(k) == tolower(key)) { emit(); next }
        }
        { print }
        END { if (!done) { if (!seen) print "[386Enh]"; print key "=" value } }' |
        sed 's/$/\r/' >"$file.new" && mv "$file.new" "$file" ||
        _bench_setup_failed "ini_set $1 $2" "could not write system.ini"
    # The checks read system.ini anew.
    BENCH_STATE_AT=
}

# ------------------------------------------------------------------ the run

# Processes of this scenario's prefix whose command line names wineboot
# (a restart or shutdown in progress) or the restart flag (the restart
# detector, which wineboot does not wait for).
_bench_wineboot_running() {
    local f
    for f in $(grep -l -a -i -e wineboot -e bench-restart /proc/[0-9]*/cmdline 2>/dev/null); do
        { tr '\0' '\n' <"${f%/cmdline}/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}

# Waits up to 60 s for a restart or boot in progress to end. One that does
# not is Wine no longer answering: noted, so that the run starts the
# scenario again in a fresh prefix.
_bench_wait_wineboot() {
    local i
    for i in $(seq 1 600); do
        _bench_wineboot_running || return 0
        sleep 0.1
    done
    [ -d "${BENCH_SCEN_DIR:-}" ] && echo "wineboot (a restart or boot) still ran after 60 s" >>"$BENCH_SCEN_DIR/wine-timeouts"
    return 1
}

# The machine runs from its boot to _bench_machine_down. A Wine start while
# it is off (BENCH_REBOOT_NEEDED) boots it: with a fresh wineserver, the
# first program waits for wineboot, which starts the services (the mount
# manager reads the drive types then). Ending the wineserver writes the
# registry files, which the checks read. While the machine is off, its
# settings go straight into those files.

# The restart detector, in the template: a Run entry that writes a flag
# file. Wine runs the Run entries when Windows restarts (wineboot
# --end-session without --shutdown), not at a boot (wineboot --init) nor at
# a shutdown, and keeps them; the scenario's wineserver stays up between
# (wineserver -p), so a flag means that a program asked for a restart.
BENCH_RESTART_FLAG=drive_c/bench-restart.flag

# _bench_machine_up [--settings | --boot]: the machine ready for a Wine
# program, the queued settings in its registry. While it is off they are
# written into its registry files and the next Wine program boots it (with
# --boot: a query, now); while it runs, one regedit start imports them.
# With --settings a machine that is off stays off. Drive types are read at
# boot only: after disk_d a running machine is turned off first.
_bench_machine_up() {
    local mode=${1:-}
    if [ -n "$BENCH_BOOT_SETTINGS" ]; then
        BENCH_BOOT_SETTINGS=
        [ -n "$BENCH_REBOOT_NEEDED" ] || _bench_machine_down || return 1
    fi
    if [ -z "$BENCH_REBOOT_NEEDED" ]; then
        [ -s "$BENCH_QUEUE" ] || return 0
        _bench_import
        return
    fi
    if [ -s "$BENCH_QUEUE" ]; then
        _bench_apply || return 1
    fi
    [ "$mode" = --settings ] && return 0
    # A wineserver of the prefix still there (a query of a scenario's own)
    # ends first: the boot needs a fresh one, kept up.
    "$BENCH_WINESERVER" -k 2>/dev/null
    "$BENCH_WINESERVER" -w
    "$BENCH_WINESERVER" -p || { _bench_setup_failed "boot" "wineserver -p failed"; return 1; }
    BENCH_REBOOT_NEEDED=
    if [ "$mode" = --boot ]; then
        _bench_reg query 'HKLM\Software\Wine' >/dev/null 2>&1
        _bench_wait_wineboot
    fi
    return 0
}

# _bench_machine_down: the machine off, once a restart in progress has
# ended: its wineserver ends and writes the registry files. 1 when
# wineboot still ran after 60 s (it is ended too).
_bench_machine_down() {
    local rc=0
    _bench_wait_wineboot || rc=1
    "$BENCH_WINESERVER" -k 2>/dev/null
    "$BENCH_WINESERVER" -w
    BENCH_REBOOT_NEEDED=1
    return $rc
}

# The queued settings as settings-<n>.queue in the scenario's folder, their
# last one BENCH_IMPORT_KEY, whose value tells the next reading of the
# machine's state (_bench_settle) that all of them went in; the name of the
# queue without .queue in the variable named by the argument.
BENCH_IMPORT_KEY='HKCU\Software\Wine\Bench'
_bench_take_queue() {
    BENCH_IMPORTS=$((BENCH_IMPORTS + 1))
    # Named apart from the caller's variable, which printf -v sets.
    local _bench_taken=${BENCH_QUEUE%.queue}-$BENCH_IMPORTS
    printf -v "$1" '%s' "$_bench_taken"
    _bench_queue set "$BENCH_IMPORT_KEY" Imported REG_SZ "${_bench_taken##*/}"
    mv "$BENCH_QUEUE" "$_bench_taken.queue" || { _bench_setup_failed "registry settings" "cannot read the queued settings"; return 1; }
}

# _bench_apply: the queued settings into the registry files of the machine,
# which is off, by tools/machine_state.py, as regedit would make them.
_bench_apply() {
    local base out
    _bench_take_queue base || return 1
    if ! out=$(/usr/bin/python3 "$BENCH_REPO/tools/machine_state.py" apply "$WINEPREFIX" "$base.queue" 2>&1); then
        _bench_setup_failed "registry settings $(basename "$base.queue")" "$out"
        return 1
    fi
}

# _bench_import: the queued settings into the registry of the running
# machine, with one regedit start of a .reg file written by
# tools/machine_state.py (settings-<n>.reg). regedit /s exits with 0
# whatever happened and passes over lines it cannot read: the last setting
# tells whether all went in.
_bench_import() {
    local base out rc
    _bench_take_queue base || return 1
    if ! out=$(/usr/bin/python3 "$BENCH_REPO/tools/machine_state.py" regfile "$base.queue" "$base.reg" 2>&1); then
        _bench_setup_failed "registry import $(basename "$base.queue")" "$out"
        return 1
    fi
    out=$(_bench_wine 120 regedit /s "$(_bench_winpath "$base.reg")" 2>&1)
    rc=$?
    out=$(tr -d '\r' <<<"$out")
    if [ $rc -ne 0 ] || [ -n "$out" ]; then
        _bench_setup_failed "registry import $(basename "$base.reg")" "regedit /s exited with $rc${out:+: $(tr '\n' ' ' <<<"$out")}"
        return 1
    fi
}

# _bench_arm_restart: earlier restarts forgotten (their flag removed), the
# queued settings in.
_bench_arm_restart() {
    rm -f "$WINEPREFIX/$BENCH_RESTART_FLAG"
    _bench_machine_up
}

# _bench_reboot: a new boot of the emulated machine at its next Wine start:
# its wineserver ends (writing the registry files), the queued settings go
# into them, and the next start boots it, so that its services start again
# and read their settings. Ends every program of the prefix.
_bench_reboot() {
    _bench_machine_down
    local rc=$?
    _bench_machine_up --settings || return 1
    return $rc
}

_bench_winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

# A script piped into drive (install_script | drive) runs drive in this
# shell, not in a subshell, so that its failures and the machine's state it
# changes count.
shopt -s lastpipe

# drive [--fails <text>]: copies Setup.exe to the root of the medium and
# runs the driver with the script read from standard input. With --fails,
# the driver must stop at a failure whose line holds <text> (for the
# bench's own self-test).
drive() {
    local fails=
    if [ "${1:-}" = --fails ]; then
        fails=$2
        shift 2
    fi
    BENCH_DRIVES=$((BENCH_DRIVES + 1))
    local n=$BENCH_DRIVES
    local script=$BENCH_SCEN_DIR/script-$n.txt log=$BENCH_SCEN_DIR/driver-$n.log shots=$BENCH_SCEN_DIR/shots-$n
    cat >"$script"
    if [ ! -f "$BENCH_SETUP_EXE" ]; then
        _bench_setup_failed "drive" "no program to test: $BENCH_SETUP_EXE does not exist (make win32)"
        return 1
    fi
    # shellcheck disable=SC2119
    [ -n "$BENCH_MEDIUM_DIR" ] || medium
    if [ -z "$BENCH_MEDIUM_DISC" ]; then
        chmod u+w "$BENCH_MEDIUM_DIR" "$BENCH_MEDIUM_DIR/Setup.exe" 2>/dev/null
        cp "$BENCH_SETUP_EXE" "$BENCH_MEDIUM_DIR/Setup.exe" || { _bench_setup_failed "drive" "cannot copy Setup.exe"; return 1; }
        [ -n "$BENCH_MEDIUM_READONLY" ] && chmod a-w "$BENCH_MEDIUM_DIR/Setup.exe"
    fi
    _bench_machine_up || return 1
    mkdir -p "$shots"
    echo "drive (script $n):"
    (cd "$shots" && _bench_wine 300 "$BENCH_DRIVER_EXE" "$(_bench_winpath "$script")") >"$log" 2>&1
    local rc=$?
    tr -d '\r' <"$log" | sed 's/^/  /'
    local bmp name
    for bmp in "$shots"/*; do
        [ -f "$bmp" ] || continue
        name=$(basename "$bmp" .bmp)
        echo "$BENCH_SCENARIO-$name.png" >>"$BENCH_SHOTS/.$BENCH_SCENARIO.list"
        convert "$bmp" "$BENCH_SHOTS/$BENCH_SCENARIO-$name.png" ||
            _bench_setup_failed "screenshot $name" "convert to PNG failed"
    done
    if [ -n "$fails" ]; then
        if [ $rc -eq 1 ] && grep -F -- "$fails" "$log" | grep -q 'FAIL:'; then
            echo "drive: ok (failed as expected)"
            return 0
        fi
        _bench_setup_failed "drive --fails $(_bench_q "$fails")" "expected the driver to fail with that text (exit code $rc)"
        return 1
    fi
    if [ $rc -ne 0 ]; then
        echo "drive: FAIL: the driver stopped (exit code $rc)"
        BENCH_FAILURES=$((BENCH_FAILURES + 1))
        return 1
    fi
}

# drive_restart_refused [--fails <text>]: drive, with every restart request
# of the program going nowhere: wineboot cannot start in the processes of the
# driver, so ExitWindowsEx ends no program and runs no Run entry. The
# program stays open after its request until the script ends it.
drive_restart_refused() {
    # A boot needs wineboot: here, before.
    _bench_machine_up --boot || return 1
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;wineboot.exe=d" drive "$@"
}

# ------------------------------------------------------------------ the checks
#
# Every check reads the machine from the host: its files, and its registry
# and system.ini through BENCH_STATE, the flat text tools/machine_state.py
# writes of the prefix (see there). Before the first check after Wine ran,
# _bench_settle turns the machine off so that the registry files are
# written; later checks read the same state until Wine runs again.

# _bench_settle: the machine's state in BENCH_STATE, read anew when Wine
# started since (or ini_set changed system.ini). Settings queued since the
# last program go into the registry first. 1 when the state cannot be read
# (why in BENCH_STATE_ERR).
_bench_settle() {
    local out
    [ -n "$BENCH_STATE_AT" ] && [ "$BENCH_STATE_AT" = "$(_bench_wine_starts)" ] && [ -f "$BENCH_STATE" ] && return 0
    _bench_machine_down || _bench_setup_failed "settle" "wineboot of the prefix still ran after 60 s"
    _bench_machine_up --settings
    if ! out=$(/usr/bin/python3 "$BENCH_REPO/tools/machine_state.py" dump "$WINEPREFIX" "$BENCH_STATE" 2>&1); then
        BENCH_STATE_AT=
        BENCH_STATE_ERR=${out:-machine_state.py failed}
        return 1
    fi
    BENCH_STATE_AT=$(_bench_wine_starts)
    BENCH_STATE_ERR=
    if [ "$BENCH_IMPORTS" -gt "${BENCH_IMPORTS_SEEN:-0}" ]; then
        BENCH_IMPORTS_SEEN=$BENCH_IMPORTS
        out=settings-$BENCH_IMPORTS
        _BENCH_REG_DATA=
        if ! _bench_key "$BENCH_IMPORT_KEY" || ! _bench_value Imported || [ "$_BENCH_REG_DATA" != "$out" ]; then
            _bench_setup_failed "registry settings $out" "not all of them went in (the registry says ${_BENCH_REG_DATA:-nothing} went in last)"
        fi
    fi
}

_bench_wine_starts() {
    local n=0
    [ -f "$BENCH_SCEN_DIR/wine-starts" ] && n=$(wc -l <"$BENCH_SCEN_DIR/wine-starts")
    echo "$n"
}

# expect_restart yes|no: whether Windows was asked to restart since the
# scenario began (or since the previous expect_restart).
expect_restart() {
    local want=$1 flag=$WINEPREFIX/$BENCH_RESTART_FLAG i
    if [ "$want" = yes ] && [ -z "$BENCH_REBOOT_NEEDED" ]; then
        # The machine runs: the restart may be on its way.
        i=$((${BENCH_RESTART_WAIT:-20} * 10))
        while [ ! -e "$flag" ] && [ $i -gt 0 ]; do
            sleep 0.1
            i=$((i - 1))
        done
    fi
    _bench_wait_wineboot || { _bench_result "expect_restart $want" "wineboot of the prefix still runs after 60 s"; return; }
    _bench_settle
    local got=no
    [ -e "$flag" ] && got=yes
    if [ "$want" != yes ] && [ "$want" != no ]; then
        _bench_result "expect_restart $want" "expected yes or no"
    elif [ "$got" = "$want" ]; then
        _bench_result "expect_restart $want"
    elif [ "$want" = yes ]; then
        _bench_result "expect_restart yes" "expected a restart request, found none (the Run entry did not run)"
    else
        _bench_result "expect_restart no" "expected no restart request, found one (the Run entry ran)"
    fi
    # Told: the next expect_restart tells of the requests after this one.
    rm -f "$flag"
}

# Prints the host path of an existing Windows path; 1 when it does not
# exist, 2 when its drive is unknown. Names compare without regard to case,
# as Windows does.
_bench_host_path() {
    local p=$1
    [[ $p =~ ^([A-Za-z]):(.*)$ ]] || return 2
    local drive=${BASH_REMATCH[1],,} rest=${BASH_REMATCH[2]//\\//}
    local host
    host=$(readlink -f "$WINEPREFIX/dosdevices/$drive:") && [ -d "$host" ] || return 2
    local comps comp entry base found
    IFS=/ read -ra comps <<<"$rest"
    for comp in "${comps[@]}"; do
        [ -n "$comp" ] || continue
        if [ -e "$host/$comp" ]; then
            host=$host/$comp
            continue
        fi
        found=
        for entry in "$host"/* "$host"/.[!.]*; do
            [ -e "$entry" ] || continue
            base=${entry##*/}
            if [ "${base,,}" = "${comp,,}" ]; then
                found=$entry
                break
            fi
        done
        [ -n "$found" ] || return 1
        host=$found
    done
    printf '%s' "$host"
}

# expect_file <windows path> [<medium file>]: the file exists (and holds
# what that file of the sample medium holds).
expect_file() {
    local what="expect_file $*" host rc
    _bench_settle
    host=$(_bench_host_path "$1")
    rc=$?
    if [ $rc -eq 2 ]; then
        _bench_result "$what" "the drive of $1 is not mapped"
    elif [ $rc -ne 0 ]; then
        _bench_result "$what" "expected the file, found no such file"
    elif [ ! -f "$host" ]; then
        _bench_result "$what" "expected a file, found a directory"
    elif [ $# -ge 2 ] && [ "$(cat "$host")" != "$(_bench_medium_text "$2")" ]; then
        _bench_result "$what" "expected the contents of $2 from the medium, found $(_bench_q "$(head -c 80 "$host" | tr -d '\r')")"
    else
        _bench_result "$what"
    fi
}

expect_no_file() {
    local host
    _bench_settle
    if host=$(_bench_host_path "$1"); then
        _bench_result "expect_no_file $1" "expected no such file, found $([ -d "$host" ] && echo a directory || echo the file)"
    else
        _bench_result "expect_no_file $1"
    fi
}

expect_dir() {
    local host
    _bench_settle
    if host=$(_bench_host_path "$1") && [ -d "$host" ]; then
        _bench_result "expect_dir $1"
    else
        _bench_result "expect_dir $1" "expected the directory, found $([ -n "$host" ] && echo a file || echo nothing)"
    fi
}

expect_no_dir() {
    local host
    _bench_settle
    if host=$(_bench_host_path "$1"); then
        _bench_result "expect_no_dir $1" "expected no directory, found $([ -d "$host" ] && echo it || echo a file)"
    else
        _bench_result "expect_no_dir $1"
    fi
}

# _bench_fold_esc <variable> <name>: a key path or name as the state has it:
# in lower case (ASCII letters, as machine_state.py folds them), escaped.
_bench_fold_esc() {
    local LC_ALL=C
    _bench_esc_to "$1" "${2,,}"
}

# The values of one key in the state: the links first (L lines), then the
# key's K line and its V lines. Prints K when the key exists and a line
# "V<name><stored name><type><data>" (fields split by \037, escaped) a value.
# shellcheck disable=SC2016
_BENCH_KEY_AWK='
function resolve(p,    n, a, moved) {
    for (n = 0; n < 16; n++) {
        moved = 0
        for (a in link)
            if (p == a || index(p, a "\\\\") == 1) { p = link[a] substr(p, length(a) + 1); moved = 1; break }
        if (!moved) break
    }
    return p
}
BEGIN { FS = "\t"; want = ENVIRON["BENCH_KEY"] }
$1 == "L" { link[$2] = $3; next }
!resolved { want = resolve(want); resolved = 1 }
$1 == "K" { if (found) exit; if ($2 == want) { found = 1; print "K" } next }
found && $1 == "V" && $2 == want { print "V\037" $3 "\037" $4 "\037" $5 "\037" $6 }'

# _bench_key <key>: reads one key (HKLM\..., HKCU\... or their long names)
# from the machine's state: 0 when it exists, with its values in
# _BENCH_VTYPE, _BENCH_VDATA (escaped) and _BENCH_VNAME by "v" and the
# folded, escaped value name; 1 when it does not; 2 when the state cannot be
# read (why in BENCH_STATE_ERR).
_bench_key() {
    unset _BENCH_VTYPE _BENCH_VDATA _BENCH_VNAME
    declare -gA _BENCH_VTYPE=() _BENCH_VDATA=() _BENCH_VNAME=()
    _bench_settle || return 2
    local path
    _bench_fold_esc path "$1"
    while [ "${path%\\\\}" != "$path" ]; do path=${path%\\\\}; done
    case $path in
    hkey_local_machine | hkey_local_machine\\\\*) path=hklm${path#hkey_local_machine} ;;
    hkey_current_user | hkey_current_user\\\\*) path=hkcu${path#hkey_current_user} ;;
    esac
    case $path in
    hklm | hklm\\\\* | hkcu | hkcu\\\\*) ;;
    *) BENCH_STATE_ERR="the bench reads HKLM and HKCU only, not $1"; return 2 ;;
    esac
    local found=1 tag name stored type data
    while IFS=$'\037' read -r tag name stored type data; do
        if [ "$tag" = K ]; then
            found=0
            continue
        fi
        _BENCH_VTYPE[v$name]=$type
        _BENCH_VDATA[v$name]=$data
        _BENCH_VNAME[v$name]=$stored
    done < <(BENCH_KEY=$path awk "$_BENCH_KEY_AWK" "$BENCH_STATE")
    return $found
}

# _bench_value <name>: one value of the key read by _bench_key, in
# _BENCH_REG_NAME (as stored), _BENCH_REG_TYPE and _BENCH_REG_DATA (as reg
# query shows it), _BENCH_REG_ESC (the data escaped); 1 when there is none.
_bench_value() {
    local name
    _bench_fold_esc name "$1"
    [ -n "${_BENCH_VTYPE[v$name]+set}" ] || return 1
    _BENCH_REG_TYPE=${_BENCH_VTYPE[v$name]}
    _BENCH_REG_ESC=${_BENCH_VDATA[v$name]}
    printf -v _BENCH_REG_DATA '%b' "$_BENCH_REG_ESC"
    printf -v _BENCH_REG_NAME '%b' "${_BENCH_VNAME[v$name]}"
}

# _bench_value_is <type> <data>: the value of _bench_value has that type and
# data (REG_DWORD data may be decimal or 0x hex).
_bench_value_is() {
    local data
    _bench_esc_to data "$2"
    [ "$_BENCH_REG_TYPE" = "$1" ] || return 1
    [ "$_BENCH_REG_ESC" = "$data" ] && return 0
    [ "$1" = REG_DWORD ] && [[ $_BENCH_REG_ESC =~ ^0x[0-9a-f]{1,8}$ ]] || return 1
    if [[ $2 =~ ^0[xX][0-9a-fA-F]{1,8}$ ]]; then
        [ $(($2)) -eq $((_BENCH_REG_ESC)) ]
    elif [[ $2 =~ ^[0-9]{1,10}$ ]]; then
        [ $((10#$2)) -eq $((_BENCH_REG_ESC)) ]
    else
        return 1
    fi
}

# _bench_check_value <check text> <value> <type> <data>: one value of the
# key read by _bench_key.
_bench_check_value() {
    if ! _bench_value "$2"; then
        _bench_result "$1" "expected the value, found no such value"
    elif ! _bench_value_is "$3" "$4"; then
        _bench_result "$1" "expected $3 $(_bench_q "$4"), found $_BENCH_REG_TYPE $(_bench_q "$_BENCH_REG_DATA")"
    else
        _bench_result "$1"
    fi
}

# expect_reg <key> <value> <type> <data>: as reg query shows it (an empty
# value name is the default value; REG_DWORD data may be decimal or 0x hex;
# REG_MULTI_SZ strings are joined with \0; REG_BINARY is upper-case hex).
expect_reg() {
    local what
    what="expect_reg $(_bench_q "$1") $(_bench_q "$2") $3 $(_bench_q "$4")"
    _bench_key "$1"
    case $? in
    0) _bench_check_value "$what" "$2" "$3" "$4" ;;
    1) _bench_result "$what" "expected the value, found no such key" ;;
    *) _bench_result "$what" "the machine's state could not be read: $BENCH_STATE_ERR" ;;
    esac
}

# expect_reg_values <key> <value> <type> <data> [<value> <type> <data>]...:
# several values of one key, each checked as expect_reg checks it.
expect_reg_values() {
    local key=$1 rc what
    shift
    _bench_key "$key"
    rc=$?
    while [ $# -ge 3 ]; do
        what="expect_reg $(_bench_q "$key") $(_bench_q "$1") $2 $(_bench_q "$3")"
        case $rc in
        0) _bench_check_value "$what" "$1" "$2" "$3" ;;
        1) _bench_result "$what" "expected the value, found no such key" ;;
        *) _bench_result "$what" "the machine's state could not be read: $BENCH_STATE_ERR" ;;
        esac
        shift 3
    done
    [ $# -eq 0 ] || _bench_result "expect_reg_values $(_bench_q "$key") $*" "expected <value> <type> <data> triples"
}

# expect_reg_key_without <key> <value>...: the key exists and holds none of
# these values.
expect_reg_key_without() {
    local key=$1 name
    shift
    _bench_key "$key"
    case $? in
    0) _bench_result "expect_reg_key $(_bench_q "$key")" ;;
    1) _bench_result "expect_reg_key $(_bench_q "$key")" "expected the key, found no such key"; return ;;
    *) _bench_result "expect_reg_key $(_bench_q "$key")" "the machine's state could not be read: $BENCH_STATE_ERR"; return ;;
    esac
    for name in "$@"; do
        if _bench_value "$name"; then
            _bench_result "expect_no_reg_value $(_bench_q "$key") $(_bench_q "$name")" \
                "expected no such value, found $_BENCH_REG_TYPE $(_bench_q "$_BENCH_REG_DATA")"
        else
            _bench_result "expect_no_reg_value $(_bench_q "$key") $(_bench_q "$name")"
        fi
    done
}

expect_reg_key() {
    _bench_key "$1"
    case $? in
    0) _bench_result "expect_reg_key $(_bench_q "$1")" ;;
    1) _bench_result "expect_reg_key $(_bench_q "$1")" "expected the key, found no such key" ;;
    *) _bench_result "expect_reg_key $(_bench_q "$1")" "the machine's state could not be read: $BENCH_STATE_ERR" ;;
    esac
}

expect_no_reg_key() {
    _bench_key "$1"
    case $? in
    0) _bench_result "expect_no_reg_key $(_bench_q "$1")" "expected no such key, found it" ;;
    1) _bench_result "expect_no_reg_key $(_bench_q "$1")" ;;
    *) _bench_result "expect_no_reg_key $(_bench_q "$1")" "the machine's state could not be read: $BENCH_STATE_ERR" ;;
    esac
}

# expect_no_reg_value <key> <value>: no such value (nor key); what is found
# is shown as reg query shows a value line.
expect_no_reg_value() {
    local what="expect_no_reg_value $(_bench_q "$1") $(_bench_q "$2")"
    _bench_key "$1"
    case $? in
    0)
        if _bench_value "$2"; then
            _bench_result "$what" "expected no such value, found: ${_BENCH_REG_NAME:-(Default)}    $_BENCH_REG_TYPE    $_BENCH_REG_DATA"
        else
            _bench_result "$what"
        fi
        ;;
    1) _bench_result "$what" ;;
    *) _bench_result "$what" "the machine's state could not be read: $BENCH_STATE_ERR" ;;
    esac
}

# Prints the values of <key> in section [386Enh] of system.ini, one a line,
# each after a "=" (several when the key is there more than once); nothing
# when absent. Reads the state that _bench_settle read.
_bench_ini_values() {
    local key line
    _bench_fold_esc key "$1"
    BENCH_INI_KEY=$key awk -F'\t' '$1 == "I" && $2 == "386enh" && $3 == ENVIRON["BENCH_INI_KEY"] { print $5 }' \
        "$BENCH_STATE" | while IFS= read -r line; do printf '=%b\n' "$line"; done
}

# expect_ini <key> <value>: the key in [386Enh] of C:\windows\system.ini,
# with exactly that value (an empty one allowed).
expect_ini() {
    local what="expect_ini $1 $(_bench_q "$2")" values
    _bench_settle || { _bench_result "$what" "the machine's state could not be read: $BENCH_STATE_ERR"; return; }
    values=$(_bench_ini_values "$1")
    if [ -z "$values" ]; then
        _bench_result "$what" "expected $1=$2 in [386Enh], found no such key"
    elif [ "$(wc -l <<<"$values")" -gt 1 ]; then
        _bench_result "$what" "expected one $1, found $(wc -l <<<"$values"): $(tr '\n' ' ' <<<"$values")"
    elif [ "${values#=}" != "$2" ]; then
        _bench_result "$what" "expected $(_bench_q "$2"), found $(_bench_q "${values#=}")"
    else
        _bench_result "$what"
    fi
}

expect_no_ini() {
    local values
    _bench_settle || { _bench_result "expect_no_ini $1" "the machine's state could not be read: $BENCH_STATE_ERR"; return; }
    values=$(_bench_ini_values "$1")
    if [ -n "$values" ]; then
        _bench_result "expect_no_ini $1" "expected no such key in [386Enh], found $1$(head -1 <<<"$values")"
    else
        _bench_result "expect_no_ini $1"
    fi
}

# expect_check_fails <text> <check> [<argument>...]: for the bench's own
# test: the check must fail, with <text> in its message. (The machine's
# state is read here, so that the check in its subshell finds it.)
expect_check_fails() {
    local text=$1 out
    shift
    _bench_settle
    out=$("$@")
    if grep -F -- "$text" <<<"$out" | grep -q ': FAIL: '; then
        _bench_result "expect_check_fails $*"
    else
        _bench_result "expect_check_fails $*" "expected a failure holding $(_bench_q "$text"), found: $out"
    fi
}
