#!/bin/bash
# Runs the end-to-end bench of Setup.exe under Wine:
#
#   bench/run.sh [-q] [-j N] [--accept] [scenario ...]   the scenarios (run.py)
#   bench/run.sh --selftest [-q] [-j N] [scenario ...]    the bench's self-test
#
# The scenarios run in the Python harness (run.py). The self-test runs here:
# the scenarios of bench/selftest/scenarios (a name without .sh, or a path;
# without any, all of them) against the stand-in dialog, each in a fresh copy
# of the template prefix on an Xvfb display of the bench's own. -q prints
# the output of failed scenarios only. -j N runs N at a time (default 2,
# BENCH_JOBS), each with its own prefix, wineserver and display.
#
# A scenario whose Wine stops answering (a program past its time, or the
# scenario past BENCH_SCENARIO_SECONDS, 300) is ended whole, every process
# of its prefix by pid, and run once more in a fresh prefix; so is one in
# which a Wine process crashed ("wine: Unhandled ..."), passed or not. Its
# line says so. No process of a scenario's prefix outlives it.
#
# Prints "PASS <name> (<seconds>, <n> Wine starts)" or "FAIL <name> ..."
# with the output of the driver and of the checks, then "bench: N passed, N
# failed"; exits 0 only when none failed. Screenshots:
# build/bench/shots/<scenario>-<name>.png. A failed scenario leaves its
# scripts, the driver's output and its registry in build/bench/run/<scenario>
# (the whole prefix with BENCH_KEEP=1).
set -u

here=$(cd "$(dirname "$0")" && pwd)
# The scenarios run in the Python harness (run.py, pytest); the self-test
# below still runs the bash checks against the stand-in dialog.
case " $* " in
*" --selftest "*) ;;
*) exec /usr/bin/python3 "$here/run.py" "$@" ;;
esac
# shellcheck source-path=SCRIPTDIR
source "$here/lib.sh"

quiet=
names=()
for arg in "$@"; do
    case $arg in
    -q) quiet=1 ;;
    --selftest) ;;
    -j) jobs_next=1 ;;
    -j[0-9]*) BENCH_JOBS=${arg#-j} ;;
    -h | --help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    *)
        if [ -n "${jobs_next:-}" ]; then
            BENCH_JOBS=$arg
            jobs_next=
        else
            names+=("$arg")
        fi
        ;;
    esac
done

# The end-to-end scenarios run in run.py; only the self-test's come here.
scenario_dir=$here/selftest/scenarios

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
bench_build_selftest || give_up "could not build the self-test programs"

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

