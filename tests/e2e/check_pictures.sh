#!/usr/bin/env bash
# Checks that both programs still give exactly the recorded outputs for the bundled sample
# (tests/e2e/pictures.sha256):  tests/e2e/check_pictures.sh BUILD [WORK]
# The dialog runs on an X server of its own, so other GUI tests cannot take its keyboard focus.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
work=${2:-$(mktemp -d)}
unset DISPLAY
"$here/pictures.sh" "$build" "$work" sample >/dev/null
if ! diff "$here/pictures.sha256" "$work/SHA256SUMS"; then
    echo "check_pictures: outputs differ from tests/e2e/pictures.sha256 (new ones in $work)" >&2
    exit 1
fi
echo "check_pictures: all $(wc -l <"$work/SHA256SUMS") outputs as recorded"
