#!/usr/bin/env bash
# Installs what is missing, builds, and runs Halvorn on the bundled sample.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
sample=build/default/samples/sample.txt
build/default/tools/halvorn-batch info "$sample"