# Ends every process of a prefix (a hung Wine, a program left running),
# found by pid through its environment; prints how many there were. Never
# this shell or its parents, which may carry the same WINEPREFIX.
kill_prefix() {
    local prefix=$1 env pid self=" $$ $BASHPID $PPID " n=0
    for env in $(grep -l -z -x -F "WINEPREFIX=$prefix" /proc/[0-9]*/environ 2>/dev/null); do
        pid=${env#/proc/}
        pid=${pid%/environ}
        [ "${self/ $pid /}" = "$self" ] || continue
        kill -KILL "$pid" 2>/dev/null && n=$((n + 1))
    done
    echo $n
}

# run_one <name> <file>: one scenario in a fresh copy of the template, its
# output in the log. 0 passed, 1 failed, 2 Wine crashed (whatever the
# checks said) or failed with Wine not answering (a program that did not end
# in its time, or the whole scenario past BENCH_SCENARIO_SECONDS). No process of its prefix outlives it.
run_one() {
    local name=$1 f=$2 log=$BENCH_OUT/logs/$1.log dir=$BENCH_OUT/run/$1 rc left
    (
        bench_scenario_begin "$name" || { echo "scenario: FAIL: could not prepare the prefix"; exit 1; }
        # Ends the wineserver even when the scenario stops early.
        trap 'bench_scenario_end; exit $?' EXIT
        # shellcheck source=/dev/null
        source "$f"
        trap - EXIT
        bench_scenario_end
    ) >"$log" 2>&1 &
    local pid=$! waited=0
    while kill -0 $pid 2>/dev/null && [ $waited -lt $((${BENCH_SCENARIO_SECONDS:-300} * 10)) ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    if kill -0 $pid 2>/dev/null; then
        echo "scenario: FAIL: still running after ${BENCH_SCENARIO_SECONDS:-300} s" >>"$log"
        echo timeout >>"$dir/wine-timeouts"
        pkill -KILL -P $pid 2>/dev/null
        kill -KILL $pid 2>/dev/null
    fi
    wait $pid
    rc=$?
    left=$(kill_prefix "$dir/prefix")
    [ "$left" -eq 0 ] || echo "scenario: $left processes of its prefix were still running, ended" >>"$log"
    if [ -s "$dir/wine-crashes" ]; then
        echo "scenario: FAIL: a Wine process crashed ($(head -1 "$dir/wine-crashes"))" >>"$log"
        return 2
    fi
    [ $rc -eq 0 ] && return 0
    [ -s "$dir/wine-timeouts" ] && return 2
    return 1
}

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

# A worker: its own display, the next scenario of the queue until none is
# left. Each result goes to logs/<name>.result and, whole, to the output.
worker() {
    local w=$1 i name f rc begin seconds starts status retried
    BENCH_DISPLAY_FIRST=$((57 + 10 * w))
    bench_xvfb_start || { echo "bench: worker $w has no display"; return 1; }
    trap 'bench_xvfb_stop' EXIT
    while :; do
        i=$(flock "$BENCH_OUT/.queue.lock" bash -c 'n=$(($(cat "$1") + 1)); echo $n >"$1"; echo $n' _ "$BENCH_OUT/.queue")
        f=$(sed -n "${i}p" "$BENCH_OUT/.queue.files")
        [ -n "$f" ] || break
        name=$(basename "$f" .sh)
        begin=$(date +%s%N)
        retried=
        run_one "$name" "$f"
        rc=$?
        if [ $rc -eq 2 ]; then
            # Wine crashed or stopped answering: the scenario once more, in a
            # fresh prefix.
            if [ -s "$BENCH_OUT/run/$name/wine-crashes" ]; then
                retried=" after a retry: a Wine process crashed the first time ($(head -1 "$BENCH_OUT/run/$name/wine-crashes"))"
            else
                retried=" after a retry: Wine stopped answering the first time ($(head -1 "$BENCH_OUT/run/$name/wine-timeouts"))"
            fi
            cp "$BENCH_OUT/logs/$name.log" "$BENCH_OUT/logs/$name.first.log"
            run_one "$name" "$f"
            rc=$?
        fi
        seconds=$(awk -v ns=$(($(date +%s%N) - begin)) 'BEGIN { printf "%.1f", ns / 1e9 }')
        starts=$(wc -l <"$BENCH_OUT/run/$name/wine-starts" 2>/dev/null || echo 0)
        status=PASS
        [ $rc -eq 0 ] || status=FAIL
        {
            echo "$status $name ($seconds s, $starts Wine start$([ "$starts" -eq 1 ] || echo s))$retried"
            if [ $rc -eq 0 ]; then
                [ -n "$quiet" ] || sed 's/^/    /' "$BENCH_OUT/logs/$name.log"
                if [ -z "${BENCH_KEEP:-}" ]; then
                    BENCH_SCEN_DIR=$BENCH_OUT/run/$name _bench_remove_scenario_dir
                fi
            else
                sed 's/^/    /' "$BENCH_OUT/logs/$name.log"
                keep_failed "$name"
            fi
        } >"$BENCH_OUT/logs/$name.result"
        flock "$BENCH_OUT/.queue.lock" cat "$BENCH_OUT/logs/$name.result"
    done
}

workers=()
cleanup() {
    local pid
    for pid in "${workers[@]}"; do kill "$pid" 2>/dev/null; done
    for f in "${files[@]}"; do
        kill_prefix "$BENCH_OUT/run/$(basename "$f" .sh)/prefix" >/dev/null
    done
    bench_xvfb_stop
}
trap cleanup EXIT
trap 'exit 130' INT TERM
bench_xvfb_start || give_up "no display"
bench_template || give_up "no template prefix"
bench_xvfb_stop

jobs=${BENCH_JOBS:-2}
[ "$jobs" -le ${#files[@]} ] || jobs=${#files[@]}
printf '%s\n' "${files[@]}" >"$BENCH_OUT/.queue.files"
echo 0 >"$BENCH_OUT/.queue"
rm -f "$BENCH_OUT"/logs/*.result "$BENCH_OUT"/logs/*.first.log
for w in $(seq 0 $((jobs - 1))); do
    worker "$w" &
    workers+=($!)
done
wait "${workers[@]}"
workers=()

passed=0
failed=0
retries=0
for f in "${files[@]}"; do
    name=$(basename "$f" .sh)
    result=$BENCH_OUT/logs/$name.result
    if [ ! -s "$result" ]; then
        echo "FAIL $name (it never ran)"
        failed=$((failed + 1))
    elif head -1 "$result" | grep -q '^PASS '; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
    head -1 "$result" 2>/dev/null | grep -q 'after a retry' && retries=$((retries + 1))
done
echo "bench: $retries of ${#files[@]} scenarios needed a retry (Wine crashed or stopped answering), $jobs at a time"
echo "bench: $passed passed, $failed failed"
[ $failed -eq 0 ]
