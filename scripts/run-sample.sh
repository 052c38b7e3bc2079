#!/usr/bin/env bash
# Installs what is missing, builds, and opens Halvorn on the bundled sample with its curves
# loaded. Without a display it draws the sample to sample.png instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default
sample=build/default/samples/sample.txt
curves=samples/sample_curves.json
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    exec build/default/app/halvorn --curves "$curves" --distance 140 --tilt -0.5 --turn 0.6 \
        --apply "$sample"
fi
build/default/tools/halvorn-batch render "$sample" --curves "$curves" --output sample.png \
    --distance 140 --tilt -0.5 --turn 0.6
echo "No display: drew the sample to sample.png"
