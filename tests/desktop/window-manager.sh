# Sourced by the window tests that need a real X server and a real window
# manager (openbox): a work folder removed on exit with every process
# started, fail, await, and start_window_manager SCREEN (such as 1280x1024),
# which exits 77 (skipped) only when no X server can be started.

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

start_window_manager() {
  command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  pids+=($!)
  await test -s "$work/display" || { echo "SKIP: Xvfb did not start"; exit 77; }
  export DISPLAY=":$(cat "$work/display")"
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY

  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  pids+=($!)
  await xdotool get_num_desktops || fail "openbox did not start"
  export XDG_CONFIG_HOME="$work/config" LC_ALL=C.UTF-8
}
