# shellcheck shell=bash
# The end-to-end bench: runs Setup.exe under Wine on an Xvfb display of its
# own, drives its dialog with bench-driver and checks what it left behind
# with Wine's own tools and the files of the prefix.
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
BENCH_TEMPLATE_RECIPE="bench template 3 win32"

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Paths used as Windows paths by the scripts and checks.
BENCH_FLAG_WIN='C:\bench-restart.flag'
BENCH_RUNONCE_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce'
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

# One Xvfb for the whole run, on the first free display from 57 on.
bench_xvfb_start() {
    local n
    for n in $(seq "${BENCH_DISPLAY_FIRST:-57}" 99); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$BENCH_OUT/xvfb.log" 2>&1 &
        BENCH_XVFB_PID=$!
        local i
        for i in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$BENCH_XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$BENCH_XVFB_PID" 2>/dev/null; then
            export DISPLAY=":$n"
            return 0
        fi
        kill "$BENCH_XVFB_PID" 2>/dev/null
        wait "$BENCH_XVFB_PID" 2>/dev/null
        BENCH_XVFB_PID=
    done
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
# after it has ended.
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
# window decoration (no 2 s wait per window without a window manager), D: a
# fixed disk on a directory of the prefix, E: a CD-ROM (the medium, filled
# per scenario, and linked already so that the boot of the machine finds
# it), and the iosubsys folder a Windows 9x system has.
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
        _bench_wine 300 wineboot -i >/dev/null 2>&1 &&
            _bench_reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null &&
            _bench_reg add 'HKLM\Software\Wine\Drives' /v d: /d hd /f >/dev/null &&
            _bench_reg add 'HKLM\Software\Wine\Drives' /v e: /d cdrom /f >/dev/null &&
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

# Starts a scenario: a fresh copy of the template and a persistent
# wineserver for it, so that only a restart runs the RunOnce entries (a
# fresh wineserver start would run them too).
bench_scenario_begin() {
    BENCH_SCENARIO=$1
    BENCH_SCEN_DIR=$BENCH_OUT/run/$BENCH_SCENARIO
    BENCH_FAILURES=0
    BENCH_CHECKS=0
    BENCH_DRIVES=0
    BENCH_RESTART_ARMED=
    BENCH_REBOOT_NEEDED=
    BENCH_NT_REGISTRY_CHANGED=
    BENCH_MEDIUM_DIR=
    BENCH_MEDIUM_READONLY=
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
    cp -a "$BENCH_TEMPLATE" "$WINEPREFIX" || return 1
    "$BENCH_WINESERVER" -p || return 1
    _bench_boot
}

# The first process after a start of the wineserver boots the machine
# (wineboot starts its services and writes registry keys of its own): let
# that boot happen and end before the scenario changes any setting.
_bench_boot() {
    _bench_reg query 'HKLM\Software\Wine' >/dev/null 2>&1
    _bench_wait_wineboot
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
        _bench_reg add "$app" /v Version /d "$kind" /f >/dev/null ||
            _bench_setup_failed "windows $kind" "reg add of the program's version failed"
        return
        ;;
    win7)
        _bench_reg delete "$app" /v Version /f >/dev/null 2>&1
        # The registry of a fresh prefix, when a server kind changed it.
        [ -n "$BENCH_NT_REGISTRY_CHANGED" ] || return 0
        _bench_nt_registry 6.1 7601 "Service Pack 1" 0x100 WinNT || return 1
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
    _bench_reg delete "$app" /v Version /f >/dev/null 2>&1
    BENCH_NT_REGISTRY_CHANGED=1
    _bench_nt_registry "$version" "$build" "$csd" "$sp" "$product"
}

# The version of an NT system as Wine reads it from the registry when the
# program has no version setting of its own.
_bench_nt_registry() {
    local nt='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
    _bench_reg add "$nt" /v CurrentVersion /d "$1" /f >/dev/null &&
        _bench_reg add "$nt" /v CurrentBuildNumber /d "$2" /f >/dev/null &&
        _bench_reg add "$nt" /v CSDVersion /d "$3" /f >/dev/null &&
        _bench_reg add 'HKLM\System\CurrentControlSet\Control\Windows' /v CSDVersion /t REG_DWORD /d "$4" /f >/dev/null &&
        _bench_reg add 'HKLM\System\CurrentControlSet\Control\ProductOptions' /v ProductType /d "$5" /f >/dev/null ||
        _bench_setup_failed "windows $*" "reg add of the version registry failed"
}

