#!/usr/bin/env bash
# Raster operations on a 4000 x 3000 24-bit picture: Corvalin's times as
# ratios to memcpy, and ImageMagick's time for the same operation beside it
# (single-threaded; ImageMagick's time is the command minus reading alone).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVALIN_BENCH=ON \
  -DCORVALIN_BUILD_GUI=OFF -DCORVALIN_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target bench_raster >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
./build-bench/bench/bench_raster "$out"

export MAGICK_THREAD_LIMIT=1
pic=$out/bench-4000x3000.bmp
/usr/bin/convert "$pic" "$out/pic.mpc"
best() {  # best of three wall-clock seconds of a command
  local b=999
  for _ in 1 2 3; do
    local s e
    s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N)
    b=$(echo "if ($e - $s < $b) $e - $s else $b" | bc -l)
  done
  echo "$b"
}
base=$(best /usr/bin/convert "$out/pic.mpc" null:)
echo "ImageMagick (ms, minus reading its own cache: $(printf %.1f "$(echo "$base*1000" | bc -l)") ms)"
for op in "-rotate 90" "-sample 400x300!" "+dither -colors 256"; do
  t=$(best /usr/bin/convert "$out/pic.mpc" $op null:)
  printf '  %-22s %8.1f\n' "$op" "$(echo "($t-$base)*1000" | bc -l)"
done
t=$(best /usr/bin/convert "$out/pic.mpc" "BMP3:$out/w.bmp")
printf '  %-22s %8.1f\n' "BMP write" "$(echo "($t-$base)*1000" | bc -l)"
t=$(best /usr/bin/convert "$pic" null:)
printf '  %-22s %8.1f\n' "BMP read" "$(echo "$t*1000" | bc -l)"
