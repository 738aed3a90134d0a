#!/bin/bash
# Runs every test of Setup and ends with one line "tests: N passed, N failed":
#   1. the unit tests of the setup logic and the contract tests on the fake,
#      under AddressSanitizer and UndefinedBehaviorSanitizer (Linux)
#   2. the contract tests on the Win32 implementation, under Wine
#   3. the static check of the product build/win32/Setup.exe
#   4. the bench's self-test, then the end-to-end scenarios of the real
#      Setup.exe under Wine
# Under Wine runs the 32-bit build: the product itself, in a 32-bit prefix.
# On a machine that cannot execute 32-bit programs it says so and runs the
# x86_64 build of the same sources instead.
set -u
cd "$(dirname "$0")/.."
root=$(pwd)

bash tools/install-deps.sh || { echo "test: could not install what the tests need"; exit 1; }
# shellcheck source=bench/lib.sh
arch=$(source bench/lib.sh && echo "$BENCH_ARCH")
export BENCH_ARCH=$arch
if [ "$arch" = win32 ]; then
    under="Wine, 32-bit product"
else
    echo "test: this machine cannot execute 32-bit programs (Wine's 32-bit half does not start), so the Wine tests run the x86_64 build, not the product"
    under="Wine, x86_64 build, not the product"
fi
mkdir -p build
make host win32 $arch >build/build.log 2>&1 || { tail -40 build/build.log; echo "tests: 0 passed, 1 failed"; exit 1; }

passed=0
failed=0
# Adds the counts of a stage's closing line ("... N passed, N failed" or
# GoogleTest's summary); a stage without one counts as one failure.
count() {
    local log=$1 rc=$2 p f
    p=$(grep -oE '^\[  PASSED  \] [0-9]+' "$log" | grep -oE '[0-9]+$' | tail -1)
    f=$(grep -oE '^ *[0-9]+ FAILED TESTS?' "$log" | grep -oE '[0-9]+' | tail -1)
    if [ -z "$p$f" ]; then
        p=$(grep -oE '[0-9]+ passed, [0-9]+ failed' "$log" | tail -1 | cut -d' ' -f1)
        f=$(grep -oE '[0-9]+ passed, [0-9]+ failed' "$log" | tail -1 | cut -d' ' -f3)
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
    echo "$3: $p passed, $f failed"
    [ "$rc" -eq 0 ] || tail -60 "$log"
}

mkdir -p build/logs
for t in unit_tests contract_tests_fake; do
    build/host/$t >build/logs/$t.log 2>&1
    count build/logs/$t.log $? "$t (host)"
done

# The contract tests against the real Windows API, on a throwaway prefix.
prefix=$root/build/contract-prefix
rm -rf "$prefix"
(
    # The bench's way of running a Wine program: started again when Wine
    # fails to start it at all.
    # shellcheck source=bench/lib.sh
    source bench/lib.sh
    export WINEPREFIX=$prefix
    _bench_wine 300 wineboot -i >/dev/null 2>&1
    _bench_wine 600 "$BENCH_BUILD/contract_tests.exe" >build/logs/contract_tests_wine.log 2>&1
    rc=$?
    "$BENCH_WINESERVER" -k 2>/dev/null
    "$BENCH_WINESERVER" -w 2>/dev/null
    exit $rc
)
rc=$?
rm -rf "$prefix"
count build/logs/contract_tests_wine.log $rc "contract_tests ($under)"

/usr/bin/python3 tests/product/check_product.py build/win32/Setup.exe tests/product/imports.allow >build/logs/product.log 2>&1
count build/logs/product.log $? "product check"
grep -E '^size' build/logs/product.log
/usr/bin/python3 tests/product/test_check_product.py >build/logs/product_selftest.log 2>&1
rc=$?
n=$(grep -oE '^Ran [0-9]+' build/logs/product_selftest.log | grep -oE '[0-9]+')
[ $rc -eq 0 ] && echo "${n:-0} passed, 0 failed" >>build/logs/product_selftest.log
count build/logs/product_selftest.log $rc "product check self-test"

# The bench's own checks fail where they must, or a PASS below means nothing.
bash bench/run.sh -q --selftest >build/logs/bench_selftest.log 2>&1
count build/logs/bench_selftest.log $? "bench self-test"

bash bench/run.sh -q >build/logs/bench.log 2>&1
rc=$?
grep -E '^(PASS|FAIL) ' build/logs/bench.log
count build/logs/bench.log $rc "bench ($under, end to end)"

echo "tests: $passed passed, $failed failed"
[ $failed -eq 0 ]
