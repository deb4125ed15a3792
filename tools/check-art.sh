#!/usr/bin/env bash
# Checks that the committed bitmaps are what their SVG sources make, then runs the artwork
# tools' tests:
#   - builds the converter (tools/art) in a temporary folder;
#   - regenerates every bitmap of tools/art/bitmaps.txt from a temporary copy of the SVG sources,
#     leaving the checkout alone;
#   - compares them byte for byte with quadrant/bitmaps/*.bmp and ammeter/bitmaps/*.bmp, and at the
#     first difference names the file and the byte offset and exits 1;
#   - runs tools/art/test_art_tools.py with that converter.
#
# Installs what it needs first (tools/install-deps.sh art).
set -euo pipefail

tools="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$tools/.."
tools/install-deps.sh art
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

cmake -S tools/art -B "$work/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/build" >/dev/null
converter="$work/build/art_convert"

# Only the SVG sources are copied, so a bitmap that nothing regenerates shows as missing.
modules=(quadrant ammeter)
for module in "${modules[@]}"; do
  mkdir -p "$work/sources/$module"
  cp -R "$module/art" "$work/sources/$module/art"
done
"$converter" tools/art/bitmaps.txt "$work/sources" >/dev/null

/usr/bin/python3 - "$work/sources" "${modules[@]}" <<'EOF'
import sys
from pathlib import Path

regenerated_root, modules = Path(sys.argv[1]), sys.argv[2:]
PALETTE, PIXELS = 14 + 40, 14 + 40 + 256 * 4


def part_at(offset):
    if offset < 14:
        return "the file header"
    if offset < PALETTE:
        return "the information header"
    if offset < PIXELS:
        return f"palette entry {(offset - PALETTE) // 4}"
    return "the pixel rows"


names = sorted({str(path.relative_to(root)) for root in (Path("."), regenerated_root)
                for module in modules for path in (root / module / "bitmaps").glob("*.bmp")})
for name in names:
    committed, regenerated = Path(name), regenerated_root / name
    if not regenerated.exists():
        sys.exit(f"check-art: {name}: committed, but no line of tools/art/bitmaps.txt makes it")
    if not committed.exists():
        sys.exit(f"check-art: {name}: made from its SVG, but not committed")
    old, new = committed.read_bytes(), regenerated.read_bytes()
    if old != new:
        offset = next((i for i, (a, b) in enumerate(zip(old, new)) if a != b), min(len(old), len(new)))
        sys.exit(f"check-art: {name}: the regenerated bitmap differs from the committed one at byte "
                 f"offset {offset}, in {part_at(offset)} ({len(old)} bytes committed, {len(new)} regenerated)")
print(f"check-art: all {len(names)} bitmaps are what their SVG sources make")
EOF

ART_CONVERT="$converter" /usr/bin/python3 -m unittest discover -s tools/art -p 'test_*.py'
