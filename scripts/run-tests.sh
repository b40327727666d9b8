#!/usr/bin/env bash
# Builds Zenara with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test, then each fuzz target for a short while. Extra arguments go to
# ctest, e.g. scripts/run-tests.sh -L unit; ZENARA_FUZZ_SECONDS=0 leaves the
# fuzzing out (default 15 s a target).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-tests -DCMAKE_BUILD_TYPE=Debug -DZENARA_SANITIZE=ON >/dev/null
cmake --build build-tests -j"$(nproc)"
(cd build-tests && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" "$@")
fuzz_seconds=${ZENARA_FUZZ_SECONDS:-15}
if [ "$fuzz_seconds" -gt 0 ]; then
    scripts/fuzz.sh "$fuzz_seconds"
fi
