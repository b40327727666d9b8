#!/usr/bin/env bash
# Builds Zenara with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test, then each fuzz target for a short while; meanwhile it builds and
# checks the Debian package (scripts/package.sh). Extra arguments go to
# ctest, e.g. scripts/run-tests.sh -L unit; ZENARA_FUZZ_SECONDS=0 leaves the
# fuzzing out (default 5 s a target), ZENARA_PACKAGE=0 the package.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build-tests -DCMAKE_BUILD_TYPE=Debug -DZENARA_SANITIZE=ON >/dev/null
cmake --build build-tests -j"$(nproc)"
# The package builds meanwhile at the lowest priority, on what the tests leave
# of the processors (many of them wait on a program or a timer).
package=""
if [ "${ZENARA_PACKAGE:-1}" != 0 ]; then
    nice -n 19 scripts/package.sh >build-tests/package.log 2>&1 &
    package=$!
    trap '[ -n "$package" ] && kill "$package" 2>/dev/null || true' EXIT
fi
(cd build-tests && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" "$@")
fuzz_seconds=${ZENARA_FUZZ_SECONDS:-5}
if [ "$fuzz_seconds" -gt 0 ]; then
    scripts/fuzz.sh "$fuzz_seconds"
fi
if [ -n "$package" ]; then
    if ! wait "$package"; then
        cat build-tests/package.log
        echo "The Debian package failed (above)." >&2
        exit 1
    fi
    package=""
    tail -2 build-tests/package.log
fi
