# A program that Wine fails to start at all is started again; when it keeps
# failing, the failure comes through; a program that ran and failed is not
# started again. A stand-in for wine64 fails the first FLAKY_FAILS starts the
# way Wine does (FLAKY_SILENT: with no output at all), then runs the real one.
windows winxp
flaky=$BENCH_SCEN_DIR/flaky-wine
starts=$BENCH_SCEN_DIR/flaky-starts
cat >"$flaky" <<STUB
#!/bin/bash
n=\$(cat "$starts")
echo \$((n + 1)) >"$starts"
if [ "\$n" -lt "\$FLAKY_FAILS" ]; then
    [ -n "\$FLAKY_SILENT" ] && exit 1
    echo "Application could not be started, or no application associated with the specified file." >&2
    echo "ShellExecuteEx failed: Internal error." >&2
    exit 1
fi
exec "$BENCH_WINE" "\$@"
STUB
chmod +x "$flaky"

# The machine runs (booted, its settings in), so that no query below boots it.
_bench_machine_up --boot
# failed starts, silent, value queried, exit code (0 or fail), starts, text
for row in "0 - d: 0 1 REG_SZ" "2 - d: 0 3 REG_SZ" "4 - d: 0 5 REG_SZ" "5 - d: fail 5 ShellExecuteEx" \
    "2 y d: 0 3 REG_SZ" "5 y d: fail 5 -" "0 - nothing fail 1 Unable to find"; do
    read -r fails silent value want_rc want_starts want_text <<<"$row"
    [ "$silent" = - ] && silent=
    [ "$want_text" = - ] && want_text=
    echo 0 >"$starts"
    out=$(FLAKY_FAILS=$fails FLAKY_SILENT=$silent BENCH_WINE=$flaky _bench_reg query 'HKLM\Software\Wine\Drives' /v "$value" 2>&1)
    rc=$?
    what="reg query of $value with $fails failed${silent:+ silent} starts"
    got="exit code $rc, $(cat "$starts") starts"
    if { [ "$want_rc" = 0 ] && [ $rc -ne 0 ]; } || { [ "$want_rc" = fail ] && [ $rc -eq 0 ]; } ||
        [ "$(cat "$starts")" != "$want_starts" ] || ! grep -qF "$want_text" <<<"$out"; then
        _bench_result "$what" "expected exit code $want_rc, $want_starts starts and \"$want_text\"; found $got: $out"
    else
        _bench_result "$what"
    fi
done

# The driver too: its script runs once, after the failed starts (the
# restart detector is set up first, with starts of its own).
_bench_arm_restart
echo 0 >"$starts"
FLAKY_FAILS=2 FLAKY_SILENT= BENCH_WINE=$flaky drive <<'SCRIPT'
start E:\Setup.exe E:\
key escape
exits
SCRIPT
[ "$(cat "$starts")" = 3 ] && _bench_result "driver started after 2 failed starts" ||
    _bench_result "driver started after 2 failed starts" "expected 3 starts, found $(cat "$starts")"

# A crash of any Wine process in a program's output is noted for the run,
# which then starts the scenario again in a fresh prefix, whatever its
# checks said; a program's own failure without one is not.
crashy=$BENCH_SCEN_DIR/crashy-wine
for row in "crash 1 0" "crash 1 3" "clean 0 3"; do
    read -r kind want_lines code <<<"$row"
    cat >"$crashy" <<STUB
#!/bin/bash
echo "the program's own line"
[ "$kind" = crash ] && echo "wine: Unhandled illegal instruction at address 70D92A0F (thread 0054), starting debugger..." >&2
exit $code
STUB
    chmod +x "$crashy"
    rm -f "$BENCH_SCEN_DIR/wine-crashes"
    BENCH_WINE=$crashy _bench_wine 10 winedevice.exe >/dev/null 2>&1
    lines=$(cat "$BENCH_SCEN_DIR/wine-crashes" 2>/dev/null | grep -c .)
    what="a $kind run exiting with $code noted as $want_lines crash"
    if [ "$lines" = "$want_lines" ] && { [ "$want_lines" = 0 ] ||
        grep -qxF "winedevice.exe: wine: Unhandled illegal instruction at address 70D92A0F (thread 0054), starting debugger..." "$BENCH_SCEN_DIR/wine-crashes"; }; then
        _bench_result "$what"
    else
        _bench_result "$what" "found $lines: $(cat "$BENCH_SCEN_DIR/wine-crashes" 2>/dev/null)"
    fi
done
# Not a crash of this scenario's Wine.
rm -f "$BENCH_SCEN_DIR/wine-crashes"
