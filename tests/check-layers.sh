#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own.
# Layers, lowest first: common, picture, formats, app = overlay, desktop.
set -euo pipefail
src="$(cd "$(dirname "$0")/../src" && pwd)"

rank() {
  case "$1" in
    desktop/*) echo 4 ;;
    common/*) echo 0 ;;
    picture/*) echo 1 ;;
    formats/*) echo 2 ;;
    app/*|overlay/*) echo 3 ;;
    *) echo 5 ;;
  esac
}

status=0
cd "$src"
while IFS= read -r file; do
  own=$(rank "$file")
  while IFS= read -r header; do
    if [ "$(rank "$header")" -gt "$own" ]; then
      echo "$file includes $header from a higher layer"
      status=1
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find common picture formats app overlay -name '*.cpp' -o -name '*.c' -o -name '*.h')
# Cairo draws the picture layer's shapes; no other layer sees it.
while IFS= read -r file; do
  echo "$file includes Cairo, which only the picture layer may use"
  status=1
done < <(grep -rl '#include <cairo' common formats app overlay || true)
exit $status
