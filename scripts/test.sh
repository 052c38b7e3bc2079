#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite with the default
# preset, then the data tests again under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs" --target halvorn_data_tests
ctest --preset asan -j "$jobs" -L data
