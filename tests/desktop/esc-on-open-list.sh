#!/usr/bin/env bash
# Under a real X server and a real window manager (openbox): open the
# "Zielformat" list of the main window with the mouse, press Esc, and check
# that the list closed while the program still runs.
#   esc-on-open-list.sh CORVALIN_BINARY
# Exit 77 (skipped) only when no X server can be started.
set -euo pipefail
program=$1

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits up to five seconds for a command to succeed.
await() {
  for _ in $(seq 50); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}

command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
await test -s "$work/display" || { echo "SKIP: Xvfb did not start"; exit 77; }
export DISPLAY=":$(cat "$work/display")"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
await xdotool get_num_desktops || fail "openbox did not start"

export XDG_CONFIG_HOME="$work/config" LC_ALL=C.UTF-8
"$program" >"$work/program.log" 2>&1 &
program_pid=$!
pids+=("$program_pid")
await xdotool search --onlyvisible --name '^Corvalin$' || fail "the main window did not show"
window=$(xdotool search --onlyvisible --name '^Corvalin$' | head -n1)
sleep 0.5
# Visible windows of the program, one id a line (the open list is a window
# of its own; so is a tool tip).
shown() { xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null | sort; }
shown >"$work/before"

# The list sits at (318, 203) of the client area, 150 x 24; the client area
# begins below the menu bar, whose height is what the window has beyond its
# 509 pixels.
eval "$(xdotool getwindowgeometry --shell "$window")"
menu_bar=$((HEIGHT - 509))
xdotool mousemove --window "$window" $((318 + 75)) $((menu_bar + 203 + 12)) click 1
list_opened() { shown | comm -13 "$work/before" - >"$work/list"; test -s "$work/list"; }
await list_opened || fail "the list did not open"

xdotool key Escape
list_closed() { test -z "$(shown | comm -12 "$work/list" -)"; }
await list_closed || fail "Esc did not close the list (program \
$(kill -0 "$program_pid" 2>/dev/null && echo runs || echo ended))"
sleep 0.5
kill -0 "$program_pid" 2>/dev/null || fail "the program ended on Esc in the open list"
xdotool search --onlyvisible --name '^Corvalin$' >/dev/null || fail "the main window is gone"

# Esc on the main window itself still ends the program.
xdotool windowactivate --sync "$window" 2>/dev/null || true
xdotool key Escape
await bash -c "! kill -0 $program_pid" || fail "Esc on the main window did not close it"
echo "PASS"
