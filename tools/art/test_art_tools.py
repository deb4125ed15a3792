"""Tests of the artwork tools on damaged and unusual input.

The checker runs on copies of the committed bitmaps with one file damaged. Every bad input must
give one-line verdicts that name the file, and exit status 1, never a traceback.

    /usr/bin/python3 -m unittest discover -s tools/art -p 'test_*.py'

Standard library only.
"""
import shutil
import subprocess
import tempfile
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
CHECKER = HERE / "check_bitmaps.py"
REPOSITORY = HERE.parent.parent
PYTHON = "/usr/bin/python3"
PIXEL_OFFSET = 14 + 40 + 256 * 4


class ToolRun(unittest.TestCase):
    """A temporary ROOT folder per test, and the tools run on it."""

    def setUp(self):
        self.root = Path(tempfile.mkdtemp(prefix="art-test-"))
        self.addCleanup(shutil.rmtree, self.root)

    def run_tool(self, *command):
        return subprocess.run([str(c) for c in command], capture_output=True, text=True, timeout=120)


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


if __name__ == "__main__":
    unittest.main()
