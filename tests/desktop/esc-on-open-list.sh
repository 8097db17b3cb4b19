#!/usr/bin/env bash
# Under a real X server and a real window manager (openbox): open the
# "Zielformat" list of the main window with the mouse, press Esc, and check
# that the list closed while the program still runs.
#   esc-on-open-list.sh CORVALIN_BINARY
# Exit 77 (skipped) only when no X server can be started.
set -euo pipefail
program=$1

source "$(dirname "$0")/window-manager.sh"
start_window_manager 1280x1024
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
# 531 pixels.
eval "$(xdotool getwindowgeometry --shell "$window")"
menu_bar=$((HEIGHT - 531))
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
