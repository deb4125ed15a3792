#!/usr/bin/env python3
"""Checks the generated gauge bitmaps byte by byte, independently of the converter.

Usage: check_bitmaps.py ROOT    (ROOT holds quadrant/bitmaps and ammeter/bitmaps)

It checks the storage format, the pure-black rules and that the pictures fit where the
gauges place them: lever stems in their slots at both ends of travel, the knobs of a pair
apart and inside their mouse columns, the plate repainting the background and hiding the
needle's hub, the switch nuts on the painted mounting. Standard library only.
"""
import struct
import sys
from pathlib import Path

# (module, id): (width, height, pixels per metre, pure-black entries, which of them the pixels use)
FORMAT = {
    ("quadrant", 200): (180, 400, 2834, {255}, 255),
    ("quadrant", 300): (54, 44, 2834, {0}, 0),
    ("quadrant", 400): (73, 44, 2834, {0}, 0),
    ("quadrant", 500): (32, 30, 2834, {0, 240, 241}, 0),
    ("quadrant", 600): (37, 30, 2834, {0}, 0),
    ("quadrant", 700): (32, 30, 2834, {0}, 0),
    ("quadrant", 800): (59, 30, 2834, {0}, 0),
    ("ammeter", 200): (224, 310, 2833, {0}, 0),
    ("ammeter", 300): (104, 13, 2833, {0}, 0),
    ("ammeter", 400): (176, 79, 2833, {0}, 0),
    ("ammeter", 500): (17, 56, 11810, {254}, 254),
    ("ammeter", 503): (18, 56, 11810, {254}, 254),
}
RESOURCE_SIZE = {
    ("quadrant", 200): 73064, ("quadrant", 300): 3528, ("quadrant", 400): 4408,
    ("quadrant", 500): 2024, ("quadrant", 600): 2264, ("quadrant", 700): 2024,
    ("quadrant", 800): 2864, ("ammeter", 200): 70504, ("ammeter", 300): 2416,
    ("ammeter", 400): 14968, ("ammeter", 500): 2184, ("ammeter", 503): 2184,
}

# Levers: knob box, stem box (x0, x1, y0, y1 inclusive, bitmap pixels), position at setting 0,
# rise at full setting, slot columns and mouse column on the background.
LEVERS = {
    300: ((12, 53, 1, 43), (1, 11, 18, 36), (75, 355), 117, (71, 80), (84, 128)),
    400: ((31, 72, 1, 42), (0, 30, 16, 36), (100, 355), 117, (96, 105), (129, 173)),
    500: ((3, 30, 1, 28), (1, 2, 9, 25), (21, 366), 121, (18, 27), (20, 51)),
    600: ((8, 35, 1, 28), (1, 7, 9, 26), (48, 366), 121, (45, 54), (52, 83)),
    700: ((3, 30, 1, 28), (1, 2, 11, 25), (32, 81), 86, (29, 37), (22, 71)),
    800: ((30, 57, 1, 28), (1, 29, 10, 24), (57, 81), 86, (54, 62), (72, 121)),
}
PAIRS = [(300, 400), (500, 600), (700, 800)]
SLOT_ROWS = {300: (258, 391), 400: (258, 391), 500: (258, 391), 600: (258, 391),
             700: (8, 105), 800: (8, 105)}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


PALETTE_OFFSET = 14 + 40
PIXEL_OFFSET = PALETTE_OFFSET + 256 * 4