# marker present|absent: the key that says the product is installed.
marker() {
    case $1 in
    present) _bench_reg add "$BENCH_MARKER_KEY" /f >/dev/null || _bench_setup_failed "marker present" "reg add failed" ;;
    absent) _bench_reg delete "$BENCH_MARKER_KEY" /f >/dev/null 2>&1; return 0 ;;
    *) _bench_setup_failed "marker $1" "expected present or absent" ;;
    esac
}

# reg_set <key> <value> <type> <data>: a registry value of the machine (reg
# add syntax: REG_SZ, REG_DWORD, REG_MULTI_SZ with \0 between strings, ...).
reg_set() {
    _bench_reg add "$1" /v "$2" /t "$3" /d "$4" /f >/dev/null ||
        _bench_setup_failed "reg_set $*" "reg add failed"
}
reg_key() { _bench_reg add "$1" /f >/dev/null || _bench_setup_failed "reg_key $1" "reg add failed"; }
reg_unset() { _bench_reg delete "$1" /v "$2" /f >/dev/null 2>&1; return 0; }
reg_delete_key() { _bench_reg delete "$1" /f >/dev/null 2>&1; return 0; }

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
    if ! mkdir -p "$BENCH_MEDIUM_DIR/$(dirname "$f")" || ! _bench_medium_text "$f" >"$BENCH_MEDIUM_DIR/$f"; then
        _bench_setup_failed "medium_add $1" "could not write the file"
    fi
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
    BENCH_REBOOT_NEEDED=1
    case $kind in
    none)
        rm -f "$WINEPREFIX/dosdevices/d:"
        _bench_reg delete "$drives" /v d: /f >/dev/null 2>&1
        return 0
        ;;
    fixed | cdrom)
        ln -sfn ../disk_d "$WINEPREFIX/dosdevices/d:"
        _bench_reg add "$drives" /v d: /d "$([ "$kind" = fixed ] && echo hd || echo cdrom)" /f >/dev/null ||
            { _bench_setup_failed "disk_d $kind" "reg add failed"; return 1; }
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
}

# ------------------------------------------------------------------ the run

