#!/usr/bin/env bash
# PNG decoding and encoding of a 1600 x 1200 RGB picture against ImageMagick
# on the same file in the same run, both single-threaded, best of RUNS.
# Corvalin is timed in-process. ImageMagick's decode is "convert in.png null:"
# minus its start-up (the same command on a 1x1 picture); its encode is
# "convert in.ppm out.png" minus reading the raw picture ("convert in.ppm
# null:"), once with its defaults (level 7, adaptive filters) and once with
# "-quality 71" (level 7, filter sub asked for; the file shows what it did).
# Usage: bench/png-bench.sh [RUNS]   (default 5)
set -euo pipefail
runs=${1:-5}
cd "$(dirname "$0")/.."
. bench/common.sh
build_bench bench_png
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

convert=/usr/bin/convert
$convert -size 1600x1200 -seed 7 plasma:fractal -depth 8 -strip -define png:color-type=2 "$out/in.png"
$convert "$out/in.png" "$out/in.ppm"
$convert -size 1x1 xc:white "$out/one.ppm"

ms() { echo "$1 * 1000" | bc -l; }

read -r c_dec c_enc c_size <<<"$(./build-bench/bench/bench_png "$out/in.png" "$out/corvalin.png" "$runs")"
start=$(best "$runs" $convert "$out/one.ppm" null:)
base=$(best "$runs" $convert "$out/in.ppm" null:)
m_dec=$(ms "$(echo "$(best "$runs" $convert "$out/in.png" null:) - $start" | bc -l)")
m_enc=$(ms "$(echo "$(best "$runs" $convert "$out/in.ppm" "$out/magick.png") - $base" | bc -l)")
m_enc7=$(ms "$(echo "$(best "$runs" $convert "$out/in.ppm" -quality 71 "$out/magick-sub.png") - $base" | bc -l)")

pngcheck -q "$out/corvalin.png" >/dev/null || echo "note: Corvalin's file fails pngcheck"
size() { stat -c %s "$1"; }
echo "1600x1200 RGB PNG ($(size "$out/in.png") bytes), best of $runs runs, single-threaded"
printf '%-34s %10s %12s\n' "" "ms" "bytes"
printf '%-34s %10.1f\n' "corvalin decode" "$c_dec"
printf '%-34s %10.1f\n' "imagemagick decode" "$m_dec"
printf '%-34s %10.1f %12d\n' "corvalin encode (sub, level 7)" "$c_enc" "$c_size"
printf '%-34s %10.1f %12d\n' "imagemagick encode (-quality 71)" "$m_enc7" "$(size "$out/magick-sub.png")"
printf '%-34s %10.1f %12d\n' "imagemagick encode (its defaults)" "$m_enc" "$(size "$out/magick.png")"
printf 'ratio corvalin/imagemagick: decode %.2f (target <= 1), encode %.2f (-quality 71), %.2f (defaults)\n' \
  "$(echo "$c_dec / $m_dec" | bc -l)" "$(echo "$c_enc / $m_enc7" | bc -l)" "$(echo "$c_enc / $m_enc" | bc -l)"
