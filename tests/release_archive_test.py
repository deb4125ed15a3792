"""The release archive as a person installing the gauges gets it.

Usage: release_archive_test.py ARCHIVE BUILD_BIN

It must hold exactly the two DLLs, the preview tool, INSTALL.md, LICENSE and SHA256SUMS in one
folder named like the archive; its DLLs must be the build's own, byte for byte; `sha256sum -c`
must pass inside it; INSTALL.md must carry both datasheets; and both DLLs must pass the binary
checks of a gauge module.
"""
import os
import subprocess
import sys
import tempfile
import unittest
import zipfile

ARCHIVE = None
BIN = None
HERE = os.path.dirname(os.path.abspath(__file__))
FILES = {"quadrant_gauge.dll", "ammeter_gauge.dll", "gauge_preview.exe", "INSTALL.md", "LICENSE", "SHA256SUMS"}
DLL_SECTIONS = [".text", ".data", ".rdata", ".edata", ".idata", ".rsrc", ".reloc"]


class ReleaseArchive(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.top = os.path.splitext(os.path.basename(ARCHIVE))[0]
        with zipfile.ZipFile(ARCHIVE) as archive:
            self.names = [info.filename for info in archive.infolist() if not info.is_dir()]
            archive.extractall(self.folder.name)
        self.unpacked = os.path.join(self.folder.name, self.top)

    def tearDown(self):
        self.folder.cleanup()

    def test_holds_exactly_the_release_files_in_one_folder(self):
        self.assertRegex(self.top, r"^twin-engine-gauges-\d+\.\d+\.\d+-win32$")
        self.assertEqual(sorted(self.names), sorted(f"{self.top}/{name}" for name in FILES))

    def test_its_dlls_are_the_builds_own(self):
        for name in ("quadrant_gauge.dll", "ammeter_gauge.dll", "gauge_preview.exe"):
            with self.subTest(name), open(os.path.join(self.unpacked, name), "rb") as packed, \
                    open(os.path.join(BIN, name), "rb") as built:
                self.assertEqual(packed.read(), built.read())

    def test_every_sum_checks_out(self):
        result = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=self.unpacked, capture_output=True, text=True)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(sorted(line.split(":")[0] for line in result.stdout.splitlines()), sorted(FILES - {"SHA256SUMS"}))

    def test_install_notes_carry_both_datasheets(self):
        with open(os.path.join(self.unpacked, "INSTALL.md"), encoding="utf-8") as notes:
            text = notes.read()
        for expected in ("## Varn Throttle Quadrant", "| size | 180 x 400 pixels", "sends event 0x1011C (65820)",
                         "## Varn Ammeter", "| size | 224 x 310 pixels", "host variable 171: bound when the gauge is installed",
                         "gauge_preview.exe inspect"):
            self.assertIn(expected, text)
        self.assertNotIn("@", text, "a placeholder of the template was left")

    def test_both_dlls_pass_the_binary_checks(self):
        for name in ("quadrant_gauge.dll", "ammeter_gauge.dll"):
            with self.subTest(name):
                result = subprocess.run([sys.executable, os.path.join(HERE, "check_module_binary.py"),
                                         os.path.join(self.unpacked, name), *DLL_SECTIONS], capture_output=True, text=True)
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)


if __name__ == "__main__":
    ARCHIVE, BIN = sys.argv[1], sys.argv[2]
    del sys.argv[1:3]
    unittest.main(verbosity=2)
