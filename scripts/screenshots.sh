#!/usr/bin/env bash
# Starts Corvalin under Xvfb and saves screenshots of its windows into a
# folder outside the repository (default: /tmp/corvalin-screenshots).
#   scripts/screenshots.sh [OUTPUT_FOLDER] [BUILD_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-/tmp/corvalin-screenshots}
build=${2:-build-screenshots}
mkdir -p "$out"

cmake -S . -B "$build" -G Ninja -DCORVALIN_BUILD_GUI=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target corvalin corvalin_screenshots >/dev/null

export LC_ALL=C.UTF-8
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export XDG_CONFIG_HOME="$config"

# The program itself as a user starts it: the whole screen a moment later.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$1" & pid=$!
  sleep 3
  import -window root "$2/0-program-start.png"
  kill "$pid"
' _ "$build/corvalin" "$out"
echo "$out/0-program-start.png"

# At double scale on a 1600 x 1000 screen, framed by a window manager: the
# window fits the screen.
xvfb-run -a -s "-screen 0 1600x1000x24" bash -c '
  openbox --sm-disable >/dev/null 2>&1 & wm=$!
  sleep 1
  QT_SCALE_FACTOR=2 "$1" & pid=$!
  sleep 3
  import -window root "$2/0-program-start-scale-2.png"
  kill "$pid" "$wm"
' _ "$build/corvalin" "$out"
echo "$out/0-program-start-scale-2.png"

# Every window with sample content, each grabbed from the X server, once at
# the default scale and once at QT_SCALE_FACTOR=2 (each in its own folder).
for scale in 1 2; do
  mkdir -p "$out/scale-$scale"
  QT_SCALE_FACTOR=$scale xvfb-run -a -s "-screen 0 $((1280 * scale))x$((1024 * scale))x24" \
    "$build/tests/desktop/corvalin_screenshots" "$out/scale-$scale"
done
