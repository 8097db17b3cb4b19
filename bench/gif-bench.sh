#!/usr/bin/env bash
# GIF decoding and encoding of one 1600 x 1200 file against ImageMagick on
# the same file in the same run, both on one thread. Corvalin's figures are
# the best of seven runs inside one process; ImageMagick's are the best of
# three commands, each reading the file N times so that process start and
# set-up drop out (decode = reading N times / N; encode = reading once and
# writing N times, less one read, / N).
# Usage: bench/gif-bench.sh [FILE.gif]   (default: a 256-colour plasma picture)
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
build_bench bench_gif
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

gif=${1:-}
if [ -z "$gif" ]; then
  gif=$out/bench-1600x1200.gif
  /usr/bin/convert -size 1600x1200 -seed 7 plasma:fractal -depth 8 "$gif"
fi

read -r width height ours_decode ours_encode <<<"$(./build-bench/bench/bench_gif "$gif" "$out/corvalin.gif")"

n=10
reads=() writes=()
for _ in $(seq $n); do reads+=("$gif"); writes+=(-write "$out/magick.gif"); done
magick_reads=$(best 3 /usr/bin/convert "${reads[@]}" null:)
magick_one=$(best 3 /usr/bin/convert "$gif" null:)
magick_writes=$(best 3 /usr/bin/convert "$gif" "${writes[@]}" null:)
magick_decode=$(echo "$magick_reads * 1000 / $n" | bc -l)
magick_encode=$(echo "($magick_writes - $magick_one) * 1000 / $n" | bc -l)

echo "file: $gif (${width}x${height}, $(stat -c %s "$gif") bytes); written: corvalin $(stat -c %s "$out/corvalin.gif"), imagemagick $(stat -c %s "$out/magick.gif") bytes"
printf '%-8s %12s %14s %10s\n' "" "corvalin ms" "imagemagick ms" "ratio"
printf '%-8s %12.1f %14.1f %10.2f\n' decode "$ours_decode" "$magick_decode" "$(echo "$ours_decode / $magick_decode" | bc -l)"
printf '%-8s %12.1f %14.1f %10.2f\n' encode "$ours_encode" "$magick_encode" "$(echo "$ours_encode / $magick_encode" | bc -l)"
echo "(ratio = corvalin / imagemagick; below 1 is faster; decode must stay at or below 1)"
