#!/usr/bin/env bash
# The canonical batch: COUNT pictures of 1600 x 1200 (24-bit) converted by a
# headless "corvalin /auto=1 /adapt=3 /height=300 /width=400 /copy=1" against
# ImageMagick's "mogrify -resize 400x300" on the same files in the same run,
# both on one thread; Corvalin then again with one worker per available core
# (its default). Prints files per second, the ratios and Corvalin's peak
# resident memory for both runs.
# Usage: bench/batch-benchmark.sh [FORMAT] [COUNT] [TARGET]
#   FORMAT: one of the ten extensions, default bmp (a format whose codec is
#   not built makes every file fail, which the script reports).
#   COUNT: number of pictures, default 48.
#   TARGET: an output format other than the source's, one of bmp gif ico jpg
#   pcd psd pcx (Corvalin's "/format=N", ImageMagick's "-format"); for
#   example "bmp 48 gif" writes GIF files. Default: the source's format.
# SIZE=WxH sets the pictures' size (default 1600x1200); for example
#   SIZE=4000x3000 bench/batch-benchmark.sh tif 8 measures 12-megapixel TIFF files.
# JPEG photographs: PHOTOS=DIR bench/batch-benchmark.sh jpg [COUNT] takes the
#   first COUNT JPEG files of DIR (the A/ folder of 12-megapixel or the B/
#   folder of 2-megapixel photographs that make-photo-corpus.sh makes) and runs
#   "/adapt=3 /height=300 /quality=85" against "mogrify -resize x300 -quality 85"
#   and "vipsthumbnail --size x300" (quality 85), all on one thread, and
#   vipsthumbnail once more with its default threads.
set -euo pipefail
format=${1:-bmp}
count=${2:-48}
target=${3:-}
photos=${PHOTOS:-}
[ -z "$photos" ] || [ "$format" = jpg ] || { echo "PHOTOS needs the format jpg" >&2; exit 2; }
target_switch=() magick_target=()
if [ -n "$target" ]; then
  entries=(- bmp gif ico jpg pcd psd pcx)  # "/format" entries 2..8; 1 keeps the format
  for i in "${!entries[@]}"; do [ "${entries[$i]}" = "$target" ] && target_switch=("/format=$((i + 1))"); done
  [ ${#target_switch[@]} -eq 1 ] || { echo "TARGET must be one of: ${entries[*]:1}" >&2; exit 2; }
  magick_target=(-format "$target")
fi
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVALIN_BENCH=ON \
  -DCORVALIN_BUILD_GUI=OFF -DCORVALIN_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench -j2 --target corvalin >/dev/null
program=$PWD/build-bench/corvalin

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/source" "$work/corvalin" "$work/magick" "$work/config/Corvalin"
cores=$(nproc)

# One photograph-like picture in the format, copied under COUNT names.
case $format in
  bmp|ico|pcd|psd|pcx) encode=(-type TrueColor "BMP3:$work/base.$format") ;;
  jpg) encode=(-quality 90 "$work/base.jpg") ;;
  png) encode=(-strip -define png:color-type=2 "$work/base.png") ;;  # 24-bit RGB in, PNG out
  *) encode=("$work/base.$format") ;;
