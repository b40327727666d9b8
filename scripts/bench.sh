#!/usr/bin/env bash
# Builds Zenara optimised (build-bench/) and prints every benchmark figure next to its
# goal. Arguments go to the benchmark: --idle-seconds N, --starts N, --screen.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENARA_BUILD_TESTS=ON >/dev/null
cmake --build build-bench -j"$(nproc)" --target bench_zenara
build-bench/tests/bench_zenara "$@"
