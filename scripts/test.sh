#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite with the default
# preset, then the data tests again under AddressSanitizer and UBSan. Dialog and view tests
# need an X display; without one they run inside Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

with_display() {
    if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a -s "-screen 0 1280x1024x24" "$@"; fi
}

cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
with_display ctest --preset default -j "$jobs" --timeout 600

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs" --target halvorn_data_tests
ctest --preset asan -j "$jobs" -L data --timeout 600