esac
if [ -n "$photos" ]; then
  mapfile -t chosen < <(ls "$photos"/*.jpg | head -n "$count")
  count=${#chosen[@]}
  cp "${chosen[@]}" "$work/source/"
  cp "${chosen[@]}" "$work/corvalin/"
  read -r width height < <(/usr/bin/identify -format '%w %h\n' "${chosen[0]}")
  size_switches=(/adapt=3 /height=300 /quality=85)
  magick_size=(-resize x300 -quality 85)
else
  size=${SIZE:-1600x1200}
  /usr/bin/convert -size "$size" -seed 7 plasma:fractal -depth 8 "${encode[@]}"
  for i in $(seq -w 1 "$count"); do
    cp "$work/base.$format" "$work/source/bild$i.$format"
    cp "$work/base.$format" "$work/corvalin/bild$i.$format"
  done
  width=${size%x*} height=${size#*x}
  size_switches=(/adapt=3 /height=300 /width=400)
  magick_size=(-resize 400x300)
fi

# Only the benchmark's file type is searched; everything else from the switches.
{
  echo "[Corvalin]"
  for ext in bmp gif ico jpg pcd psd pcx png tif wmf; do
    [ "$ext" = "$format" ] && echo "$ext=1" || echo "$ext=0"
  done
} > "$work/config/Corvalin/Corvalin.conf"

now() { date +%s.%N; }

# One Corvalin run with the given "/threads=" switch (none: one worker per
# core); its copies are removed afterwards so that the next run finds only
# the sources. Sets run_s, run_status and run_rss_kb.
run_corvalin() {
  local start
  start=$(now)
  run_status=0
  env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work/config" \
    /usr/bin/time -v -o "$work/time.txt" \
    "$program" /auto=1 "/dir=$work/corvalin" /recursiv=0 "${size_switches[@]}" /copy=1 \
    "${target_switch[@]}" "$@" > "$work/result.txt" 2> "$work/errors.txt" || run_status=$?
  run_s=$(echo "$(now) - $start" | bc -l)
  run_rss_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
}

run_corvalin /threads=1
status=$run_status corvalin_s=$run_s rss_kb=$run_rss_kb
written=$(ls "$work/corvalin" | grep -c '^Neu_' || true)
rm -f "$work"/corvalin/Neu_*
run_corvalin
[ "$run_status" -eq "$status" ] || echo "corvalin with $cores workers ended with status $run_status"
all_s=$run_s all_rss_kb=$run_rss_kb

start=$(now)
MAGICK_THREAD_LIMIT=1 mogrify -path "$work/magick" "${magick_target[@]}" "${magick_size[@]}" "$work"/source/*."$format"
magick_s=$(echo "$(now) - $start" | bc -l)

vips_s=
if [ -n "$photos" ] && command -v vipsthumbnail >/dev/null; then
  mkdir -p "$work/vips"
  start=$(now)
  VIPS_CONCURRENCY=1 vipsthumbnail --size x300 -o "$work/vips/%s.jpg[Q=85]" "$work"/source/*.jpg
  vips_s=$(echo "$(now) - $start" | bc -l)
  rm -f "$work"/vips/*
  start=$(now)
  vipsthumbnail --size x300 -o "$work/vips/%s.jpg[Q=85]" "$work"/source/*.jpg
  vips_all_s=$(echo "$(now) - $start" | bc -l)
fi

# Two pictures of one conversion: the source and the result 300 pixels high;
# with several workers that many per file in flight (workers + 1).
pair_kb=$(( (width * height * 3 + (300 * width / height) * 300 * 3) / 1024 ))
limit_kb=$(( pair_kb + 30 * 1024 ))
all_limit_kb=$(( (cores + 1) * pair_kb + 30 * 1024 ))

echo "format: $format${target:+ -> $target}, pictures: $count (${width}x$height), written by corvalin: $written, exit status $status"
[ "$status" -eq 0 ] || { echo "corvalin reported failures:"; head -5 "$work/errors.txt"; }
tail -3 "$work/result.txt"
printf 'corvalin:    %6.2f s  %7.2f files/s (1 worker)\n' "$corvalin_s" "$(echo "$count / $corvalin_s" | bc -l)"
printf 'corvalin:    %6.2f s  %7.2f files/s (%d workers, %.2f x 1 worker)\n' "$all_s" \
  "$(echo "$count / $all_s" | bc -l)" "$cores" "$(echo "$corvalin_s / $all_s" | bc -l)"
printf 'imagemagick: %6.2f s  %7.2f files/s\n' "$magick_s" "$(echo "$count / $magick_s" | bc -l)"
printf 'ratio corvalin/imagemagick (files/s): %.2f (target >= 5)\n' "$(echo "$magick_s / $corvalin_s" | bc -l)"
if [ -n "$vips_s" ]; then
  printf 'vipsthumbnail: %6.2f s  %7.2f files/s\n' "$vips_s" "$(echo "$count / $vips_s" | bc -l)"
  printf 'ratio corvalin/vipsthumbnail (files/s): %.2f\n' "$(echo "$vips_s / $corvalin_s" | bc -l)"
  printf 'vipsthumbnail: %6.2f s  %7.2f files/s (default threads)\n' "$vips_all_s" "$(echo "$count / $vips_all_s" | bc -l)"
  printf 'ratio corvalin (%d workers)/vipsthumbnail (default threads): %.2f\n' "$cores" "$(echo "$vips_all_s / $all_s" | bc -l)"
  echo "JPEG targets: >= 8 x imagemagick on 12-megapixel photographs, >= 1.2 x vipsthumbnail on 2-megapixel ones"
fi
printf 'corvalin peak RSS: %d KB (limit %d KB: two pictures + 30 MB)\n' "$rss_kb" "$limit_kb"
printf 'corvalin peak RSS with %d workers: %d KB (limit %d KB: (workers + 1) x two pictures + 30 MB)\n' \
  "$cores" "$all_rss_kb" "$all_limit_kb"
