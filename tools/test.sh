#!/bin/bash
# Runs every test of Setup and ends with one line "tests: N passed, N failed":
#   1. the unit tests of the setup logic and the contract tests on the fake,
#      under AddressSanitizer and UndefinedBehaviorSanitizer (Linux), and the
#      setup logic under the fuzzer for 25 seconds (tools/fuzz.sh)
#   2. the contract tests on the Win32 implementation, under Wine
#   3. the static check of the product build/win32/Setup.exe, the tests of
#      the installation medium and of the bench's machine-state reader
#   4. the run command (tools/run.sh) as a newcomer meets it, headless
#   5. the bench's self-test, then the end-to-end scenarios of the real
#      Setup.exe under Wine
# Every stage under Wine runs the 32-bit product and its 32-bit helpers in a
# 32-bit prefix: natively where the kernel executes 32-bit programs, else
# under QEMU emulation (tools/emu32.sh), the whole command re-entering
# itself once inside the emulation's namespace. Each stage prints its time.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)

if [ "${EMU32_INSIDE:-}" != 1 ]; then
    begin=$(date +%s)
    if ! bash tools/install-deps.sh; then
        echo "test: could not install what the tests need, or Wine's 32-bit half cannot be had here (above); the product cannot be tested"
        echo "tests: 0 passed, 1 failed"
        exit 1
    fi
    echo "installs: $(($(date +%s) - begin)) s"
    if ! bash tools/emu32.sh native; then
        export TEST_WINE_HOW="32-bit product, Wine emulated by QEMU"
        exec bash tools/emu32.sh run bash tools/test.sh "$@"
    fi
fi
under="Wine, ${TEST_WINE_HOW:-32-bit product, native Wine}"
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "test: Wine's 32-bit half does not start here, so the product cannot be tested"
    echo "tests: 0 passed, 1 failed"
    exit 1
fi

stage_begin=$(date +%s)
# Sets took to the seconds since the last call, in parentheses.
lap() {
    local now
    now=$(date +%s)
    took="($((now - stage_begin)) s)"
    stage_begin=$now
}

mkdir -p build
# Both configurations at once: each has a serial part (configuring, linking).
make -j2 host win32 >build/build.log 2>&1 || { tail -40 build/build.log; echo "tests: 0 passed, 1 failed"; exit 1; }
lap
echo "build: $took"

passed=0
failed=0
# Adds the counts of a stage's closing line ("... N passed, N failed" or
# GoogleTest's summary, or unittest's "Ran N tests"); a stage without one
# counts as one failure.
count() {
    local log=$1 rc=$2 p f
    p=$(grep -oE '^\[  PASSED  \] [0-9]+' "$log" | grep -oE '[0-9]+$' | tail -1)
    f=$(grep -oE '^ *[0-9]+ FAILED TESTS?' "$log" | grep -oE '[0-9]+' | tail -1)
    if [ -z "$p$f" ]; then
        p=$(grep -oE '[0-9]+ passed, [0-9]+ failed' "$log" | tail -1 | cut -d' ' -f1)
        f=$(grep -oE '[0-9]+ passed, [0-9]+ failed' "$log" | tail -1 | cut -d' ' -f3)
    fi
    if [ -z "$p$f" ] && grep -qE '^Ran [0-9]+ tests?' "$log"; then
        p=$(grep -oE '^Ran [0-9]+' "$log" | grep -oE '[0-9]+' | tail -1)
        f=$(grep -E '^FAILED \(' "$log" | grep -oE '(failures|errors)=[0-9]+' | cut -d= -f2 | awk '{ s += $1 } END { print s + 0 }')
        p=$((p - f))
    fi
    p=${p:-0}
    f=${f:-0}
    # A stage that failed, or that ran nothing at all (Wine can fail to load
    # a program and still exit 0), counts as failed.
    if [ "$f" -eq 0 ] && { [ "$rc" -ne 0 ] || [ $((p + f)) -eq 0 ]; }; then
        f=1
        rc=1
    fi
    passed=$((passed + p))
    failed=$((failed + f))
    lap
    echo "$3: $p passed, $f failed $took"
    [ "$rc" -eq 0 ] || tail -60 "$log"
}

mkdir -p build/logs
for t in unit_tests contract_tests_fake; do
    build/host/$t >build/logs/$t.log 2>&1
    count build/logs/$t.log $? "$t (host)"
done

# The setup logic under the fuzzer for a short while, from its corpus.
bash tools/fuzz.sh 25 >build/logs/fuzz.log 2>&1
count build/logs/fuzz.log $? "fuzz (25 s, host)"

# The contract tests against the real Windows API, on a throwaway copy of
# the bench's template prefix (made here when there is none: the bench
# needs it next), started as the bench starts every Wine program.
/usr/bin/python3 bench/harness.py build/win32/contract_tests.exe >build/logs/contract_tests_wine.log 2>&1
rc=$?
count build/logs/contract_tests_wine.log $rc "contract_tests ($under)"

/usr/bin/python3 tests/product/check_product.py build/win32/Setup.exe tests/product/imports.allow >build/logs/product.log 2>&1
count build/logs/product.log $? "product check"
grep -E '^size' build/logs/product.log
for t in tests/product/test_check_product.py tests/medium/test_medium.py tests/tools/test_machine_state.py; do
    [ -f "$t" ] || continue
    log=build/logs/$(basename "$t" .py).log
    /usr/bin/python3 "$t" >"$log" 2>&1
    count "$log" $? "$(basename "$t" .py)"
done

# The README's run command as a newcomer meets it: no display, an output
# folder of its own that no stage prepared.
/usr/bin/python3 tests/run_command/test_run_command.py build/run-command >build/logs/run_command.log 2>&1
count build/logs/run_command.log $? "run command ($under)"

# The bench's own checks fail where they must, or a PASS below means nothing.
bash bench/run.sh -q --selftest >build/logs/bench_selftest.log 2>&1
count build/logs/bench_selftest.log $? "bench self-test ($under)"

bash bench/run.sh -q >build/logs/bench.log 2>&1
rc=$?
grep -E '^(PASS|FAIL|RETRY) ' build/logs/bench.log
grep -E '^bench: ' build/logs/bench.log | grep -v -E 'passed, [0-9]+ failed'
count build/logs/bench.log $rc "bench ($under, end to end)"

echo "tests: $passed passed, $failed failed"
[ $failed -eq 0 ]
