#!/usr/bin/env bash
# Renders the PNG sizes of the icon from corvalin.svg; run after changing the
# drawing and commit the results (the build only installs them).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" corvalin.svg -o "corvalin-$size.png"
done
