#!/usr/bin/env bash
# Builds Zenara and starts it on the simulated receiver. Extra arguments go to
# the program, e.g. scripts/run-sim.sh --trace /tmp/card.log
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENARA_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
cd build/run
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: running under Xvfb (nothing will be visible)." >&2
    exec xvfb-run -a ../zenara --receiver sim "$@"
fi
exec ../zenara --receiver sim "$@"
