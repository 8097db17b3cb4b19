#!/usr/bin/env bash
# The canonical batch: COUNT pictures of 1600 x 1200 (24-bit) converted by a
# headless "corvalin /auto=1 /adapt=3 /height=300 /width=400 /copy=1" against
# ImageMagick's "mogrify -resize 400x300" on the same files in the same run,
# both on one thread; Corvalin then again with one worker per available core
# (its default). Prints seconds, files per second and peak resident memory
# of every run, and the ratios.
# Usage: bench/batch-benchmark.sh [FORMAT] [COUNT] [TARGET]
#   FORMAT: one of the ten extensions, default bmp (a format whose codec is
#   not built makes every file fail, which the script reports).
#   COUNT: number of pictures, default 48.
#   TARGET: an output format other than the source's, one of bmp gif ico jpg
#   pcd psd pcx (Corvalin's "/format=N", ImageMagick's "-format"); for
#   example "bmp 48 gif" writes GIF files. Default: the source's format.
# SIZE=WxH sets the pictures' size (default 1600x1200); for example
#   SIZE=4000x3000 bench/batch-benchmark.sh tif 8 measures 12-megapixel TIFF files.
# Photographs: PHOTOS=DIR bench/batch-benchmark.sh jpg|png|bmp [COUNT] takes
#   the first COUNT files of that type in DIR (make-photo-corpus.sh makes A/
#   with 12-megapixel and B/ with 2-megapixel JPEG photographs, C/ with PNG
#   and BMP ones of 1600 x 1200) and runs "/adapt=3 /height=300 /quality=85"
#   against "mogrify -resize x300 -quality 85" on one thread and
#   "vipsthumbnail --size x300" (quality 85 for JPEG, PNG out for PNG) with
#   VIPS_CONCURRENCY=1 and with its default threads. The sources are copied;
#   DIR is only read.
# CORVALIN_BIN=PATH measures that program (for example a build of an older
#   commit) instead of building this tree's.
set -euo pipefail
format=${1:-bmp}
count=${2:-48}
target=${3:-}
photos=${PHOTOS:-}
[ -z "$photos" ] || [[ $format =~ ^(jpg|png|bmp)$ ]] || { echo "PHOTOS needs the format jpg, png or bmp" >&2; exit 2; }
target_switch=() magick_target=()
if [ -n "$target" ]; then
  entries=(- bmp gif ico jpg pcd psd pcx)  # "/format" entries 2..8; 1 keeps the format
  for i in "${!entries[@]}"; do [ "${entries[$i]}" = "$target" ] && target_switch=("/format=$((i + 1))"); done
  [ ${#target_switch[@]} -eq 1 ] || { echo "TARGET must be one of: ${entries[*]:1}" >&2; exit 2; }
  magick_target=(-format "$target")
fi
cd "$(dirname "$0")/.."
. bench/common.sh
program=${CORVALIN_BIN:-}
if [ -z "$program" ]; then
  cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVALIN_BENCH=ON \
    -DCORVALIN_BUILD_GUI=OFF -DCORVALIN_BUILD_TESTS=OFF >/dev/null
  cmake --build build-bench -j2 --target corvalin >/dev/null
  program=$PWD/build-bench/corvalin
fi

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
  mapfile -t chosen < <(ls "$photos"/*."$format" | head -n "$count")
  count=${#chosen[@]}
  cp "${chosen[@]}" "$work/source/"
  cp "${chosen[@]}" "$work/corvalin/"
  chmod u+w "$work"/source/* "$work"/corvalin/*
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

# One Corvalin run with the given "/threads=" switch (none: one worker per
# core).
run_corvalin() {
  measure env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work/config" \
    "$program" /auto=1 "/dir=$work/corvalin" /recursiv=0 "${size_switches[@]}" /copy=1 \
    "${target_switch[@]}" "$@"
}

# One line of the table: name, seconds, peak KB and, where measured, CPU seconds.
row() {
  printf '%-32s %7.2f s %8.2f files/s %7d KB' "$1" "$2" "$(echo "$count / $2" | bc -l)" "$3"
  [ -z "${4:-}" ] || printf ' %7.2f s CPU' "$4"
  echo
}
missing_row() { printf '%-32s %9s %17s\n' "$1" "—" "$2"; }

run_corvalin /threads=1
status=$run_status corvalin_s=$run_s rss_kb=$run_rss_kb cpu_s=$run_cpu_s
written=$(ls "$work/corvalin" | grep -c '^Neu_' || true)
tail -3 "$work/result.txt" > "$work/summary.txt"
head -5 "$work/errors.txt" > "$work/failures.txt"
# Its copies go, so that the next run finds only the sources.
rm -f "$work"/corvalin/Neu_*
run_corvalin
[ "$run_status" -eq "$status" ] || echo "corvalin with $cores workers ended with status $run_status"
all_s=$run_s all_rss_kb=$run_rss_kb all_cpu_s=$run_cpu_s

measure env MAGICK_THREAD_LIMIT=1 mogrify -path "$work/magick" "${magick_target[@]}" "${magick_size[@]}" \
  "$work"/source/*."$format"
magick_s=$run_s magick_rss_kb=$run_rss_kb magick_cpu_s=$run_cpu_s

# vipsthumbnail writes what its output name says; without a saver for the
# format it fails, and the table says so.
vips_s= vips_all_s= vips_note=
if [ -z "$photos" ]; then
  vips_note="photographs only"
elif ! command -v vipsthumbnail >/dev/null; then
  vips_note="vipsthumbnail missing"
else
  case $format in
    jpg) vips_out="%s.jpg[Q=85]" ;;
    *) vips_out="%s.$format" ;;
  esac
  mkdir -p "$work/vips"
  measure env VIPS_CONCURRENCY=1 vipsthumbnail --size x300 -o "$work/vips/$vips_out" "$work"/source/*."$format"
  if [ "$run_status" -eq 0 ] && [ "$(ls "$work/vips" | wc -l)" -eq "$count" ]; then
    vips_s=$run_s vips_rss_kb=$run_rss_kb
    rm -f "$work"/vips/*
    measure vipsthumbnail --size x300 -o "$work/vips/$vips_out" "$work"/source/*."$format"
    vips_all_s=$run_s vips_all_rss_kb=$run_rss_kb
  else
    vips_note="cannot write $format"
  fi
fi

# Two pictures of one conversion: the source and the result 300 pixels high;
# with several workers that many per file in flight (workers + 1).
pair_kb=$(( (width * height * 3 + (300 * width / height) * 300 * 3) / 1024 ))
limit_kb=$(( pair_kb + 30 * 1024 ))
all_limit_kb=$(( (cores + 1) * pair_kb + 30 * 1024 ))

echo "format: $format${target:+ -> $target}, pictures: $count (${width}x$height), written by corvalin: $written, exit status $status"
[ "$status" -eq 0 ] || { echo "corvalin reported failures:"; cat "$work/failures.txt"; }
cat "$work/summary.txt"
row "corvalin (1 worker)" "$corvalin_s" "$rss_kb" "$cpu_s"
row "corvalin ($cores workers)" "$all_s" "$all_rss_kb" "$all_cpu_s"
row "mogrify (1 thread)" "$magick_s" "$magick_rss_kb" "$magick_cpu_s"
if [ -n "$vips_s" ]; then
  row "vipsthumbnail (1 thread)" "$vips_s" "$vips_rss_kb"
  row "vipsthumbnail (default threads)" "$vips_all_s" "$vips_all_rss_kb"
else
  missing_row "vipsthumbnail (1 thread)" "$vips_note"
  missing_row "vipsthumbnail (default threads)" "$vips_note"
fi

# The goals on a two-core machine, by set.
self_goal= vips_goal=
if [ -n "$photos" ]; then
  case $format in
    jpg) if [ "$width" -ge 3000 ]; then self_goal=1.8 vips_goal=1.4; else self_goal=1.6 vips_goal=2.5; fi ;;
    png) vips_goal=1.6 ;;
  esac
fi
printf 'ratio corvalin %d workers / 1 worker (files/s): %.2f%s\n' "$cores" \
  "$(echo "$corvalin_s / $all_s" | bc -l)" "${self_goal:+ (goal >= $self_goal)}"
printf 'ratio corvalin 1 worker / imagemagick (files/s): %.2f\n' "$(echo "$magick_s / $corvalin_s" | bc -l)"
if [ -n "$vips_s" ]; then
  printf 'ratio corvalin 1 worker / vipsthumbnail 1 thread (files/s): %.2f\n' \
    "$(echo "$vips_s / $corvalin_s" | bc -l)"
  printf 'ratio corvalin %d workers / vipsthumbnail default threads (files/s): %.2f%s\n' "$cores" \
    "$(echo "$vips_all_s / $all_s" | bc -l)" "${vips_goal:+ (goal >= $vips_goal)}"
fi
printf 'corvalin peak RSS: %d KB (limit %d KB: two pictures + 30 MB)\n' "$rss_kb" "$limit_kb"
printf 'corvalin peak RSS with %d workers: %d KB (limit %d KB: (workers + 1) x two pictures + 30 MB)\n' \
  "$cores" "$all_rss_kb" "$all_limit_kb"