class Bitmap:
    """A bitmap file decoded with the layout its (module, id) must have."""

    def __init__(self, name, key, data):
        self.name = name
        width, height, ppm, black, used_black = FORMAT[key]
        check(data[:2] == b"BM", f"{name}: no BM signature")
        size, reserved, offset = struct.unpack_from("<IIi", data, 2)
        check(size == len(data) and reserved == 0 and offset == PIXEL_OFFSET,
              f"{name}: bad file header {size} {reserved} {offset}")
        header = struct.unpack_from("<IiiHHIIiiII", data, 14)
        stride = (width + 3) // 4 * 4
        expected = (40, width, height, 1, 8, 0, stride * height, ppm, ppm, 256, 256)
        check(header == expected, f"{name}: information header {header}, expected {expected}")
        self.palette = data[PALETTE_OFFSET:PIXEL_OFFSET]
        entries = [tuple(self.palette[4 * i:4 * i + 4]) for i in range(256)]
        check(all(e[3] == 0 for e in entries), f"{name}: palette reserved byte not zero")
        self.colours = [(e[2], e[1], e[0]) for e in entries]
        found_black = {i for i, c in enumerate(self.colours) if c == (0, 0, 0)}
        check(found_black == black, f"{name}: pure black at {len(found_black)} entries "
              f"{sorted(found_black)[:8]}{' ...' if len(found_black) > 8 else ''}, expected {sorted(black)}")
        others = [c for c in self.colours if c != (0, 0, 0)]
        check(len(set(others)) == len(others), f"{name}: palette repeats a colour")
        self.width, self.height = width, height
        rows = data[PIXEL_OFFSET:]
        self.index = []
        for y in range(height):
            row = rows[(height - 1 - y) * stride:(height - y) * stride]
            check(all(b == 0 for b in row[width:]), f"{name}: row {y} padding not zero")
            self.index.append(list(row[:width]))
        unused = black - {used_black}
        check(not any(i in unused for row in self.index for i in row),
              f"{name}: a pixel uses an extra pure-black entry")
        self.black = [[i == used_black for i in row] for row in self.index]

    def rgb(self, x, y):
        return self.colours[self.index[y][x]]

    def painted(self):
        return {(x, y) for y in range(self.height) for x in range(self.width) if not self.black[y][x]}


def read_bitmap(path, key):
    """The decoded bitmap, or None (with its failure recorded) when the file cannot be one.

    Only a file of exactly the expected length is decoded, so every later read stays inside it."""
    length = 14 + RESOURCE_SIZE[key]
    try:
        with open(path, "rb") as f:
            data = f.read(length + 1)
    except OSError as error:
        check(False, f"{path}: cannot read: {error.strerror}")
        return None
    if not check(len(data) == length,
                 f"{path}: {'more than ' if len(data) > length else ''}{len(data)} bytes, expected {length}"):
        return None
    return Bitmap(str(path), key, data)


def surround_is_one_border_area(bmp):
    todo = [(x, y) for y in range(bmp.height) for x in range(bmp.width)
            if bmp.black[y][x] and (x in (0, bmp.width - 1) or y in (0, bmp.height - 1))]
    seen = set(todo)
    while todo:
        x, y = todo.pop()
        for n in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)):
            if 0 <= n[0] < bmp.width and 0 <= n[1] < bmp.height and bmp.black[n[1]][n[0]] and n not in seen:
                seen.add(n)
                todo.append(n)
    return len(seen) == sum(map(sum, bmp.black))


