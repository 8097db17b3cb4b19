#!/usr/bin/env bash
# TIFF decoding of a 1600 x 1200 RGB picture in six layouts (uncompressed,
# PackBits, LZW, deflate with predictor, JPEG, LZW in 256 x 256 tiles)
# against ImageMagick on the same files in the same run, both
# single-threaded, best of RUNS. Corvalin is timed in-process from the bytes
# in memory to the finished raster; ImageMagick's decode is
# "convert in.tif null:" minus its start-up (the same on a 1x1 picture).
# The uncompressed decode is also compared with a memcpy of the file's size.
# Usage: bench/tiff-bench.sh [RUNS]   (default 5)
set -euo pipefail
runs=${1:-5}
cd "$(dirname "$0")/.."
. bench/common.sh
build_bench bench_tiff
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

convert=/usr/bin/convert
$convert -size 1600x1200 -seed 7 plasma:fractal -type TrueColor -depth 8 -compress None "$out/none.tif"
tiffcp -c packbits "$out/none.tif" "$out/packbits.tif"
tiffcp -c lzw "$out/none.tif" "$out/lzw.tif"
tiffcp -c zip:2 "$out/none.tif" "$out/deflate-pred.tif"
tiffcp -c jpeg -r 16 "$out/none.tif" "$out/jpeg.tif"
tiffcp -t -w 256 -l 256 -c lzw "$out/none.tif" "$out/tiled-lzw.tif"
$convert -size 1x1 xc:white -compress None "$out/one.tif"
names=(none packbits lzw deflate-pred jpeg tiled-lzw)

timings=$(cd "$out" && "$OLDPWD/build-bench/bench/bench_tiff" "$runs" "${names[@]/%/.tif}")
corvalin_ms() { awk -v key="$1" '$1 == key || $1 == key ".tif" {print $2}' <<<"$timings"; }
start=$(best "$runs" $convert "$out/one.tif" null:)

echo "1600x1200 RGB TIFF, best of $runs runs, single-threaded"
printf '%-14s %10s %12s %12s %8s\n' "" "bytes" "corvalin ms" "magick ms" "speedup"
for n in "${names[@]}"; do
  m=$(echo "($(best "$runs" $convert "$out/$n.tif" null:) - $start) * 1000" | bc -l)
  c=$(corvalin_ms "$n")
  printf '%-14s %10d %12.1f %12.1f %8.2f\n' "$n" "$(stat -c %s "$out/$n.tif")" "$c" "$m" "$(echo "$m / $c" | bc -l)"
done
printf 'uncompressed decode / memcpy of its %d bytes: %.2f (%.2f ms; target <= 2)\n' \
  "$(stat -c %s "$out/none.tif")" "$(echo "$(corvalin_ms none) / $(corvalin_ms memcpy)" | bc -l)" "$(corvalin_ms memcpy)"
echo "target: speedup >= 1.5 for every layout"
