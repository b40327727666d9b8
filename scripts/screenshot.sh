#!/usr/bin/env bash
# Takes a screenshot of Zenara on the simulated receiver under Xvfb: tuned to
# 11977 MHz H 27500 kS/s on the satellite the dish faces at start, two seconds
# after the tune (or SECONDS). Usage: scripts/screenshot.sh [OUTPUT.png [SECONDS]]
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-zenara.png}")"
wait_seconds="${2:-2}"
scripts/install-deps.sh
if ! command -v import >/dev/null 2>&1; then
    sudo=(); [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq imagemagick
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENARA_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/config/Tavarin" "$tmp/runtime"
chmod 700 "$tmp/runtime"
# The transponder to tune at start, as if it had been set in an earlier run.
printf '[Settings]\nFreqency=11977\nSymbol-Rate=27500\nPolarization=0\n' \
    > "$tmp/config/Tavarin/zenara.ini"

cd build/run
XDG_CONFIG_HOME="$tmp/config" XDG_RUNTIME_DIR="$tmp/runtime" \
    xvfb-run -a -s "-screen 0 1024x800x24" bash -c "
        ../zenara --trace '$tmp/trace.log' &
        for i in \$(seq 100); do grep -q INIT '$tmp/trace.log' 2>/dev/null && break; sleep 0.1; done
        sleep $wait_seconds
        import -window root '$out'
        kill %1; wait"
echo "Screenshot: $out"
