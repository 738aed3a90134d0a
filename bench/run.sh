#!/bin/bash
# Runs the end-to-end scenarios of Setup.exe under Wine, each in a fresh
# copy of a template prefix, on an Xvfb display of the bench's own.
#
#   bench/run.sh [-q] [--selftest] [scenario ...]
#
# A scenario is a name from bench/scenarios (without .sh) or a path to a
# scenario file; without any, every bench/scenarios/*.sh runs. --selftest
# runs the bench's own scenarios (bench/selftest/scenarios) against the
# stand-in dialog instead of Setup.exe. It runs build/win32/Setup.exe (the
# product) in a 32-bit prefix, or, where this machine cannot execute 32-bit
# programs, build/win64/Setup.exe in a 64-bit prefix (BENCH_ARCH in lib.sh). -q prints the output
# of failed scenarios only.
#
# Prints "PASS <name>" or "FAIL <name>" with the output of the driver and
# of the checks, then "bench: N passed, N failed"; exits 0 only when none
# failed. Screenshots: build/bench/shots/<scenario>-<name>.png. A failed
# scenario leaves its scripts, the driver's output and its registry in
# build/bench/run/<scenario> (the whole prefix with BENCH_KEEP=1).
set -u

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR
source "$here/lib.sh"

quiet=
selftest=
names=()
for arg in "$@"; do
    case $arg in
    -q) quiet=1 ;;
    --selftest) selftest=1 ;;
    -h | --help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    *) names+=("$arg") ;;
    esac
done

scenario_dir=$here/scenarios
[ -n "$selftest" ] && scenario_dir=$here/selftest/scenarios

give_up() {
    echo "bench: $*"
    echo "bench: 0 passed, 1 failed"
    exit 1
}

bench_install_missing || give_up "could not install the packages it needs"
mkdir -p "$BENCH_OUT/logs"
exec 9>"$BENCH_OUT/.lock"
flock -n 9 || give_up "another run uses $BENCH_OUT"
bench_build_driver || give_up "could not build the driver"
if [ -n "$selftest" ]; then
    bench_build_selftest || give_up "could not build the self-test programs"
fi

files=()
if [ ${#names[@]} -eq 0 ]; then
    for f in "$scenario_dir"/*.sh; do
        [ -e "$f" ] && files+=("$f")
    done
else
    for n in "${names[@]}"; do
        if [ -f "$n" ]; then
            files+=("$n")
        elif [ -f "$scenario_dir/$n.sh" ]; then
            files+=("$scenario_dir/$n.sh")
        else
            give_up "no scenario $n in $scenario_dir"
        fi
    done
fi
[ ${#files[@]} -gt 0 ] || give_up "no scenario in $scenario_dir"

current=
cleanup() {
    # An interrupted scenario: end its wineserver (the subshell may not have).
    if [ -n "$current" ]; then
        WINEPREFIX=$BENCH_OUT/run/$current/prefix "$BENCH_WINESERVER" -k 2>/dev/null
    fi
    bench_xvfb_stop
}
bench_xvfb_start || give_up "no display"
trap cleanup EXIT
trap 'exit 130' INT TERM
bench_template || give_up "no template prefix"

# What a failed scenario leaves for a look: its scripts, the driver's
# output and the registry and system.ini of its prefix (the whole prefix,
# 700 MB, only with BENCH_KEEP=1).
keep_failed() {
    local dir=$BENCH_OUT/run/$1
    if [ -z "${BENCH_KEEP:-}" ] && [ -d "$dir/prefix" ]; then
        cp "$dir/prefix/system.reg" "$dir/prefix/user.reg" "$dir/prefix/drive_c/windows/system.ini" "$dir/" 2>/dev/null
        BENCH_SCEN_DIR=$dir/prefix
        _bench_remove_scenario_dir
    fi
    echo "    (scripts, driver output and registry kept in $dir)"
}

passed=0
failed=0
for f in "${files[@]}"; do
    name=$(basename "$f" .sh)
    log=$BENCH_OUT/logs/$name.log
    begin=$(date +%s%N)
    current=$name
    (
        bench_scenario_begin "$name" || { echo "scenario: FAIL: could not prepare the prefix"; exit 1; }
        # Ends the wineserver even when the scenario stops early.
        trap 'bench_scenario_end; exit $?' EXIT
        # shellcheck source=/dev/null
        source "$f"
        trap - EXIT
        bench_scenario_end
    ) >"$log" 2>&1
    rc=$?
    current=
    seconds=$(awk -v ns=$(($(date +%s%N) - begin)) 'BEGIN { printf "%.1f", ns / 1e9 }')
    if [ $rc -eq 0 ]; then
        passed=$((passed + 1))
        echo "PASS $name ($seconds s)"
        [ -n "$quiet" ] || sed 's/^/    /' "$log"
        if [ -z "${BENCH_KEEP:-}" ]; then
            BENCH_SCEN_DIR=$BENCH_OUT/run/$name _bench_remove_scenario_dir
        fi
    else
        failed=$((failed + 1))
        echo "FAIL $name ($seconds s)"
        sed 's/^/    /' "$log"
        keep_failed "$name"
    fi
done

echo "bench: $passed passed, $failed failed"
[ $failed -eq 0 ]
