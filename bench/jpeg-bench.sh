#!/usr/bin/env bash
# JPEG load and save against libjpeg's own tools on the same files in the
# same run: Corvalin's load + save (full size, quality 85) of each file
# against `djpeg | cjpeg -quality 85`. Both run pinned to one core, so the
# two halves of the pipe cannot overlap; seconds per file include process
# start on both sides. CPU seconds are the steadier figure on a busy machine:
# there the scheduler favours the pipe, whose two halves keep waking each
# other, over the single busy process. BENCH_RT=1 (as root) runs both sides
# under a real-time FIFO priority so that wall-clock times mean something
# while others use the machine.
# Usage: bench/jpeg-bench.sh CORPUS_DIR [COUNT]
#   CORPUS_DIR as made by make-photo-corpus.sh (its A/ folder holds the
#   12-megapixel photographs); COUNT limits the number of files (default all).
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 CORPUS_DIR [COUNT]" >&2; exit 2; }
corpus=$(cd "$1" && pwd)
count=${2:-0}
cd "$(dirname "$0")/.."
. bench/common.sh
build_bench bench_jpeg
driver=$PWD/build-bench/bench/bench_jpeg
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mkdir -p "$out/corvalin" "$out/libjpeg"

files=("$corpus"/A/*.jpg)
[ "$count" -gt 0 ] && files=("${files[@]:0:$count}")
core=$(( $(nproc) - 1 ))
pin=(taskset -c "$core")
[ "${BENCH_RT:-0}" = 1 ] && pin=(chrt -f 10 "${pin[@]}")

# Runs a command and prints its wall-clock and CPU (user + system, all
# processes of the pipe) seconds.
measure() {
  local TIMEFORMAT='%R %U %S' t
  t=$( { time "$@" >/dev/null 2>&1; } 2>&1 )
  read -r real user sys <<<"$t"
  echo "$real $(echo "$user + $sys" | bc -l)"
}
sum() { echo "$1 + $2" | bc -l; }
ratio() { echo "$1 / $2" | bc -l; }

wall_c=0 wall_l=0 cpu_c=0 cpu_l=0 worst=0
printf '%-16s %21s %21s %15s\n' "" "corvalin" "djpeg | cjpeg" "ratio"
printf '%-16s %10s %10s %10s %10s %7s %7s\n' file wall cpu wall cpu wall cpu
for f in "${files[@]}"; do
  name=$(basename "$f")
  read -r wc cc <<<"$(measure "${pin[@]}" "$driver" 85 "$out/corvalin" "$f")"
  read -r wl cl <<<"$(measure "${pin[@]}" bash -c 'djpeg "$1" | cjpeg -quality 85 > "$2"' _ "$f" "$out/libjpeg/$name")"
  printf '%-16s %10.3f %10.3f %10.3f %10.3f %7.3f %7.3f\n' "$name" "$wc" "$cc" "$wl" "$cl" \
    "$(ratio "$wc" "$wl")" "$(ratio "$cc" "$cl")"
  wall_c=$(sum "$wall_c" "$wc"); wall_l=$(sum "$wall_l" "$wl")
  cpu_c=$(sum "$cpu_c" "$cc"); cpu_l=$(sum "$cpu_l" "$cl")
  # Same library, same settings: the output must be byte-identical.
  cmp -s "$out/corvalin/$name" "$out/libjpeg/$name" || echo "  note: $name differs from cjpeg's output"
done
n=${#files[@]}
printf 'files: %d\n' "$n"
printf 'corvalin: wall %.2f s (%.2f files/s), cpu %.2f s\n' "$wall_c" "$(ratio "$n" "$wall_c")" "$cpu_c"
printf 'libjpeg:  wall %.2f s (%.2f files/s), cpu %.2f s\n' "$wall_l" "$(ratio "$n" "$wall_l")" "$cpu_l"
printf 'ratio corvalin/libjpeg: wall %.3f, cpu %.3f (limit 1.15)\n' "$(ratio "$wall_c" "$wall_l")" "$(ratio "$cpu_c" "$cpu_l")"
