#!/usr/bin/env bash
# Camera and web pictures to thumbnails: the first COUNT (default 12)
# photographs "*_1.jpg" of the corpus folder DIR (make-photo-corpus.sh makes
# A/ with 12-megapixel ones) as HEIC (heif-enc -q 85) and as WebP
# (cwebp -q 85), each set made JPEG files 300 pixels high with quality 85 by
#   corvalin /target=jpg         the nearest pixel, all workers (its default)
#   vipsthumbnail --size x300    its default threads
# in the same run. Prints seconds, files per second, CPU seconds (user +
# system, which a busy machine disturbs less than the wall clock) and peak
# resident memory of every run, the ratios against the goal, the memory
# bound of the parallel run and the load average before and after.
# Encoding takes minutes: the HEIC and WebP files are kept in CACHE
# (default /tmp/corvalin-camera-corpus) for the next run. DIR is only read.
# Usage: bench/camera-benchmark.sh DIR [COUNT] [CACHE]
set -euo pipefail
photos=${1:?usage: bench/camera-benchmark.sh DIR [COUNT] [CACHE]}
count=${2:-12}
cache=${3:-/tmp/corvalin-camera-corpus}
cd "$(dirname "$0")/.."
source bench/common.sh
for tool in vipsthumbnail heif-enc cwebp; do
  command -v "$tool" >/dev/null || { echo "$tool missing (scripts/install-deps.sh)" >&2; exit 1; }
done
build_bench corvalin
program=$PWD/build-bench/corvalin

mapfile -t chosen < <(ls "$photos"/*_1.jpg | head -n "$count")
count=${#chosen[@]}
[ "$count" -gt 0 ] || { echo "no photographs *_1.jpg in $photos" >&2; exit 1; }
mkdir -p "$cache/heic" "$cache/webp"
for photo in "${chosen[@]}"; do
  name=$(basename "$photo" .jpg)
  [ -s "$cache/webp/$name.webp" ] || cwebp -quiet -q 85 "$photo" -o "$cache/webp/$name.webp"
  [ -s "$cache/heic/$name.heic" ] || heif-enc -q 85 "$photo" -o "$cache/heic/$name.heic" >/dev/null
done
read -r width height < <(/usr/bin/identify -format '%w %h\n' "${chosen[0]}")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cores=$(nproc)

row() {
  printf '%-32s %7.2f s %8.2f files/s %7.2f s CPU %7d KB\n' "$1" "$2" "$(echo "$count / $2" | bc -l)" "$4" "$3"
}

pair_kb=$(( (width * height * 3 + (300 * width / height) * 300 * 3) / 1024 ))
limit_kb=$(( (cores + 1) * pair_kb + 30 * 1024 ))
echo "pictures: $count ${width}x$height -> JPEG height 300, $cores cores; load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
for set in heic webp; do
  rm -rf "$work/corvalin" "$work/vips" "$work/config"
  mkdir -p "$work/corvalin" "$work/vips" "$work/config/Corvalin"
  for photo in "${chosen[@]}"; do cp "$cache/$set/$(basename "$photo" .jpg).$set" "$work/corvalin/"; done
  # Only the set's file type is searched.
  {
    echo "[Corvalin]"
    for ext in bmp gif ico jpg pcd psd pcx png tif wmf webp heic avif jxl; do
      [ "$ext" = "$set" ] && echo "$ext=1" || echo "$ext=0"
    done
  } > "$work/config/Corvalin/Corvalin.conf"
  measure env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME="$work/config" "$program" /auto=1 \
    "/dir=$work/corvalin" /recursiv=0 /adapt=3 /height=300 /quality=85 /copy=1 /target=jpg
  written=$(ls "$work/corvalin" | grep -c '^Neu_' || true)
  [ "$run_status" -eq 0 ] && [ "$written" -eq "$count" ] ||
    { echo "corvalin on $set: status $run_status, $written written" >&2; head -5 "$work/errors.txt" >&2; }
  corvalin_s=$run_s corvalin_rss_kb=$run_rss_kb corvalin_cpu_s=$run_cpu_s
  measure vipsthumbnail --size x300 -o "$work/vips/%s.jpg[Q=85]" "$work"/corvalin/*."$set"
  vips_s=$run_s vips_rss_kb=$run_rss_kb vips_cpu_s=$run_cpu_s
  echo "== $set"
  row "corvalin ($cores workers)" "$corvalin_s" "$corvalin_rss_kb" "$corvalin_cpu_s"
  row "vipsthumbnail (default threads)" "$vips_s" "$vips_rss_kb" "$vips_cpu_s"
  printf 'ratio corvalin / vipsthumbnail (files/s): %.2f (goal >= 1.3); by CPU time %.2f\n' \
    "$(echo "$vips_s / $corvalin_s" | bc -l)" "$(echo "$vips_cpu_s / $corvalin_cpu_s" | bc -l)"
  printf 'corvalin peak RSS: %d KB (limit %d KB: (workers + 1) x two pictures + 30 MB)\n' "$corvalin_rss_kb" "$limit_kb"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
