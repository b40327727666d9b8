#!/usr/bin/env bash
# Builds Zenara with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test, then builds and checks the Debian package (scripts/package.sh;
# ZENARA_PACKAGE=0 leaves it out). Extra arguments go to ctest, e.g.
# scripts/run-tests.sh -L unit; ZENARA_FUZZ_SECONDS=N also runs each fuzz
# target for N seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-tests -DCMAKE_BUILD_TYPE=Debug -DZENARA_SANITIZE=ON >/dev/null
cmake --build build-tests -j"$(nproc)"
(cd build-tests && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" "$@")
if [ "${ZENARA_PACKAGE:-1}" != 0 ]; then
    scripts/package.sh
fi
# Fuzzing builds everything again with clang: on request, not in every run
# (ZENARA_FUZZ_SECONDS=20 for 20 s a target).
fuzz_seconds=${ZENARA_FUZZ_SECONDS:-0}
if [ "$fuzz_seconds" -gt 0 ]; then
    scripts/fuzz.sh "$fuzz_seconds"
fi