# Processes of this scenario's prefix whose command line names wineboot
# (a restart or shutdown in progress).
_bench_wineboot_running() {
    local f
    for f in $(grep -l -a -i wineboot /proc/[0-9]*/cmdline 2>/dev/null); do
        { tr '\0' '\n' <"${f%/cmdline}/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}

_bench_wait_wineboot() {
    local i
    for i in $(seq 1 200); do
        _bench_wineboot_running || return 0
        sleep 0.1
    done
    return 1
}

# The restart detector: a RunOnce entry that writes a flag file. Only a
# restart (wineboot --end-session without --shutdown) runs it, since the
# wineserver of the scenario stays up.
_bench_arm_restart() {
    # The machine has booted (bench_scenario_begin, _bench_reboot), so the
    # boot's own run of RunOnce is over before the entry is written.
    rm -f "$WINEPREFIX/drive_c/bench-restart.flag"
    _bench_reg add "$BENCH_RUNONCE_KEY" /v bench-restart \
        /d "cmd.exe /c echo restarted>$BENCH_FLAG_WIN" /f >/dev/null ||
        { _bench_setup_failed "restart detector" "reg add of the RunOnce entry failed"; return 1; }
    BENCH_RESTART_ARMED=1
}

# A new boot of the emulated machine: a new wineserver, so its services
# start again and read their settings. Ends every program of the prefix.
_bench_reboot() {
    "$BENCH_WINESERVER" -k 2>/dev/null
    "$BENCH_WINESERVER" -w
    "$BENCH_WINESERVER" -p || { _bench_setup_failed "reboot" "wineserver -p failed"; return 1; }
    _bench_boot
    BENCH_REBOOT_NEEDED=
    BENCH_RESTART_ARMED=
}

_bench_winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

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
    chmod u+w "$BENCH_MEDIUM_DIR" "$BENCH_MEDIUM_DIR/Setup.exe" 2>/dev/null
    cp "$BENCH_SETUP_EXE" "$BENCH_MEDIUM_DIR/Setup.exe" || { _bench_setup_failed "drive" "cannot copy Setup.exe"; return 1; }
    [ -n "$BENCH_MEDIUM_READONLY" ] && chmod a-w "$BENCH_MEDIUM_DIR/Setup.exe"
    if [ -n "$BENCH_REBOOT_NEEDED" ]; then
        _bench_reboot || return 1
    fi
    [ -n "$BENCH_RESTART_ARMED" ] || _bench_arm_restart || return 1
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
# driver, so ExitWindowsEx ends no program and runs no RunOnce entry. The
# program stays open after its request until the script ends it.
drive_restart_refused() {
    if [ -n "$BENCH_REBOOT_NEEDED" ]; then
        _bench_reboot || return 1
    fi
    # A reboot needs wineboot, and so does arming the detector: both here, before.
    [ -n "$BENCH_RESTART_ARMED" ] || _bench_arm_restart || return 1
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;wineboot.exe=d" drive "$@"
}

# ------------------------------------------------------------------ the checks

# expect_restart yes|no: whether Windows was asked to restart since the
# scenario began (or since the previous expect_restart).
expect_restart() {
    local want=$1 flag=$WINEPREFIX/drive_c/bench-restart.flag i
    if [ "$want" = yes ]; then
        i=$((${BENCH_RESTART_WAIT:-20} * 10))
        while [ ! -e "$flag" ] && [ $i -gt 0 ]; do
            sleep 0.1
            i=$((i - 1))
        done
    fi
    _bench_wait_wineboot || { _bench_result "expect_restart $want" "wineboot of the prefix still runs after 20 s"; return; }
    local got=no
    [ -e "$flag" ] && got=yes
    if [ "$want" != yes ] && [ "$want" != no ]; then
        _bench_result "expect_restart $want" "expected yes or no"
    elif [ "$got" = "$want" ]; then
        _bench_result "expect_restart $want"
    elif [ "$want" = yes ]; then
        _bench_result "expect_restart yes" "expected a restart request, found none (the RunOnce entry did not run)"
    else
        _bench_result "expect_restart no" "expected no restart request, found one (the RunOnce entry ran)"
    fi
    _bench_arm_restart
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
    if host=$(_bench_host_path "$1"); then
        _bench_result "expect_no_file $1" "expected no such file, found $([ -d "$host" ] && echo a directory || echo the file)"
    else
        _bench_result "expect_no_file $1"
    fi
}

expect_dir() {
    local host
    if host=$(_bench_host_path "$1") && [ -d "$host" ]; then
        _bench_result "expect_dir $1"
    else
        _bench_result "expect_dir $1" "expected the directory, found $([ -n "$host" ] && echo a file || echo nothing)"
    fi
}

expect_no_dir() {
    local host
    if host=$(_bench_host_path "$1"); then
        _bench_result "expect_no_dir $1" "expected no directory, found $([ -d "$host" ] && echo it || echo a file)"
    else
        _bench_result "expect_no_dir $1"
    fi
}

# Runs reg query; sets _BENCH_REG_OUT and returns 0 found, 1 absent, 2 error.
_bench_reg_query() {
    local out rc
    out=$(_bench_reg query "$@" 2>&1)
    rc=$?
    _BENCH_REG_OUT=$(printf '%s' "$out" | tr -d '\r')
    [ $rc -eq 0 ] && return 0
    grep -q 'Unable to find' <<<"$_BENCH_REG_OUT" && return 1
    return 2
}

# expect_reg <key> <value> <type> <data>: as reg query shows it (an empty
# value name is the default value; REG_DWORD data may be decimal or 0x hex;
# REG_MULTI_SZ strings are joined with \0; REG_BINARY is upper-case hex).
expect_reg() {
    local key=$1 name=$2 type=$3 data=$4 what
    what="expect_reg $(_bench_q "$1") $(_bench_q "$2") $3 $(_bench_q "$4")"
    local args=(/v "$name")
    [ -z "$name" ] && args=(/ve)
    _bench_reg_query "$key" "${args[@]}"
    case $? in
    1) _bench_result "$what" "expected the value, found no such $(_bench_reg_query "$key" && echo value || echo key)"; return ;;
    2) _bench_result "$what" "reg query failed: $_BENCH_REG_OUT"; return ;;
    esac
    # "    <name>    <type>    <data>"
    local line got_type got_data
    line=$(grep -m1 '^    ' <<<"$_BENCH_REG_OUT")
    line=${line#    }
    line=${line#*    }
    got_type=${line%%    *}
    got_data=${line#*    }
    [ "$got_data" = "$got_type" ] && got_data=
    if [ "$got_type" = REG_DWORD ] && [ "$type" = REG_DWORD ] && [[ $data =~ ^(0x[0-9a-fA-F]+|[0-9]+)$ ]]; then
        [ $((data)) -eq $((got_data)) ] && got_data=$data
    fi
    if [ "$got_type" != "$type" ] || [ "$got_data" != "$data" ]; then
        _bench_result "$what" "expected $type $(_bench_q "$data"), found $got_type $(_bench_q "$got_data")"
    else
        _bench_result "$what"
    fi
}

# The data of one value in the output of reg query <key> (lines
# "    <name>    <type>    <data>"): sets _BENCH_REG_TYPE and _BENCH_REG_DATA
# and returns 0, or 1 when the output holds no such value. Names compare
# without regard to case, as the registry does.
_bench_reg_value_of() {
    local out=$1 name=$2 line rest found
    while IFS= read -r line; do
        [ "${line:0:4}" = "    " ] || continue
        rest=${line#    }
        found=${rest%%    *}
        if [ "$found" = "$rest" ] || [ "${found,,}" != "${name,,}" ]; then
            continue
        fi
        rest=${rest#*    }
        _BENCH_REG_TYPE=${rest%%    *}
        _BENCH_REG_DATA=${rest#*    }
        [ "$_BENCH_REG_DATA" = "$_BENCH_REG_TYPE" ] && _BENCH_REG_DATA=
        return 0
    done <<<"$out"
    return 1
}

# expect_reg_values <key> <value> <type> <data> [<value> <type> <data>]...:
# several values of one key, each checked as expect_reg checks it, with one
# reg query of the whole key.
expect_reg_values() {
    local key=$1 rc out name type data what
    shift
    _bench_reg_query "$key"
    rc=$?
    out=$_BENCH_REG_OUT
    while [ $# -ge 3 ]; do
        name=$1 type=$2 data=$3
        shift 3
        what="expect_reg $(_bench_q "$key") $(_bench_q "$name") $type $(_bench_q "$data")"
        if [ $rc -eq 1 ]; then
            _bench_result "$what" "expected the value, found no such key"
        elif [ $rc -ne 0 ]; then
            _bench_result "$what" "reg query failed: $out"
        elif ! _bench_reg_value_of "$out" "$name"; then
            _bench_result "$what" "expected the value, found no such value"
        else
            if [ "$_BENCH_REG_TYPE" = REG_DWORD ] && [ "$type" = REG_DWORD ] &&
                [[ $data =~ ^(0x[0-9a-fA-F]+|[0-9]+)$ ]] && [[ $_BENCH_REG_DATA =~ ^(0x[0-9a-fA-F]+|[0-9]+)$ ]]; then
                [ $((data)) -eq $((_BENCH_REG_DATA)) ] && _BENCH_REG_DATA=$data
            fi
            if [ "$_BENCH_REG_TYPE" != "$type" ] || [ "$_BENCH_REG_DATA" != "$data" ]; then
                _bench_result "$what" "expected $type $(_bench_q "$data"), found $_BENCH_REG_TYPE $(_bench_q "$_BENCH_REG_DATA")"
            else
                _bench_result "$what"
            fi
        fi
    done
    [ $# -eq 0 ] || _bench_result "expect_reg_values $(_bench_q "$key") $*" "expected <value> <type> <data> triples"
}

# expect_reg_key_without <key> <value>...: the key exists and holds none of
# these values, with one reg query of the whole key.
expect_reg_key_without() {
    local key=$1 rc out name
    shift
    _bench_reg_query "$key"
    rc=$?
    out=$_BENCH_REG_OUT
    case $rc in
    0) _bench_result "expect_reg_key $(_bench_q "$key")" ;;
    1) _bench_result "expect_reg_key $(_bench_q "$key")" "expected the key, found no such key"; return ;;
    *) _bench_result "expect_reg_key $(_bench_q "$key")" "reg query failed: $out"; return ;;
    esac
    for name in "$@"; do
        if _bench_reg_value_of "$out" "$name"; then
            _bench_result "expect_no_reg_value $(_bench_q "$key") $(_bench_q "$name")" \
                "expected no such value, found $_BENCH_REG_TYPE $(_bench_q "$_BENCH_REG_DATA")"
        else
            _bench_result "expect_no_reg_value $(_bench_q "$key") $(_bench_q "$name")"
        fi
    done
}

expect_reg_key() {
    _bench_reg_query "$1"
    case $? in
    0) _bench_result "expect_reg_key $(_bench_q "$1")" ;;
    1) _bench_result "expect_reg_key $(_bench_q "$1")" "expected the key, found no such key" ;;
    *) _bench_result "expect_reg_key $(_bench_q "$1")" "reg query failed: $_BENCH_REG_OUT" ;;
    esac
}

expect_no_reg_key() {
    _bench_reg_query "$1"
    case $? in
    0) _bench_result "expect_no_reg_key $(_bench_q "$1")" "expected no such key, found it" ;;
    1) _bench_result "expect_no_reg_key $(_bench_q "$1")" ;;
    *) _bench_result "expect_no_reg_key $(_bench_q "$1")" "reg query failed: $_BENCH_REG_OUT" ;;
    esac
}

