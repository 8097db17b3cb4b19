#!/usr/bin/env bash
# Metafile import of a drawing of a few thousand records (shapes, text and one
# picture) at 1600 x 1200, and export of a 1600 x 1200 picture as WMF; beside
# them, on the same files in the same run, Inkscape and libwmf's wmf2gd
# rendering the drawing to PNG, and Inkscape writing the picture as WMF.
# Corvalin is timed in-process, the others as whole commands (start-up
# included: Inkscape's own start is timed on a one-record file).
# Then polygon and curve records on a small picture (an outline that crosses
# itself at every turn, a curve mostly beside the picture) in points per second,
# and one polygon of 65,535 random points on 2000 x 2000 in milliseconds,
# outlined and filled alone.
# Usage: bench/metafile-bench.sh [RUNS]   (default 3)
set -euo pipefail
runs=${1:-3}
cd "$(dirname "$0")/.."
. bench/common.sh
build_bench bench_metafile
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

results=$(./build-bench/bench/bench_metafile "$out/drawing.wmf" "$out/corvalin.wmf" "$runs")
read -r c_import c_export bytes <<<"$(sed -n 1p <<<"$results")"
read -r polygon_points polygon_seconds <<<"$(sed -n 2p <<<"$results")"
read -r curve_points curve_seconds <<<"$(sed -n 3p <<<"$results")"
read -r large_points large_seconds fill_seconds <<<"$(sed -n 4p <<<"$results")"
/usr/bin/convert -size 1x1 xc:white "$out/one.png"
/usr/bin/convert "$out/corvalin.wmf.bmp" "$out/picture.png"

ms() { printf '%.1f' "$(echo "$1 * 1000" | bc -l)"; }
echo "drawing: $bytes bytes, 1600 x 1200; best of $runs runs"
printf '%-44s %10s\n' "" "ms"
printf '%-44s %10s\n' "corvalin import (play onto 24-bit raster)" "$c_import"
printf '%-44s %10s\n' "wmf2gd render to PNG" "$(ms "$(best "$runs" wmf2gd -t png --maxwidth=1600 --maxheight=1200 --maxsize -o "$out/wmf2gd.png" "$out/drawing.wmf")")"
if command -v inkscape >/dev/null; then
  printf '%-44s %10s\n' "inkscape start-up alone (1x1 PNG)" "$(ms "$(best "$runs" inkscape "$out/one.png" --export-type=png --export-filename="$out/one-out.png")")"
  printf '%-44s %10s\n' "inkscape render to PNG" "$(ms "$(best "$runs" inkscape "$out/drawing.wmf" --export-type=png --export-filename="$out/inkscape.png")")"
fi
printf '%-44s %10s\n' "corvalin export 1600 x 1200 as WMF" "$c_export"
if command -v inkscape >/dev/null; then
  printf '%-44s %10s\n' "inkscape PNG to WMF, same picture" "$(ms "$(best "$runs" inkscape "$out/picture.png" --export-type=wmf --export-filename="$out/inkscape.wmf")")"
fi
echo
echo "records on 189 x 189 (import, best of $runs runs)"
printf '%-44s %10s %14s\n' "" "points" "points/s"
printf '%-44s %10s %14.0f\n' "one PolyPolygon of 4 x 30000 points" "$polygon_points" "$(echo "$polygon_points / $polygon_seconds" | bc -l)"
printf '%-44s %10s %14.0f\n' "one PolyBezier of 60001 points" "$curve_points" "$(echo "$curve_points / $curve_seconds" | bc -l)"
echo
echo "one Polygon of $large_points random points on 2000 x 2000 (import, best of $runs runs)"
printf '%-44s %10s\n' "" "ms"
printf '%-44s %10s\n' "corvalin import, outlined by the default pen" "$(ms "$large_seconds")"
printf '%-44s %10s\n' "corvalin import, filled alone (no pen)" "$(ms "$fill_seconds")"
