#!/usr/bin/env bash
# Wall time, CPU time and peak memory of `halvorn-batch info` on one grid, for this build and
# another one run in turn (A B A B ...), with the medians of each. On a busy machine the CPU
# seconds say more than the wall time: with two free cores the wall time is at least half of
# them. Also checks that both builds print the same statistics and write the same bytes.
#   bench/import_cpu.sh GRID.txt OTHER/halvorn-batch [RUNS]
set -euo pipefail
grid=$1
other=$2
runs=${3:-9}
own=${HALVORN_BATCH:-$(dirname "$0")/../build/default/tools/halvorn-batch}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

measure() { # label binary
    /usr/bin/time -f "%e %U %S %M" -a -o "$work/$1.times" \
        "$2" info "$grid" --intermediate "$work/$1.dat" >"$work/$1.out"
}
measure own "$own" # warms the page cache with the text
measure other "$other"
: >"$work/own.times"
: >"$work/other.times"
for _ in $(seq "$runs"); do
    measure own "$own"
    measure other "$other"
done

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
bytes=$(stat -c %s "$grid")
for label in own other; do
    t=$work/$label.times
    wall=$(awk '{print $1}' "$t" | median)
    cpu=$(awk '{print $2 + $3}' "$t" | median)
    peak=$(awk '{print $4 / 1024}' "$t" | median)
    awk -v l="$label" -v w="$wall" -v c="$cpu" -v p="$peak" -v b="$bytes" -v n="$runs" 'BEGIN {
        printf "%-5s median of %d: wall %.3f s (%.0f MB/s), cpu %.3f s, peak %.1f MiB\n",
               l, n, w, b / 1e6 / w, c, p }'
done
if cmp -s "$work/own.dat" "$work/other.dat" && cmp -s "$work/own.out" "$work/other.out"; then
    echo "statistics and intermediate file bytes identical"
else
    echo "the builds DIFFER in their statistics or intermediate file"
    exit 1
fi
