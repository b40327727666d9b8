#!/usr/bin/env bash
# Builds Zenara with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test. Extra arguments go to ctest, e.g. scripts/run-tests.sh -L unit
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-tests -DCMAKE_BUILD_TYPE=Debug -DZENARA_SANITIZE=ON >/dev/null
cmake --build build-tests -j"$(nproc)"
cd build-tests
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" "$@"
