#!/usr/bin/env bash
# Raster operations on a 4000 x 3000 24-bit picture: Corvalin's times as
# ratios to memcpy, and ImageMagick's time for the same operation beside it
# (single-threaded; ImageMagick's time is the command minus reading alone).
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
build_bench bench_raster
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
./build-bench/bench/bench_raster "$out"

pic=$out/bench-4000x3000.bmp
/usr/bin/convert "$pic" "$out/pic.mpc"
base=$(best 3 /usr/bin/convert "$out/pic.mpc" null:)
echo "ImageMagick (ms, minus reading its own cache: $(printf %.1f "$(echo "$base*1000" | bc -l)") ms)"
for op in "-rotate 90" "-sample 400x300!" "+dither -colors 256"; do
  t=$(best 3 /usr/bin/convert "$out/pic.mpc" $op null:)
  printf '  %-22s %8.1f\n' "$op" "$(echo "($t-$base)*1000" | bc -l)"
done
t=$(best 3 /usr/bin/convert "$out/pic.mpc" "BMP3:$out/w.bmp")
printf '  %-22s %8.1f\n' "BMP write" "$(echo "($t-$base)*1000" | bc -l)"
t=$(best 3 /usr/bin/convert "$pic" null:)
printf '  %-22s %8.1f\n' "BMP read" "$(echo "$t*1000" | bc -l)"
