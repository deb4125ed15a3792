"""`gauge_preview` on damaged module files and in a hostile process environment.

Usage: hostile_files_test.py TOOL BIN_FOLDER

Damaged files are made here from the built tiny gauge, each with one structure the system loader
trusts made wrong (found with pyelftools); each must get one line saying the loader rejects it and
which check failed, never the loader's own message, its exit status 127 or its crash. The process
tests close or fill the tool's output, ignore SIGCHLD before starting it, and kill it while its
module hangs.
"""
import os
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

from elftools.elf.elffile import ELFFile

TOOL = None
BIN = None


def module(name):
    return os.path.join(BIN, name + ".so")


def run(*arguments, **options):
    return subprocess.run([TOOL, *arguments], capture_output=True, text=True, timeout=60, **options)


class DamagedFiles(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        with open(module("tiny_gauge"), "rb") as file:
            self.original = file.read()
            file.seek(0)
            elf = ELFFile(file)
            self.gnu_hash = elf.get_section_by_name(".gnu.hash")["sh_offset"]
            self.resources = elf.get_section_by_name(".gauge_resources")["sh_offset"]
            dynamic = elf.get_section_by_name(".dynamic")
            index, tag = next((index, tag) for index, tag in enumerate(dynamic.iter_tags()) if tag.entry.d_tag == "DT_RELCOUNT")
            self.relocation_count = dynamic["sh_offset"] + index * 8 + 4
            self.first_not_relative = tag.entry.d_val
            index = next(index for index, tag in enumerate(dynamic.iter_tags()) if tag.entry.d_tag == "DT_SYMTAB")
            self.symbol_table_address = dynamic["sh_addr"] + index * 8 + 4
            self.first_relocation = elf.get_section_by_name(".rel.dyn")["sh_offset"]

    def tearDown(self):
        self.folder.cleanup()

    def damaged(self, name, offset, word):
        data = bytearray(self.original)
        struct.pack_into("<I", data, offset, word)
        path = os.path.join(self.folder.name, name + ".so")
        with open(path, "wb") as file:
            file.write(data)
        return path

    def test_each_damage_gets_one_line_naming_the_check_the_loader_would_fail(self):
        cases = [
            # The loader asserts the filter size is a power of two and ends the process (127).
            ("bloom_size", self.gnu_hash + 8, 3, "the loader rejects it: its GNU hash table's filter size is not a power of two"),
            # The loader divides by the bucket count and crashes.
            ("no_buckets", self.gnu_hash, 0, "the loader rejects it: its GNU hash table has no buckets"),
            # The loader asserts the first DT_RELCOUNT relocations are relative ones (127).
            ("relocation_count", self.relocation_count, 1000,
             f"the loader rejects it: its relocation count says relocation {self.first_not_relative} is relative, and it is not"),
            # The loader keeps reading its dynamic section after relocating: a relocation aimed at the
            # symbol table's address there makes it look symbols up in the wrong place and crash.
            ("relocation_into_dynamic_section", self.first_relocation, self.symbol_table_address,
             "the loader rejects it: a relocation writes into the loader's own tables of the module (its dynamic section, "
             "symbols, names, hash tables or relocations)"),
            # Not the loader's, but the host's: the error names the file and the fault.
            ("resource_header", self.resources + 4, 0xFFFF, "its resource section is damaged: an entry at byte 0 runs past its end"),
        ]
        for name, offset, word, message in cases:
            path = self.damaged(name, offset, word)
            for command in (["inspect", path], ["render", path, "--out", path + ".png"]):
                with self.subTest(damage=name, command=command[0]):
                    result = run(*command)
                    self.assertEqual(result.returncode, 1, result.stderr)
                    self.assertEqual(result.stdout, "")
                    self.assertEqual(result.stderr, f"gauge_preview: {path}: {message}\n")


class ProcessAround(unittest.TestCase):
    def test_a_closed_output_is_a_write_error_not_a_crash(self):
        reader, writer = os.pipe()
        os.close(reader)
        result = subprocess.run([TOOL, "inspect", module("quadrant_gauge")], stdout=writer, stderr=subprocess.PIPE,
                                text=True, timeout=60)
        os.close(writer)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr, f"gauge_preview: {module('quadrant_gauge')}: cannot write the output: Broken pipe\n")

    def test_a_full_output_is_a_write_error(self):
        cases = [(["inspect", module("quadrant_gauge")], "cannot write the output: No space left on device"),
                 (["render", module("quadrant_gauge"), "--out", "/dev/full"], "/dev/full: writing the PNG failed: No space left on device")]
        for arguments, message in cases:
            with self.subTest(command=arguments[0]), open("/dev/full", "w") as full:
                result = subprocess.run([TOOL, *arguments], stdout=full, stderr=subprocess.PIPE, text=True, timeout=60)
                self.assertEqual(result.returncode, 1)
                self.assertIn(message, result.stderr)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)

    def test_an_ignored_sigchld_changes_nothing(self):
        result = run("inspect", module("tiny_gauge"), preexec_fn=lambda: signal.signal(signal.SIGCHLD, signal.SIG_IGN))
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("  ok      host contract at install", result.stdout)

    def test_killing_the_tool_ends_its_worker(self):
        tool = subprocess.Popen([TOOL, "inspect", module("broken_gauge_endless_install"), "--time-limit", "600"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            workers = []
            for _ in range(200):
                workers = children_of(tool.pid)
                if workers:
                    break
                time.sleep(0.05)
            self.assertTrue(workers, "the tool started no worker")
            tool.send_signal(signal.SIGTERM)
            tool.wait(timeout=10)
            for _ in range(200):
                if not any(alive(worker) for worker in workers):
                    break
                time.sleep(0.05)
            self.assertFalse(any(alive(worker) for worker in workers), "the worker outlived the tool")
        finally:
            tool.kill()
            tool.wait()


def children_of(pid):
    children = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat") as stat:
                    fields = stat.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if int(fields[1]) == pid:
                children.append(int(entry))
    return children


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


if __name__ == "__main__":
    TOOL, BIN = sys.argv[1], sys.argv[2]
    del sys.argv[1:3]
    unittest.main(verbosity=2)
