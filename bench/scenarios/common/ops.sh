# Runs operations of the setup logic on the prefix's real Windows API through
# setup_ops.exe of the build under test, without the dialog, so the system changes can be
# checked one by one with the bench's checks.

BENCH_OPS_EXE=${BENCH_OPS_EXE:-$BENCH_BUILD/setup_ops.exe}
BENCH_WITNESS_EXE=${BENCH_WITNESS_EXE:-$BENCH_BUILD/endsession_witness.exe}

# ops <operation>...: one run of setup_ops.exe; its output is in OPS_OUT.
ops() {
    BENCH_DRIVES=$((BENCH_DRIVES + 1))
    [ -x "$BENCH_OPS_EXE" ] || { _bench_setup_failed "ops" "no $BENCH_OPS_EXE (make win32)"; return 1; }
    _bench_machine_up || return 1
    local rc
    OPS_OUT=$(cd "$BENCH_SCEN_DIR" && _bench_wine 60 "$BENCH_OPS_EXE" "$@" 2>&1)
    rc=$?
    OPS_OUT=${OPS_OUT//$'\r'/}
    echo "ops $*:"
    [ -n "$OPS_OUT" ] && sed 's/^/  /' <<<"$OPS_OUT"
    [ $rc -eq 0 ] || _bench_result "ops $*" "setup_ops exited with $rc"
}

# expect_ops_output <line>: the last ops run printed exactly that line.
expect_ops_output() {
    if grep -qxF -- "$1" <<<"$OPS_OUT"; then
        _bench_result "expect_ops_output $(_bench_q "$1")"
    else
        _bench_result "expect_ops_output $(_bench_q "$1")" "found $(_bench_q "$OPS_OUT")"
    fi
}

# witness_start: a program with a window of its own that writes down the
# end-of-session messages it gets into C:\witness.txt.
witness_start() {
    rm -f "$WINEPREFIX/drive_c/witness.txt"
    _bench_machine_up || return 1
    _bench_count_start
    (cd "$BENCH_SCEN_DIR" && "$BENCH_WINE" "$BENCH_WITNESS_EXE" 'C:\witness.txt' </dev/null >/dev/null 2>&1 &)
    local i
    # It may boot the machine first.
    for i in $(seq 1 600); do
        grep -q started "$WINEPREFIX/drive_c/witness.txt" 2>/dev/null && return 0
        sleep 0.1
    done
    _bench_setup_failed "witness_start" "the witness did not start"
}

# expect_witness <line>: the witness noted that message.
expect_witness() {
    local file=$WINEPREFIX/drive_c/witness.txt i
    for i in $(seq 1 100); do
        grep -qxF "$1" <(tr -d '\r' <"$file" 2>/dev/null) && { _bench_result "expect_witness $1"; return; }
        sleep 0.1
    done
    _bench_result "expect_witness $1" "found $(_bench_q "$(tr -d '\r' <"$file" 2>/dev/null | tr '\n' ' ')")"
}
