#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the whole suite with the default
# preset, the whole suite again under AddressSanitizer and UBSan (errors fatal, leaks inside
# Qt's and Mesa's own libraries suppressed by tests/sanitizers/lsan.supp), then each fuzz
# target for a bounded time. Dialog and view tests need an X display; without one they run
# inside Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

# -noreset: by default Xvfb resets when its last client leaves, and a test that connects during
# the reset is refused; with tests running in parallel that happens now and then.
with_display() {
    if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"; fi
}

# Each suite runs while the next build compiles beside it (tests wait on the display and the
# disk as much as on the processors). A build's output goes to build/PRESET.log and is shown
# when it fails.
build_in_background() {
    local preset=$1
    shift
    mkdir -p build
    (cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$jobs" "$@") \
        >"build/$preset.log" 2>&1 &
    background_build=$!
}
finish_background_build() {
    local preset=$1 status=0
    wait "$background_build" || status=$?
    if [ "$status" -ne 0 ]; then
        tail -60 "build/$preset.log"
        echo "the $preset build failed (build/$preset.log)"
        exit "$status"
    fi
}

cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
build_in_background asan
status=0
with_display ctest --preset default -j "$jobs" --timeout 600 || status=$?
finish_background_build asan
[ "$status" -eq 0 ] || exit "$status"

fuzzing=false
if command -v clang++ >/dev/null; then
    fuzzing=true
    build_in_background fuzz --target halvorn_fuzz_targets
fi
# The recorded pictures are compared byte for byte once, by the default build: under the
# sanitizers the same programs only take longer to draw the same bytes.
with_display ctest --preset asan -j "$jobs" --timeout 900 -E '^sample_outputs_as_recorded$' ||
    status=$?
if "$fuzzing"; then
    finish_background_build fuzz
fi
[ "$status" -eq 0 ] || exit "$status"

# Fuzzing: each libFuzzer target runs for a bounded time from its seed corpus (copied, so the
# repository's corpus is not changed), one per processor at once (at most four). A crash fails
# the run and leaves the input in build/fuzz.
fuzz_one() {
    local target=$1 name=${1##*/fuzz_} work status=0
    work=$(mktemp -d)
    cp tests/fuzz/corpus/"$name"/* "$work"/ 2>/dev/null || true
    (cd build/fuzz && "../../$target" -max_total_time="${HALVORN_FUZZ_SECONDS:-15}" \
        -max_len=4096 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 "$work" \
        >"fuzz-$name.log" 2>&1) || status=$?
    rm -rf "$work"
    return "$status"
}
if "$fuzzing"; then
    targets=(build/fuzz/tests/fuzz/fuzz_*)
    failed=()
    at_once=$((jobs < 4 ? jobs : 4)) # each may take up to 2 GiB
    for ((i = 0; i < ${#targets[@]}; i += at_once)); do
        pids=()
        for target in "${targets[@]:i:at_once}"; do
            echo "fuzzing ${target##*/fuzz_} for ${HALVORN_FUZZ_SECONDS:-15} s"
            fuzz_one "$target" &
            pids+=("$!")
        done
        for k in "${!pids[@]}"; do
            wait "${pids[$k]}" || failed+=("${targets[$((i + k))]}")
        done
    done
    for target in "${targets[@]}"; do
        name=${target##*/fuzz_}
        echo "$name: $(grep -E '^(stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)' \
            "build/fuzz/fuzz-$name.log" | tr '\n' ' ')"
    done
    for target in "${failed[@]}"; do
        name=${target##*/fuzz_}
        tail -40 "build/fuzz/fuzz-$name.log"
        echo "fuzz target $name failed; the crash input is in build/fuzz"
    done
    [ "${#failed[@]}" -eq 0 ] || exit 1
fi
