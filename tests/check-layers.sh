#!/usr/bin/env bash
# Fails when a source file includes a header of a layer above its own.
# Layers, lowest first: common, picture, formats, app = overlay, desktop.
set -euo pipefail
cd "$(dirname "$0")/../src"

status=0
# One pass over every include line: "file:#include "header"".
grep -rHo '^#include "[^"]*"' common picture formats app overlay \
    --include='*.cpp' --include='*.c' --include='*.h' |
  awk -F: '
    function rank(path) {
      if (path ~ /^common\//) return 0
      if (path ~ /^picture\//) return 1
      if (path ~ /^formats\//) return 2
      if (path ~ /^(app|overlay)\//) return 3
      if (path ~ /^desktop\//) return 4
      return 5
    }
    {
      header = $2; sub(/^#include "/, "", header); sub(/"$/, "", header)
      if (rank(header) > rank($1)) { print $1 " includes " header " from a higher layer"; bad = 1 }
    }
    END { exit bad }' || status=1
# Cairo draws the picture layer's shapes; no other layer sees it.
while IFS= read -r file; do
  echo "$file includes Cairo, which only the picture layer may use"
  status=1
done < <(grep -rl '#include <cairo' common formats app overlay || true)
exit $status
