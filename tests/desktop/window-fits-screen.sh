#!/usr/bin/env bash
# Under a real X server and a real window manager (openbox): at
# QT_SCALE_FACTOR=2 on a 1600 x 1000 screen the main window, with its frame,
# lies wholly on the screen; at scale 1 it opens at its designed size and
# can be enlarged.
#   window-fits-screen.sh CORVALIN_BINARY
# Exit 77 (skipped) only when no X server can be started.
set -euo pipefail
program=$1

source "$(dirname "$0")/window-manager.sh"
start_window_manager 1600x1000

# Starts the program at a scale; sets window to the main window's id.
start() {
  QT_SCALE_FACTOR=$1 "$program" >"$work/program.log" 2>&1 &
  program_pid=$!
  pids+=("$program_pid")
  await xdotool search --onlyvisible --name '^Corvalin$' || fail "the main window did not show at scale $1"
  window=$(xdotool search --onlyvisible --name '^Corvalin$' | head -n1)
  sleep 1
}
stop() {
  kill "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
}

start 2
eval "$(xdotool getwindowgeometry --shell "$window")"
# left, right, top, bottom of the frame openbox draws around the window
read -r left right top bottom < <(xprop -id "$window" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
frame_x=$((X - left)) frame_y=$((Y - top))
frame_w=$((WIDTH + left + right)) frame_h=$((HEIGHT + top + bottom))
echo "scale 2: frame ${frame_w}x${frame_h} at ${frame_x},${frame_y}"
((frame_x >= 0 && frame_y >= 0)) || fail "the frame begins off the screen"
((frame_x + frame_w <= 1600 && frame_y + frame_h <= 1000)) || fail "the frame ends off the screen"
stop

start 1
eval "$(xdotool getwindowgeometry --shell "$window")"
((WIDTH == 639)) || fail "scale 1: width $WIDTH, not the designed 639"
xdotool windowsize --sync "$window" 1000 800 || true
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")"
echo "scale 1 enlarged: ${WIDTH}x${HEIGHT}"
((WIDTH == 1000 && HEIGHT == 800)) || fail "the window did not enlarge"
stop
echo "PASS"
