#!/bin/bash
# Fuzzes the setup logic (tests/fuzz/setup_fuzzer.cpp) for SECONDS, 60 unless
# given, with libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer,
# on one core, starting from the corpus tests/fuzz/corpus. Prints the
# executions, executions per second and edges covered, and ends with
# "fuzz: 1 passed, 0 failed"; on a finding it prints the broken promise and the
# machine, leaves the input in build/fuzz/ and ends with "0 passed, 1 failed".
# Inputs that reach new code are kept in build/fuzz/found.
#
#   bash tools/fuzz.sh [SECONDS]
#   bash tools/fuzz.sh --coverage        the lines of setup/ the corpus reaches
#   bash tools/fuzz.sh --update-corpus   tests/fuzz/corpus made anew: the
#                                        seed machines, and of the corpus and
#                                        build/fuzz/found what reaches an
#                                        edge they do not
set -u
cd "$(dirname "$0")/.."
out=build/fuzz
corpus=tests/fuzz/corpus
mkdir -p $out/found

# Builds $1 with the flags that follow, when a source is newer than it.
build() {
    local binary=$1
    shift
    if [ -x "$binary" ] && [ -z "$(find setup platform tests/fake tests/fuzz -newer "$binary" -print -quit)" ]; then
        return 0
    fi
    echo "fuzz: building $binary"
    clang++-14 -std=c++17 -g -O1 -I. "$@" setup/*.cpp tests/fake/FakeSystem.cpp tests/fake/RecordingView.cpp \
        tests/fuzz/setup_fuzzer.cpp -o "$binary"
}
fuzzer=$out/setup_fuzzer
sanitized="-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all"

case "${1:-}" in
--coverage)
    binary=$out/setup_coverage
    build $binary -fsanitize=fuzzer -fprofile-instr-generate -fcoverage-mapping || exit 1
    # One run an input: an input that breaks a promise ends its run before
    # the profile is written, and only its own profile is lost.
    rm -rf $out/profiles
    for input in $corpus/*; do
        LLVM_PROFILE_FILE=$out/profiles/%p.profraw $binary -artifact_prefix=$out/ "$input" >/dev/null 2>&1 ||
            echo "fuzz: $input breaks a promise; its lines are not counted"
    done
    llvm-profdata-14 merge -o $out/coverage.profdata $out/profiles/*.profraw || exit 1
    llvm-cov-14 report $binary -instr-profile=$out/coverage.profdata setup/*.cpp
    echo "lines of setup/ not reached:"
    llvm-cov-14 show $binary -instr-profile=$out/coverage.profdata setup/*.cpp |
        awk -F'|' '/^\/.*:$/ { file = $0 } $2 ~ /^ *0$/ { print file " " $1 ":" $3 }' | sed 's|^.*/setup/|setup/|'
    exit 0
    ;;
--update-corpus)
    # The seeds stay whole; of the rest only what reaches an edge they do not.
    build $fuzzer $sanitized || exit 1
    merged=$(mktemp -d)
    SETUP_FUZZ_SEEDS=$merged $fuzzer || exit 1
    mkdir -p $corpus
    $fuzzer -merge=1 -use_counters=0 $merged $corpus $out/found 2>&1 |
        grep -E '^MERGE-OUTER: [0-9]+ new files' || exit 1
    rm -rf $corpus
    mv "$merged" $corpus
    chmod 755 $corpus
    echo "fuzz: $(ls $corpus | wc -l) inputs in $corpus"
    exit 0
    ;;
esac

seconds=${1:-60}
build $fuzzer $sanitized >$out/build.log 2>&1 || {
    cat $out/build.log
    echo "fuzz: 0 passed, 1 failed"
    exit 1
}
rm -f $out/crash-* $out/leak-* $out/timeout-* $out/oom-*
$fuzzer -max_total_time="$seconds" -timeout=10 -print_final_stats=1 -artifact_prefix=$out/ \
    $out/found $corpus >$out/fuzz.log 2>&1
rc=$?
grep -E '^stat::number_of_executed_units|^stat::average_exec_per_sec' $out/fuzz.log |
    sed -e 's/^stat::number_of_executed_units: */executions: /' \
        -e 's/^stat::average_exec_per_sec: */executions per second: /'
grep -oE 'cov: [0-9]+' $out/fuzz.log | tail -1 | sed 's/cov:/edges covered:/'
finding=$(ls $out/crash-* $out/leak-* $out/timeout-* $out/oom-* 2>/dev/null | head -1)
if [ $rc -ne 0 ] || [ -n "$finding" ]; then
    grep -E -A60 '^broken:|ERROR: (Address|Leak|libFuzzer)|runtime error' $out/fuzz.log | head -150
    echo "fuzz: the input that made it: ${finding:-(none saved; see $out/fuzz.log)}"
    echo "fuzz: 0 passed, 1 failed"
    exit 1
fi
echo "fuzz: 1 passed, 0 failed"
