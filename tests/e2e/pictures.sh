#!/usr/bin/env bash
# Writes every output both programs give for a fixed set of grids and settings, with a checksum
# list, so that two builds can be compared byte for byte:
#
#   tests/e2e/pictures.sh BUILD OUT [sample|all] [--no-dialog]
#
# BUILD is a build folder (tools/halvorn-batch, app/halvorn, samples/*.txt). OUT receives the
# grids' copies (their intermediate files are written there), the outputs and OUT/SHA256SUMS.
# `sample` (the default) covers the bundled sample; `all` adds the ocean field and a generated
# smooth 1M-point field with missing blocks. The outputs are `halvorn-batch info` (text),
# `classify` (raw colour volumes) and `render` (PNG) for several cameras, modes, steps,
# missing-data choices and axis scales, and the dialog's "Save Image..." for some of the same
# settings (driven with xdotool on an X display; started with Xvfb when none is set).
#
# Compare two builds:  diff OLD_OUT/SHA256SUMS NEW_OUT/SHA256SUMS
set -euo pipefail

build=$(realpath "$1")
out=$(mkdir -p "$2" && realpath "$2")
set_name=${3:-sample}
dialog=1
[ "${4:-}" = "--no-dialog" ] || [ "${3:-}" = "--no-dialog" ] && dialog=0
[ "$set_name" = "--no-dialog" ] && set_name=sample
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
batch=$build/tools/halvorn-batch
halvorn=$build/app/halvorn