def check_quadrant(b):
    bg = b.get(("quadrant", 200))
    if bg:
        check(all(bg.black[y][x] for y in range(3) for x in range(180)), f"{bg.name}: rows 0-2 not black")
        check(all(bg.black[y][x] for y in range(400) for x in range(140, 180)),
              f"{bg.name}: black missing right of the painted parts")
        for x0, x1, y0, y1 in [(29, 37, 8, 105), (54, 62, 8, 105), (18, 27, 258, 391),
                               (45, 54, 258, 391), (71, 80, 258, 391), (96, 105, 258, 391)]:
            mid = bg.rgb((x0 + x1) // 2, (y0 + y1) // 2)
            check(max(mid) <= 30 and not bg.black[(y0 + y1) // 2][(x0 + x1) // 2],
                  f"{bg.name}: slot x {x0}-{x1} is not a near-black channel ({mid})")
            check(min(bg.rgb(x0, (y0 + y1) // 2)) >= 110, f"{bg.name}: slot x {x0}-{x1} has no light rim")

    placed = {}
    for rid, (knob, stem, (px, py), rise, slot, column) in LEVERS.items():
        lv = b.get(("quadrant", rid))
        if not lv:
            continue
        name = lv.name
        check(surround_is_one_border_area(lv), f"{name}: surround is not one area joined to the border")
        painted = lv.painted()
        if not check(painted, f"{name}: nothing painted, no knob or stem"):
            continue
        xs = [p[0] for p in painted]
        ys = [p[1] for p in painted]
        box = (min(xs), max(xs), min(ys), max(ys))
        check(box == (min(knob[0], stem[0]), knob[1], knob[2], knob[3]),
              f"{name}: painted area {box}, expected knob {knob} and stem {stem}")
        for x in range(stem[0], stem[1] + 1):
            rows = [y for y in range(lv.height) if (x, y) in painted]
            if check(rows, f"{name}: stem column {x} is empty"):
                check((min(rows), max(rows)) == (stem[2], stem[3]), f"{name}: stem column {x} spans rows {rows[0]}-{rows[-1]}")
        grey = lv.rgb(stem[0], (stem[2] + stem[3]) // 2)
        check(all(70 <= c <= 90 for c in grey), f"{name}: stem is {grey}, not mid grey")
        knob_top = lv.rgb((knob[0] + knob[1]) // 2, knob[2] + (knob[3] - knob[2]) // 5)
        knob_low = lv.rgb((knob[0] + knob[1]) // 2, knob[3] - (knob[3] - knob[2]) // 5)
        check(sum(knob_top) > sum(knob_low), f"{name}: knob not lit from above")
        for setting, dy in (("setting 0", 0), ("full setting", rise)):
            left = px + stem[0]
            middle = py - dy + (stem[2] + stem[3]) / 2
            check(slot[0] <= left <= slot[1], f"{name}: stem starts at x {left}, outside its slot at {setting}")
            check(SLOT_ROWS[rid][0] - 5 <= middle <= SLOT_ROWS[rid][1],
                  f"{name}: stem at row {middle} beyond its slot at {setting}")
        knob_pixels = {(px + x, py + y) for x, y in painted if x > stem[1]}
        check(all(column[0] <= x <= column[1] for x, _ in knob_pixels), f"{name}: knob leaves its mouse column")
        placed[rid] = knob_pixels
    for left, right in PAIRS:
        if left in placed and right in placed:
            check(not (placed[left] & placed[right]),
                  f"{b[('quadrant', left)].name} and {b[('quadrant', right)].name}: knobs overlap")
    knob_colours = {300: lambda c: c[0] > 2 * c[2], 500: lambda c: c[2] > 2 * c[0], 700: lambda c: c[0] > c[1] > c[2]}
    for rid, test in knob_colours.items():
        if rid in placed:
            knob = LEVERS[rid][0]
            lv = b[("quadrant", rid)]
            c = lv.rgb((knob[0] + knob[1]) // 2, (knob[2] + knob[3]) // 2)
            check(test(c), f"{lv.name}: knob body colour {c} is off")


def check_ammeter(b):
    bg, needle, plate = b.get(("ammeter", 200)), b.get(("ammeter", 300)), b.get(("ammeter", 400))
    if bg:
        check(all(bg.black[y][x] for y in range(224, 310) for x in (0, 20, 200, 223)), f"{bg.name}: panel strip not black")
        check(bg.black[0][0] and bg.black[223][223] and not bg.black[112][0], f"{bg.name}: chamfers wrong")
        check(max(bg.rgb(111, 112)) < 48, f"{bg.name}: dial face not near-black")
        for x, y in [(29, 90), (65, 56), (112, 43), (159, 56), (193, 90)]:
            near = [bg.rgb(x + dx, y + dy) for dx in range(-2, 3) for dy in range(-2, 3)]
            check(any(min(c) > 150 for c in near), f"{bg.name}: no scale tick near ({x}, {y})")

    if needle:  # hub centred on (6, 6), 1-px tip at (103, 6)
        check(not needle.black[6][0] and not needle.black[6][12] and not needle.black[0][6] and not needle.black[12][6],
              f"{needle.name}: hub is not 13 px across")
        check(not needle.black[6][103] and needle.black[5][103] and needle.black[7][103], f"{needle.name}: tip wrong")
        check(needle.black[0][103] and needle.black[0][50], f"{needle.name}: blade too wide")
        blade = needle.rgb(60, 6)
        check(blade[0] > 200 and blade[2] < 120, f"{needle.name}: blade {blade} not orange")

    if plate:  # repaints (23, 125)-(198, 203); black above its humped edge; hides the hub
        check(plate.black[7][0] and plate.black[7][175] and not plate.black[8][0] and not plate.black[8][175],
              f"{plate.name}: edge at the sides is not between rows 7 and 8")
        spans = {}
        for row in (1, 7):
            cols = [x for x in range(176) if not plate.black[row][x]]
            spans[row] = (min(cols), max(cols)) if cols else None
        check(spans[7] and abs(spans[7][0] - 65) <= 3 and abs(spans[7][1] - 111) <= 3, f"{plate.name}: row 7 spans {spans[7]}")
        check(spans[1] and abs(spans[1][0] - 86) <= 3 and abs(spans[1][1] - 94) <= 3, f"{plate.name}: row 1 spans {spans[1]}")
        check(all(plate.black[0][x] for x in range(176)), f"{plate.name}: row 0 not black")
        hub = [(112 + dx, 140 + dy) for dx in range(-6, 7) for dy in range(-6, 7) if dx * dx + dy * dy <= 42]
        check(all(not plate.black[y - 125][x - 23] for x, y in hub), f"{plate.name}: does not hide the needle's hub")
    if plate and bg:
        diffs = sorted(max(abs(p - q) for p, q in zip(plate.rgb(x, y), bg.rgb(x + 23, y + 125)))
                       for x, y in plate.painted())
        if check(diffs, f"{plate.name}: nothing painted to match {bg.name}"):
            check(diffs[int(len(diffs) * 0.98)] <= 8 and diffs[len(diffs) // 2] <= 3,
                  f"{plate.name}: does not match {bg.name} (median {diffs[len(diffs) // 2]}, max {diffs[-1]})")

    # switches at (103, 244): nut on the painted mounting, black where the lever is not
    for rid, blank_rows, nut_rows in ((500, range(33, 56), (19, 32)), (503, range(0, 18), (18, 30))):
        sw = b.get(("ammeter", rid))
        if not sw:
            continue
        check(all(sw.black[y][x] for y in blank_rows for x in range(sw.width)),
              f"{sw.name}: rows {blank_rows.start}-{blank_rows.stop - 1} not black")
        nut = [(x, y) for x, y in sw.painted() if nut_rows[0] <= y <= nut_rows[1]]
        rows = [y for _, y in nut]
        if check(rows, f"{sw.name}: no nut in rows {nut_rows[0]}-{nut_rows[1]}"):
            check((min(rows), max(rows)) == nut_rows, f"{sw.name}: nut rows {min(rows)}-{max(rows)}")
        check(all((103 + x - 112) ** 2 + (244 + y - 273) ** 2 <= 18 ** 2 for x, y in nut),
              f"{sw.name}: nut is off the painted mounting")
        edge_row = 0 if rid == 500 else sw.height - 1
        check(any(y == edge_row for _, y in sw.painted()), f"{sw.name}: knob does not reach the edge")


def main():
    if len(sys.argv) > 2:
        print("usage: check_bitmaps.py [ROOT]", file=sys.stderr)
        return 2
    root = Path(sys.argv[1] if len(sys.argv) > 1 else ".")
    # The bitmaps that could be read; every check that needs one that could not is left out,
    # since that file has its failure already.
    bitmaps = {}
    for key in FORMAT:
        bitmap = read_bitmap(root / key[0] / "bitmaps" / f"{key[1]}.bmp", key)
        if bitmap:
            bitmaps[key] = bitmap
    read = list(bitmaps.values())
    for i, a in enumerate(read):
        for other in read[:i]:
            check(a.palette != other.palette, f"{a.name} and {other.name} share a palette")
    check_quadrant(bitmaps)
    check_ammeter(bitmaps)
    for f in failures:
        print("FAIL:", f)
    print("bitmaps: all checks passed" if not failures else f"bitmaps: {len(failures)} problem(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
