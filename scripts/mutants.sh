#!/usr/bin/env bash
# Measures the tests: plants each fault of a list (tests/mutants.txt by
# default) in the source, one at a time, rebuilds incrementally, runs the unit
# and end-to-end tests, and reports the faults no test caught.
# Usage: scripts/mutants.sh [LIST] [-- CTEST-ARGS...]
# A build of its own (build-mutants, without sanitizers, so that each round is
# quick); the source is restored after every fault, also when interrupted.
set -euo pipefail
cd "$(dirname "$0")/.."
list="tests/mutants.txt"
if [ $# -gt 0 ] && [ "$1" != "--" ]; then
    list="$1"
    shift
fi
[ "${1:-}" = "--" ] && shift
scripts/install-deps.sh
command -v python3 >/dev/null || { echo "mutants.sh needs python3" >&2; exit 2; }

build=build-mutants
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DZENARA_SANITIZE=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
# Every test must pass before anything is planted, or every fault looks caught.
if ! (cd "$build" && QT_QPA_PLATFORM=offscreen ctest -j"$(nproc)" -E bench --timeout 120 "$@" \
        </dev/null >/dev/null 2>&1); then
    echo "The tests fail without any planted fault; fix that first." >&2
    exit 2
fi

backup=$(mktemp -d)
current=""
restore() {
    if [ -n "$current" ]; then
        cp "$backup/file" "$current"
        current=""
    fi
}
trap 'restore; rm -rf "$backup"' EXIT
trap 'exit 130' INT TERM

# plant FILE FROM TO: replaces the one occurrence of FROM (<NL> a line break).
plant() {
    python3 - "$@" <<'PY'
import sys
path, old, new = sys.argv[1], sys.argv[2].replace("<NL>", "\n"), sys.argv[3].replace("<NL>", "\n")
text = open(path, encoding="utf-8").read()
if text.count(old) != 1:
    sys.exit(f"{path}: the text to replace occurs {text.count(old)} times")
open(path, "w", encoding="utf-8").write(text.replace(old, new))
PY
}

total=0
killed=0
survivors=()
stillborn=()
while IFS=$'\t' read -r file from to why || [ -n "$file" ]; do
    case "$file" in '' | '#'*) continue ;; esac
    total=$((total + 1))
    cp "$file" "$backup/file"
    current="$file"
    if ! plant "$file" "$from" "$to"; then
        restore
        stillborn+=("$file: $why (not applied)")
        continue
    fi
    if ! cmake --build "$build" -j"$(nproc)" </dev/null >/dev/null 2>&1; then
        restore
        stillborn+=("$file: $why (does not build)")
        continue
    fi
    if (cd "$build" && QT_QPA_PLATFORM=offscreen ctest -j"$(nproc)" -E bench --timeout 120 \
            "$@" </dev/null >/dev/null 2>&1); then
        survivors+=("$file: $why")
        echo "SURVIVED  $file: $why"
    else
        killed=$((killed + 1))
        echo "killed    $file: $why"
    fi
    restore
done <"$list"
# The source is as it was: rebuild it, so that build-mutants is usable again.
cmake --build "$build" -j"$(nproc)" >/dev/null

echo
for s in "${stillborn[@]+"${stillborn[@]}"}"; do echo "not counted: $s"; done
counted=$((total - ${#stillborn[@]}))
echo "$killed of $counted planted faults were caught; ${#survivors[@]} survived."
[ ${#survivors[@]} -eq 0 ]