expect_no_reg_value() {
    local what="expect_no_reg_value $(_bench_q "$1") $(_bench_q "$2")"
    _bench_reg_query "$1" /v "$2"
    case $? in
    0) _bench_result "$what" "expected no such value, found: $(grep -m1 '^    ' <<<"$_BENCH_REG_OUT" | sed 's/^ *//')" ;;
    1) _bench_result "$what" ;;
    *) _bench_result "$what" "reg query failed: $_BENCH_REG_OUT" ;;
    esac
}

# Prints the values of <key> in section [386Enh] of system.ini, one a line
# (several when the key is there more than once); nothing when absent.
_bench_ini_values() {
    local file
    file=$(_bench_host_path 'C:\windows\system.ini') || return 0
    tr -d '\r' <"$file" | awk -v key="$1" '
        /^[ \t]*\[/ { s = $0; sub(/^[ \t]*\[/, "", s); sub(/\].*/, "", s); in386 = (tolower(s) == "386enh"); next }
        in386 && index($0, "=") {
            k = substr($0, 1, index($0, "=") - 1); gsub(/^[ \t]+|[ \t]+$/, "", k)
            if (tolower(k) == tolower(key)) print "=" substr($0, index($0, "=") + 1)
        }'
}

# expect_ini <key> <value>: the key in [386Enh] of C:\windows\system.ini,
# with exactly that value (an empty one allowed).
expect_ini() {
    local what="expect_ini $1 $(_bench_q "$2")" values
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
    values=$(_bench_ini_values "$1")
    if [ -n "$values" ]; then
        _bench_result "expect_no_ini $1" "expected no such key in [386Enh], found $1$(head -1 <<<"$values")"
    else
        _bench_result "expect_no_ini $1"
    fi
}

# expect_check_fails <text> <check> [<argument>...]: for the bench's own
# test: the check must fail, with <text> in its message.
expect_check_fails() {
    local text=$1 out
    shift
    out=$("$@")
    if grep -F -- "$text" <<<"$out" | grep -q ': FAIL: '; then
        _bench_result "expect_check_fails $*"
    else
        _bench_result "expect_check_fails $*" "expected a failure holding $(_bench_q "$text"), found: $out"
    fi
}
