#!/usr/bin/env bash
# Smooth scaling on photographs: COUNT JPEG files (default 48) of the corpus
# folder DIR (make-photo-corpus.sh makes A/ with 12-megapixel ones) made 300
# pixels high with quality 85, in one run each and with all workers or
# threads:
#   corvalin /smooth=1      Lanczos-3 with shrink-on-load
#   corvalin /smooth=0      the nearest pixel with only the sampled rows decoded
#   vipsthumbnail --size x300 (its default threads)
# and, as the decode floor, "djpeg -scale 1/4" of the same files one after the
# other on one core. Prints seconds, files per second and peak resident memory
# of every run, the ratios against the goals and the per-core throughput
# against the decode floor. The sources are copied; DIR is only read.
# Usage: bench/smooth-benchmark.sh DIR [COUNT]
set -euo pipefail
photos=${1:?usage: bench/smooth-benchmark.sh DIR [COUNT]}
count=${2:-48}
cd "$(dirname "$0")/.."
source bench/common.sh
build_bench corvalin
program=$PWD/build-bench/corvalin
command -v vipsthumbnail >/dev/null || { echo "vipsthumbnail missing (scripts/install-deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/source" "$work/corvalin" "$work/vips" "$work/config/Corvalin"
cores=$(nproc)
mapfile -t chosen < <(ls "$photos"/*.jpg | head -n "$count")
count=${#chosen[@]}
[ "$count" -gt 0 ] || { echo "no JPEG files in $photos" >&2; exit 1; }
cp "${chosen[@]}" "$work/source/"
cp "${chosen[@]}" "$work/corvalin/"
chmod u+w "$work"/source/* "$work"/corvalin/*
read -r width height < <(/usr/bin/identify -format '%w %h\n' "${chosen[0]}")

# Only JPEG files are searched; everything else from the switches.
{
  echo "[Corvalin]"
  for ext in bmp gif ico jpg pcd psd pcx png tif wmf webp heic avif jxl; do
    [ "$ext" = jpg ] && echo "$ext=1" || echo "$ext=0"
  done
} > "$work/config/Corvalin/Corvalin.conf"

run_corvalin() {
  measure env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work/config" \
    "$program" /auto=1 "/dir=$work/corvalin" /recursiv=0 /adapt=3 /height=300 /quality=85 /copy=1 "$@"
  [ "$run_status" -eq 0 ] || { echo "corvalin $* failed:" >&2; head -5 "$work/errors.txt" >&2; }
  rm -f "$work"/corvalin/Neu_*
}

# One line of the table: name, wall seconds, peak KB, CPU seconds.
row() {
  printf '%-34s %7.2f s %8.2f files/s %7d KB %7.2f s CPU\n' "$1" "$2" "$(echo "$count / $2" | bc -l)" "$3" "$4"
}

run_corvalin /smooth=1
smooth_s=$run_s smooth_rss_kb=$run_rss_kb smooth_cpu_s=$run_cpu_s
run_corvalin /smooth=0
nearest_s=$run_s nearest_rss_kb=$run_rss_kb nearest_cpu_s=$run_cpu_s
measure vipsthumbnail --size x300 -o "$work/vips/%s.jpg[Q=85]" "$work"/source/*.jpg
vips_s=$run_s vips_rss_kb=$run_rss_kb vips_cpu_s=$run_cpu_s
measure bash -c 'for file in "$@"; do djpeg -scale 1/4 "$file" > /dev/null; done' - "$work"/source/*.jpg
floor_s=$run_s floor_rss_kb=$run_rss_kb floor_cpu_s=$run_cpu_s

pair_kb=$(( (width * height * 3 + (300 * width / height) * 300 * 3) / 1024 ))
limit_kb=$(( (cores + 1) * pair_kb + 30 * 1024 ))
echo "pictures: $count JPEG (${width}x$height) -> height 300, $cores cores"
row "corvalin /smooth=1 ($cores workers)" "$smooth_s" "$smooth_rss_kb" "$smooth_cpu_s"
row "corvalin /smooth=0 ($cores workers)" "$nearest_s" "$nearest_rss_kb" "$nearest_cpu_s"
row "vipsthumbnail (default threads)" "$vips_s" "$vips_rss_kb" "$vips_cpu_s"
row "djpeg -scale 1/4 (1 core)" "$floor_s" "$floor_rss_kb" "$floor_cpu_s"
printf 'ratio smooth / vipsthumbnail (files/s): %.2f (goal >= 1.5); by CPU time %.2f\n' \
  "$(echo "$vips_s / $smooth_s" | bc -l)" "$(echo "$vips_cpu_s / $smooth_cpu_s" | bc -l)"
printf 'ratio smooth / nearest (files/s): %.2f (goal >= 0.8); by CPU time %.2f\n' \
  "$(echo "$nearest_s / $smooth_s" | bc -l)" "$(echo "$nearest_cpu_s / $smooth_cpu_s" | bc -l)"
printf 'smooth per core / djpeg -scale 1/4 (files/s): %.2f; by CPU time %.2f\n' \
  "$(echo "$floor_s / ($smooth_s * $cores)" | bc -l)" "$(echo "$floor_cpu_s / $smooth_cpu_s" | bc -l)"
printf 'corvalin /smooth=1 peak RSS: %d KB (limit %d KB: (workers + 1) x two pictures + 30 MB)\n' \
  "$smooth_rss_kb" "$limit_kb"
