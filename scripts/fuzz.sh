#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one on its seed corpus and
# dictionary for a bounded time.
#   scripts/fuzz.sh                 every target for 20 s (what the tests run)
#   scripts/fuzz.sh 600 remote      one target for ten minutes
# Inputs that crash are kept in build-fuzz/findings/; new interesting inputs in
# build-fuzz/corpus/ (copy the useful ones into tests/fuzz/corpus/).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
seconds=${1:-20}
shift || true
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENARA_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_all

if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for source in tests/fuzz/fuzz_*.cpp; do
        name=$(basename "$source" .cpp)
        targets+=("${name#fuzz_}")
    done
fi

mkdir -p build-fuzz/findings build-fuzz/logs
run_one() {
    local name=$1 seconds=$2
    local corpus=build-fuzz/corpus/$name
    mkdir -p "$corpus"
    local corpora=("$corpus" tests/fuzz/corpus/"$name")
    # Inputs that once found a fault are run first, every time.
    [ -d tests/fuzz/regressions/"$name" ] && corpora+=(tests/fuzz/regressions/"$name")
    # Full stacks only where a leak suppression has to match one (slower).
    local unwind=1
    [ "$name" = remote ] || [ "$name" = tables ] && unwind=0
    if QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=fast_unwind_on_malloc=$unwind \
        LSAN_OPTIONS=suppressions=tests/fuzz/lsan.supp:print_suppressions=0 \
        build-fuzz/tests/fuzz/fuzz_"$name" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -dict=tests/fuzz/dict/"$name".dict -artifact_prefix=build-fuzz/findings/"$name"- \
        "${corpora[@]}" >build-fuzz/logs/"$name".log 2>&1; then
        echo "fuzz $name: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' build-fuzz/logs/"$name".log | grep -o '[0-9]*$') inputs in ${seconds} s, nothing found"
    else
        echo "fuzz $name: FOUND A FAULT; see build-fuzz/logs/$name.log and build-fuzz/findings/"
        tail -40 build-fuzz/logs/"$name".log
        return 1
    fi
}
export -f run_one
printf '%s\n' "${targets[@]}" | xargs -P "$(nproc)" -I{} bash -c 'run_one "$1" "$2"' _ {} "$seconds"