mkdir -p "$out/grids"
rm -f "$out"/*.txt "$out"/*.raw "$out"/*.png "$out/SHA256SUMS"

# name grid curves distance
grids=("sample sample.txt $source_dir/samples/sample_curves.json 140")
cp "$build/samples/sample.txt" "$out/grids/sample.txt"
if [ "$set_name" = all ]; then
    cp "$build/samples/ocean.txt" "$out/grids/ocean.txt"
    grids+=("ocean ocean.txt $source_dir/samples/ocean_curves.json 200")
    if [ ! -s "$out/grids/field1m.txt" ]; then
        python3 "$here/make_field.py" 128 128 64 >"$out/grids/field1m.txt"
    fi
    grids+=("field1m field1m.txt $source_dir/samples/sample_curves.json 300")
fi

run_batch() { # output-name command args...
    local name=$1
    shift
    if ! "$batch" "$@" >"$out/$name.log" 2>&1; then
        echo "pictures: halvorn-batch $* failed:" >&2
        cat "$out/$name.log" >&2
        exit 1
    fi
}

for entry in "${grids[@]}"; do
    read -r name grid curves d <<<"$entry"
    g=$out/grids/$grid
    c=(--curves "$curves")
    run_batch "$name-info" info "$g"
    mv "$out/$name-info.log" "$out/$name-info.txt"
    run_batch "$name-classify" classify "$g" "${c[@]}" --output "$out/$name-classify.raw"
    run_batch "$name-classify-faint" classify "$g" "${c[@]}" --missing faint \
        --output "$out/$name-classify-faint.raw"
    run_batch "$name-classify-hidden" classify "$g" "${c[@]}" --missing hidden \
        --output "$out/$name-classify-hidden.raw"
    run_batch "$name-classify-range" classify "$g" "${c[@]}" --low 12.5 --range 40 \
        --output "$out/$name-classify-range.raw"
    run_batch "$name-render-turned" render "$g" "${c[@]}" --distance "$d" --tilt -0.5 \
        --turn 0.6 --output "$out/$name-render-turned.png"
    run_batch "$name-render-stretched" render "$g" "${c[@]}" --distance "$d" --tilt 1.2 \
        --turn 0.6 --missing hidden --axis-scale 1,1,4 --output "$out/$name-render-stretched.png"
    run_batch "$name-render-quads" render "$g" "${c[@]}" --mode 0 --step 2 \
        --distance "$((d * 3 / 4))" --tilt 0.3 --turn -1.0 --output "$out/$name-render-quads.png"
    run_batch "$name-render-immediate" render "$g" "${c[@]}" --immediate --size 300x200 \
        --distance "$d" --tilt -0.5 --turn 0.6 --output "$out/$name-render-immediate.png"
    run_batch "$name-render-default" render "$g" "${c[@]}" --step 3 --missing faint \
        --output "$out/$name-render-default.png"
    run_batch "$name-render-skewed" render "$g" "${c[@]}" --axis-scale 2,0.5,1 --tilt 2.5 \
        --turn 3.0 --distance "$d" --low 20 --range 60 --output "$out/$name-render-skewed.png"
done
rm -f "$out"/*.log

# The dialog: started with the same settings, its "Save Image..." (Ctrl+S) answered with a path
# in the file dialog; the start-up message box is closed with Enter.
if [ "$dialog" = 1 ]; then
    command -v xdotool >/dev/null || { echo "pictures: xdotool is needed for the dialog" >&2; exit 1; }
    xvfb_pid=
    if [ -z "${DISPLAY:-}" ]; then
        for n in $(seq 91 120); do
            [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || break
        done
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=:$n
        for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
    fi
    # One try: start the program, close its start-up box, save the image; false on a failure.
    dialog_try() { # name grid curves options...
        local name=$1 grid=$2 curves=$3
        shift 3
        local png=$out/$name.png
        rm -f "$png"
        "$halvorn" --curves "$curves" "$@" --apply "$grid" >/dev/null 2>&1 &
        local pid=$!
        local ok=0 win= box=
        # The start-up message box shows before the dialog does: the first visible window of
        # the program. Enter closes it.
        for _ in $(seq 150); do
            box=$(xdotool search --onlyvisible --pid "$pid" --name . 2>/dev/null | head -1) || true
            [ -n "$box" ] && break
            sleep 0.2
        done
        [ -n "$box" ] || { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; return 1; }
        sleep 0.3
        xdotool windowfocus --sync "$box" 2>/dev/null || true
        xdotool key --clearmodifiers Return
        # Ctrl+S is answered once the start-up commands have run: the "Save Image" file dialog
        # opens, and the path is typed into it.
        for _ in $(seq 6); do
            sleep 0.5
            win=$(xdotool search --onlyvisible --pid "$pid" --name '^Halvorn' 2>/dev/null | head -1) || true
            [ -n "$win" ] || continue
            xdotool windowfocus --sync "$win" 2>/dev/null || true
            xdotool key --clearmodifiers ctrl+s
            local asked=0
            for _ in $(seq 150); do
                sleep 0.2
                if xdotool search --onlyvisible --name '^Save Image$' >/dev/null 2>&1; then
                    asked=1
                    break
                fi
            done
            [ "$asked" = 1 ] || continue
            sleep 0.5
            xdotool key --clearmodifiers ctrl+a
            xdotool type --delay 20 "$png"
            sleep 0.3
            xdotool key Return
            for _ in $(seq 100); do [ -s "$png" ] && break; sleep 0.2; done
            [ -s "$png" ] && { ok=1; break; }
            # The path did not arrive whole: close whatever file dialog is open and ask again.
            xdotool search --onlyvisible --name '^Save Image$' >/dev/null 2>&1 &&
                xdotool key --clearmodifiers Escape
        done
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        [ "$ok" = 1 ]
    }
    # A key that reaches X while the program is busy can be lost: then the whole try again.
    dialog_image() {
        for _ in 1 2 3; do
            dialog_try "$@" && return 0
        done
        echo "pictures: the dialog did not save $1" >&2
        exit 1
    }
    for entry in "${grids[@]}"; do
        read -r name grid curves d <<<"$entry"
        dialog_image "$name-dialog-turned" "$out/grids/$grid" "$curves" \
            --distance "$d" --tilt -0.5 --turn 0.6
        dialog_image "$name-dialog-stretched" "$out/grids/$grid" "$curves" \
            --distance "$d" --tilt 1.0 --turn 0.3 --axis-scale 1,1,3 --low 5 --range 60
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
fi

(cd "$out" && sha256sum -- *.txt *.raw *.png | LC_ALL=C sort -k2 >SHA256SUMS)
echo "pictures: $(wc -l <"$out/SHA256SUMS") outputs in $out/SHA256SUMS"
