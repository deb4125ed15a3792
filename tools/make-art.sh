#!/usr/bin/env bash
# Regenerates the gauges' bitmaps from their SVG sources:
#   quadrant/art/*.svg -> quadrant/bitmaps/<id>.bmp
#   ammeter/art/*.svg  -> ammeter/bitmaps/<id>.bmp
# builds the converter (tools/art) natively on the way, checks the results and redraws the
# contact sheet docs/art-contact-sheet.png.
#
# Installs what it needs first (tools/install-deps.sh art).
set -euo pipefail

tools="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$tools/.."
tools/install-deps.sh art
build="$(mktemp -d)"
sheet="$(mktemp -d)"
trap 'rm -rf "$build" "$sheet"' EXIT

cmake -S tools/art -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" >/dev/null
"$build/art_convert" tools/art/bitmaps.txt .
/usr/bin/python3 tools/art/check_bitmaps.py .

# Contact sheet: every picture at twice its size, pure black shown as see-through over a
# checkerboard, labelled with its module and resource id.
look=(-font DejaVu-Sans -pointsize 15 -fill '#f4f4f4' -background '#5a5a5a'
      -texture pattern:checkerboard)
pictures() {  # module id...
  local module="$1"; shift
  for id in "$@"; do
    cells+=(-label "$module $id" '(' "$module/bitmaps/$id.bmp" -transparent black -scale 200% ')')
  done
}
cells=(); pictures quadrant 300 400 500 600 700 800
montage "${cells[@]}" "${look[@]}" -tile 2x -geometry '150x90>+14+14' "$sheet/levers.png"
cells=(); pictures ammeter 300 400 500 503
montage "${cells[@]}" "${look[@]}" -tile 2x -geometry '352x160>+14+14' "$sheet/ammeter-parts.png"
cells=(); pictures quadrant 200
cells+=(-label "" "$sheet/levers.png")
pictures ammeter 200
cells+=(-label "" "$sheet/ammeter-parts.png")
mkdir -p docs
montage "${cells[@]}" "${look[@]}" -mode concatenate -tile 4x -geometry +14+14 -depth 8 \
  docs/art-contact-sheet.png
echo "wrote docs/art-contact-sheet.png"
