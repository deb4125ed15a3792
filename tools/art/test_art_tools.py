"""Tests of the artwork tools on damaged and unusual input.

The checker runs on copies of the committed bitmaps with one file damaged; the converter runs on
tiny SVGs and manifests written here. Every bad input must give one-line verdicts that name the
file, and exit status 1, never a traceback, a crash or half the bitmaps of a run.

    /usr/bin/python3 -m unittest discover -s tools/art -p 'test_*.py'

The converter is the one ART_CONVERT names, or else built in a temporary folder (the art
toolchain: tools/install-deps.sh art). Standard library only.
"""
import os
import shutil
import struct
import subprocess
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
CHECKER = HERE / "check_bitmaps.py"
REPOSITORY = HERE.parent.parent
PYTHON = "/usr/bin/python3"
PIXEL_OFFSET = 14 + 40 + 256 * 4

converter = None
build_folder = None


def setUpModule():
    global converter, build_folder
    if os.environ.get("ART_CONVERT"):
        converter = os.environ["ART_CONVERT"]
        return
    build_folder = tempfile.mkdtemp(prefix="art-convert-")
    subprocess.run(["cmake", "-S", str(HERE), "-B", build_folder, "-DCMAKE_BUILD_TYPE=Release"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", build_folder], check=True, stdout=subprocess.DEVNULL)
    converter = str(Path(build_folder) / "art_convert")


def tearDownModule():
    if build_folder:
        shutil.rmtree(build_folder)


class ToolRun(unittest.TestCase):
    """A temporary ROOT folder per test, and the tools run on it."""

    def setUp(self):
        self.root = Path(tempfile.mkdtemp(prefix="art-test-"))
        self.addCleanup(shutil.rmtree, self.root)

    def run_tool(self, *command):
        return subprocess.run([str(c) for c in command], capture_output=True, text=True, timeout=120)

    def assertRefused(self, run, *names):
        """Exit status 1 and one error line that names each of `names`."""
        self.assertEqual(run.returncode, 1, run.stdout + run.stderr)
        lines = run.stderr.splitlines()
        self.assertEqual(len(lines), 1, run.stderr)
        self.assertTrue(lines[0].startswith("art_convert: "), lines[0])
        for name in names:
            self.assertIn(str(name), lines[0])


class CheckerOnDamagedBitmaps(ToolRun):
    def setUp(self):
        super().setUp()
        for module in ("quadrant", "ammeter"):
            shutil.copytree(REPOSITORY / module / "bitmaps", self.root / module / "bitmaps")

    def check(self):
        return self.run_tool(PYTHON, CHECKER, self.root)

    def test_each_damaged_file_gets_fail_lines_that_name_it(self):
        intact = self.check()
        self.assertEqual(intact.returncode, 0, intact.stdout + intact.stderr)

        def all_black(data):  # every pixel at entry 0, the pure black of these two bitmaps
            return data[:PIXEL_OFFSET] + bytes(len(data) - PIXEL_OFFSET)

        damage = [
            ("empty file", "quadrant/bitmaps/200.bmp", lambda data: b""),
            ("cut inside the information header", "ammeter/bitmaps/300.bmp", lambda data: data[:30]),
            ("cut inside the pixel rows", "quadrant/bitmaps/200.bmp", lambda data: data[:-100]),
            ("every pixel pure black, lever", "quadrant/bitmaps/300.bmp", all_black),
            ("every pixel pure black, plate", "ammeter/bitmaps/400.bmp", all_black),
            ("missing", "ammeter/bitmaps/503.bmp", None),
        ]
        for what, name, change in damage:
            with self.subTest(what, file=name):
                path = self.root / name
                original = path.read_bytes()
                if change:
                    path.write_bytes(change(original))
                else:
                    path.unlink()
                run = self.check()
                path.write_bytes(original)
                self.assertEqual(run.returncode, 1, run.stdout)
                self.assertEqual(run.stderr, "")
                fails = [line for line in run.stdout.splitlines() if line.startswith("FAIL: ")]
                self.assertTrue(any(str(path) in line for line in fails), run.stdout)
                self.assertEqual(len(fails), len(set(fails)), "a failed check reported twice")


def svg(width, height, body):
    return (f'<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 {width} {height}" '
            f'width="{width}" height="{height}">{body}</svg>')


def read_bmp(path):
    """(palette as (r, g, b) triples, rows of palette indices top row first) of an 8-bit BMP."""
    data = path.read_bytes()
    width, height = struct.unpack_from("<ii", data, 18)
    palette = [(data[54 + 4 * i + 2], data[54 + 4 * i + 1], data[54 + 4 * i]) for i in range(256)]
    stride = (width + 3) // 4 * 4
    rows = [list(data[PIXEL_OFFSET + (height - 1 - y) * stride:][:width]) for y in range(height)]
    return palette, rows


class ConverterOnFlatPictures(ToolRun):
    # A picture of few flat colours leaves most of the palette to fill. Each case: SVG body,
    # kind, pure-black entries (the first is the one the surround uses), and the pixels
    # expected, "." the surround and letters the colours of LEGEND.
    LEGEND = {"B": (0x30, 0x70, 0xC0), "W": (255, 255, 255), "R": (0xC0, 0x20, 0x20)}
    CASES = [
        ("one colour over the whole background",
         '<rect width="4" height="3" fill="#3070c0"/>', "background", [255],
         ["BBBB", "BBBB", "BBBB"]),
        ("white and red on a surround, extra black entries",
         '<rect x="1" y="1" width="2" height="2" fill="#ffffff"/>'
         '<rect x="1" y="2" width="2" height="1" fill="#c02020"/>', "lever", [0, 240, 241],
         ["....", ".WW.", ".RR."]),
        ("a sprite painted all over in one colour", '<rect width="4" height="3" fill="#ffffff"/>',
         "sprite", [254], ["WWWW", "WWWW", "WWWW"]),
        ("nothing painted", "", "sprite", [7], ["....", "....", "...."]),
    ]

    def test_each_gets_a_full_palette_of_distinct_colours_and_its_exact_pixels(self):
        for what, body, kind, black, expected in self.CASES:
            with self.subTest(what):
                art = self.root / "flat" / "art"
                art.mkdir(parents=True, exist_ok=True)
                (art / "picture.svg").write_text(svg(4, 3, body))
                extra = ",".join(map(str, black[1:])) or "-"
                manifest = self.root / "manifest.txt"
                manifest.write_text(f"flat 1 picture.svg 4 3 2834 {kind} {black[0]} {extra}\n")
                run = self.run_tool(converter, manifest, self.root)
                self.assertEqual(run.returncode, 0, run.stderr)
                target = self.root / "flat" / "bitmaps" / "1.bmp"
                self.assertEqual(os.listdir(target.parent), ["1.bmp"], "a temporary left behind")
                palette, rows = read_bmp(target)
                self.assertEqual([i for i, c in enumerate(palette) if c == (0, 0, 0)], black)
                others = [c for c in palette if c != (0, 0, 0)]
                self.assertEqual(len(set(others)), len(others), "a colour repeated")
                pixels = ["".join("." if i == black[0] else
                                  next((k for k, v in self.LEGEND.items() if v == palette[i]), "?")
                                  for i in row) for row in rows]
                self.assertEqual(pixels, expected)


def shaded_svg(start, end):
    """A sprite of many colours: a gradient rectangle on a one-pixel surround, 16 x 8."""
    return svg(16, 8, f'<linearGradient id="g"><stop offset="0" stop-color="{start}"/>'
                      f'<stop offset="1" stop-color="{end}"/></linearGradient>'
                      '<rect x="1" y="1" width="14" height="6" fill="url(#g)"/>')


class ConverterOnBadInput(ToolRun):
    GOOD_LINE = "m 1 picture.svg 16 8 2834 sprite 0 -"

    def setUp(self):
        super().setUp()
        (self.root / "m" / "art").mkdir(parents=True)
        (self.root / "m" / "art" / "picture.svg").write_text(shaded_svg("#ff2000", "#2000ff"))
        self.manifest = self.root / "manifest.txt"

    def test_a_bad_manifest_line_is_one_error_naming_its_file_line_and_field(self):
        # The bad line is line 3, after a comment and a good line.
        cases = [
            ("m 2 picture.svg 16 8 2834 sprite 0 240,x", "extra"),
            ("m 2 picture.svg 16 8 2834 sprite 0 240,99999999999", "extra"),
            ("m 2 picture.svg 16 8 2834 sprite 0 240,,241", "extra"),
            ("m 2 picture.svg 16 8 2834 sprite 0 240,0", "extra"),
            ("m 2x picture.svg 16 8 2834 sprite 0 -", "id"),
            ("m 2 picture.svg 16 8 2834 sprite 256 -", "black"),
            ("m 2 picture.svg 100000 8 2834 sprite 0 -", "width"),
            ("m 2 picture.svg 16 8 2834 sprite 0 - surplus", "9 fields"),
            ("m 2 ../picture.svg 16 8 2834 sprite 0 -", "svg"),
            (".. 2 picture.svg 16 8 2834 sprite 0 -", "module"),
            ("m 1 picture.svg 16 8 2834 sprite 0 -", "already named at"),
        ]
        for line, field in cases:
            with self.subTest(line):
                self.manifest.write_text(f"# bitmaps\n{self.GOOD_LINE}\n{line}\n")
                run = self.run_tool(converter, self.manifest, self.root)
                self.assertRefused(run, f"{self.manifest}:3: ", field)
                self.assertFalse((self.root / "m" / "bitmaps").exists())

    def test_a_bad_svg_is_one_error_naming_the_svg_file(self):
        cases = [
            ("not well-formed XML", "<svg"),
            ("the wrong size", svg(15, 8, "")),
        ]
        for what, text in cases:
            with self.subTest(what):
                bad = self.root / "m" / "art" / "bad.svg"
                bad.write_text(text)
                self.manifest.write_text(f"{self.GOOD_LINE}\nm 2 bad.svg 16 8 2834 sprite 0 -\n")
                self.assertRefused(self.run_tool(converter, self.manifest, self.root), bad, f"{self.manifest}:2")

    def test_a_run_that_cannot_write_its_second_bitmap_writes_none(self):
        old = b"the bitmap of an earlier run"

        def target_is_a_folder():
            (self.root / "n" / "bitmaps" / "2.bmp").mkdir(parents=True)
            return self.root / "n" / "bitmaps" / "2.bmp"

        def bitmaps_folder_is_a_file():
            (self.root / "n" / "bitmaps").write_bytes(b"")
            return self.root / "n" / "bitmaps"

        for block in (target_is_a_folder, bitmaps_folder_is_a_file):
            with self.subTest(block.__name__):
                shutil.rmtree(self.root / "n", ignore_errors=True)
                (self.root / "n" / "art").mkdir(parents=True)
                (self.root / "n" / "art" / "picture.svg").write_text(shaded_svg("#20ff00", "#ffff80"))
                first = self.root / "m" / "bitmaps" / "1.bmp"
                first.parent.mkdir(exist_ok=True)
                first.write_bytes(old)
                blocked = block()
                self.manifest.write_text(f"{self.GOOD_LINE}\nn 2 picture.svg 16 8 2834 sprite 0 -\n")
                self.assertRefused(self.run_tool(converter, self.manifest, self.root), blocked)
                self.assertEqual(first.read_bytes(), old)
                self.assertEqual(os.listdir(first.parent), ["1.bmp"], "a temporary left behind")


if __name__ == "__main__":
    unittest.main()
