#!/usr/bin/env bash
# How responsive the desktop program stays while every worker converts a
# large photograph. Runs "corvalin /auto=1" with its windows under Xvfb on
# copies of 12-megapixel JPEG photographs (quality 85, copies beside the
# originals) with the run probe switched on (CORVALIN_RUN_PROBE), for two
# jobs: "height 300" (/adapt=3 /height=300) and "size kept" (/adapt=1, whose
# previews are whole 12-megapixel pictures), once per worker count:
#   - a whole run: the longest time the front-end thread went without
#     delivering window messages (what a repaint or a click waits at most);
#   - a run cancelled by clicking "Abbrechen" while the workers are busy: the
#     time from the click to the progress window closing, from closing to the
#     run loop noticing, files started after closing (must be 0), and the
#     time until the files in flight were finished and the run ended.
# The goal is 100 ms for the gap and for click-to-close. Needs Xvfb, xdotool
# and libXtst (which xdotool brings).
# Usage: bench/responsiveness-bench.sh [WORKERS...]   (default: 2 4)
#   PHOTOS=DIR   JPEG photographs to copy (default /tmp/photos/A, the A/
#                folder of ../shared/bench/make-photo-corpus.sh); never
#                converted in place.
#   COUNT=N      pictures per run (default 48).
#   CANCEL_AFTER=S  seconds after the progress window shows that the
#                cancelling run clicks (default 0.5).
#   PROGRAM=PATH a desktop build of corvalin to measure (default: a release
#                build with windows in build-bench-gui).
set -euo pipefail
cd "$(dirname "$0")/.."
workers=("$@")
[ ${#workers[@]} -gt 0 ] || workers=(2 4)
photos=${PHOTOS:-/tmp/photos/A}
count=${COUNT:-48}
cancel_after=${CANCEL_AFTER:-0.5}
program=${PROGRAM:-}
if [ -z "$program" ]; then
  cmake -S . -B build-bench-gui -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVALIN_BUILD_TESTS=OFF >/dev/null
  cmake --build build-bench-gui -j2 --target corvalin >/dev/null
  program=$PWD/build-bench-gui/corvalin
fi
command -v Xvfb >/dev/null && command -v xdotool >/dev/null ||
  { echo "needs Xvfb and xdotool (scripts/install-deps.sh)" >&2; exit 1; }

work=$(mktemp -d)
xvfb=
cleanup() {
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mapfile -t chosen < <(ls "$photos"/*.jpg | head -n "$count")
[ ${#chosen[@]} -gt 0 ] || { echo "no JPEG files in $photos" >&2; exit 1; }
count=${#chosen[@]}
read -r width height < <(/usr/bin/identify -format '%w %h\n' "${chosen[0]}")
mkdir -p "$work/config/Corvalin"
{
  echo "[Corvalin]"
  for ext in bmp gif ico jpg pcd psd pcx png tif wmf; do
    [ "$ext" = jpg ] && echo "$ext=1" || echo "$ext=0"
  done
} > "$work/config/Corvalin/Corvalin.conf"

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

# start_run WORKERS SWITCHES...: a fresh folder of copies and the program
# converting it in the background; sets folder and pid.
start_run() {
  local threads=$1
  shift
  folder=$work/photos
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "${chosen[@]}" "$folder/"
  XDG_CONFIG_HOME="$work/config" CORVALIN_RUN_PROBE=1 LC_ALL=C.UTF-8 \
    "$program" /auto=1 "/dir=$folder/" /recursiv=0 "$@" /quality=85 /copy=1 \
    "/threads=$threads" >"$work/out.txt" 2>"$work/err.txt" &
  pid=$!
}

# Presses and releases the first mouse button where the pointer is and
# prints the wall-clock time just before the release went to the X server:
# the button acts on the release, and timing it here leaves out the start of
# a helper process.
click() {
  /usr/bin/python3 - <<'PY'
import ctypes, time
x11 = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
display = x11.XOpenDisplay(None)
xtst.XTestFakeButtonEvent(display, 1, 1, 0)
x11.XSync(display, 0)
time.sleep(0.05)
stamp = time.time()
xtst.XTestFakeButtonEvent(display, 1, 0, 0)
x11.XSync(display, 0)
print(f"{stamp:.6f}")
PY
}

probe_line() { grep '^run probe:' "$work/err.txt" || echo "run probe: (no figures; program status $1)"; }
figure() { sed -n "s/.*$1 \([0-9.]*\).*/\1/p" <<<"$2"; }
written() { find "$folder" -maxdepth 1 -name 'Neu_*' | wc -l; }

measure() {  # measure JOB WORKERS SWITCHES...
  local job=$1 n=$2 line status window clicked closed
  shift 2
  start_run "$n" "$@"
  status=0; wait "$pid" || status=$?
  line=$(probe_line "$status")
  printf '%s, /threads=%s, whole run: longest gap between message deliveries %s ms (%s files written, status %d)\n' \
    "$job" "$n" "$(figure 'longest gap' "$line")" "$(written)" "$status"

  start_run "$n" "$@"
  window=
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Bitte warten' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    sleep 0.05
  done
  [ -n "$window" ] || { echo "the progress window did not show" >&2; kill "$pid"; return; }
  sleep "$cancel_after"
  # "Abbrechen" sits at (327, 48) of the window, 92 x 26.
  xdotool mousemove --window "$window" 373 61
  clicked=$(click)
  status=0; wait "$pid" || status=$?
  line=$(probe_line "$status")
  closed=$(figure 'closed at' "$line")
  if [ -z "$closed" ]; then
    echo "$job, /threads=$n, cancelled: the run ended before the click (raise COUNT or lower CANCEL_AFTER): $line"
    return
  fi
  printf '%s, /threads=%s, cancelled: release of the click to window closed %.1f ms, closed to run loop noticed %s ms, files started after closing %s, closed to run ended %s ms; longest gap %s ms; %s of %s files written\n' \
    "$job" "$n" "$(echo "($closed - $clicked) * 1000" | bc -l)" "$(figure 'noticed' "$line")" \
    "$(figure 'files started after closing' "$line")" "$(figure 'run ended' "$line")" \
    "$(figure 'longest gap' "$line")" "$(written)" "$count"
}

echo "pictures: $count of ${width}x$height from $photos, cores: $(nproc), program: $program"
for n in "${workers[@]}"; do
  measure "height 300" "$n" /adapt=3 /height=300
  measure "size kept" "$n" /adapt=1
done
echo "goal: 100 ms for the longest gap and for click to window closed"
