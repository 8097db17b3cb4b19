#!/usr/bin/env bash
# Decoding PCX (8- and 24-bit, run-length encoded) and Photoshop (RGB, raw
# and PackBits) at 1600 x 1200, and a Photo CD base picture (768 x 512),
# against ImageMagick on the same files in the same run, both
# single-threaded, best of RUNS. Corvalin is timed in-process from the
# file's bytes; ImageMagick's time is "convert FILE null:" minus its
# start-up (the same command on a 1x1 picture).
# Usage: bench/readers-bench.sh [RUNS]   (default 5)
set -euo pipefail
runs=${1:-5}
cd "$(dirname "$0")/.."
. bench/common.sh
build_bench bench_readers
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

convert=/usr/bin/convert
$convert -size 1600x1200 -seed 7 plasma:fractal -depth 8 "$out/in.png"
$convert "$out/in.png" -colors 256 -type Palette "$out/pcx8.pcx"
$convert "$out/in.png" -type TrueColor "$out/pcx24.pcx"
$convert "$out/in.png" -type TrueColor -compress None "$out/rgb-raw.psd"
$convert "$out/in.png" -type TrueColor -compress RLE "$out/rgb-packbits.psd"
$convert "$out/in.png" -resize 768x512! "$out/base.pcd"
$convert -size 1x1 xc:white "$out/one.ppm"

files=(pcx8.pcx pcx24.pcx rgb-raw.psd rgb-packbits.psd base.pcd)
declare -A corvalin
while read -r file ms; do corvalin[$(basename "$file")]=$ms; done \
  < <(./build-bench/bench/bench_readers "$runs" "${files[@]/#/$out/}")
start=$(best "$runs" $convert "$out/one.ppm" null:)

echo "decoding, best of $runs runs, single-threaded (ImageMagick minus $(printf %.1f "$(echo "$start*1000" | bc -l)") ms start-up)"
printf '%-18s %10s %12s %8s\n' "file" "corvalin" "imagemagick" "ratio"
for f in "${files[@]}"; do
  m=$(echo "($(best "$runs" $convert "$out/$f" null:) - $start) * 1000" | bc -l)
  c=${corvalin[$f]}
  printf '%-18s %8.1f ms %9.1f ms %7.1fx\n' "$f" "$c" "$m" "$(echo "$m / $c" | bc -l)"
done
echo "ratio = ImageMagick's time / Corvalin's (goal: at least 1.5)"
