"""Damaged variants of a small gauge module through `gauge_preview inspect` and `render`.

Usage: fuzz_modules.py TOOL MODULE [--variants N] [--seed S] [--jobs J] [--keep FOLDER]

Each variant is MODULE with a few bytes changed in one of its parts: the ELF header, the program
headers, the dynamic section and the tables it names, the resource section, or the records in
its data. Every run must end with status 0 or 1, within its time limit and its memory limit,
print every error line as "gauge_preview: VARIANT: ..." and no line twice: no signal, no
time-out, no status 127 from the system loader, no trace of the loader or the emulator. The
seed fixes the variants, so a run repeats exactly. At the end it prints the outcomes by kind.
"""
import argparse
import collections
import concurrent.futures
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import threading

from elftools.elf.elffile import ELFFile

TIME_LIMIT = 10          # seconds the tool gives the module (--time-limit)
WALL_LIMIT = 60          # seconds a run may take in all, under emulation
MEMORY_LIMIT_KIB = 256 * 1024

INTERESTING_WORDS = [0, 1, 2, 4, 0x7F, 0x80, 0xFF, 0x100, 0x1000, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000,
                     0xFFFFFFFF, 0xFFFFFFFE, 0x40000000]


def parts_of(path):
    """The module's parts to damage, as (name, first byte, end) in the file."""
    with open(path, "rb") as file:
        elf = ELFFile(file)
        parts = [("ELF header", 0, elf["e_ehsize"]),
                 ("program headers", elf["e_phoff"], elf["e_phoff"] + elf["e_phnum"] * elf["e_phentsize"])]
        for segment in elf.iter_segments():
            if segment["p_type"] == "PT_DYNAMIC":
                parts.append(("dynamic section", segment["p_offset"], segment["p_offset"] + segment["p_filesz"]))
        for name, part in ((".dynsym", "symbol table"), (".dynstr", "string table"), (".gnu.hash", "hash table"),
                           (".rel.dyn", "relocations"), (".gauge_resources", "resource section"),
                           (".data", "records"), (".data.rel.ro", "records")):
            section = elf.get_section_by_name(name)
            if section is not None and section["sh_size"] > 0:
                parts.append((part, section["sh_offset"], section["sh_offset"] + section["sh_size"]))
    return parts


def damage(data, part, rng):
    """Changes one to four places of `part` in `data`; returns what it did."""
    name, first, end = part
    changes = []
    for _ in range(rng.randint(1, 4)):
        kind = rng.choice(["bit", "byte", "word", "nudge"])
        if kind in ("word", "nudge") and end - first >= 4:
            at = first + rng.randrange(0, (end - first) // 4) * 4
            old = struct.unpack_from("<I", data, at)[0]
            new = rng.choice(INTERESTING_WORDS) if kind == "word" else (old + rng.choice([-16, -4, -1, 1, 4, 16, 0x1000])) & 0xFFFFFFFF
            struct.pack_into("<I", data, at, new)
            changes.append(f"{name} word at {at:#x}: {old:#x} -> {new:#x}")
        else:
            at = rng.randrange(first, end)
            old = data[at]
            data[at] = old ^ (1 << rng.randrange(8)) if kind == "bit" else rng.randrange(256)
            changes.append(f"{name} byte at {at:#x}: {old:#x} -> {data[at]:#x}")
    return changes


def run(arguments):
    """Runs the tool; returns its status, output, error lines and peak memory in KiB."""
    process = subprocess.Popen(arguments, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    output = {}

    def drain(stream, key):
        output[key] = stream.read().decode("utf-8", "replace")

    readers = [threading.Thread(target=drain, args=(process.stdout, "out")),
               threading.Thread(target=drain, args=(process.stderr, "err"))]
    for reader in readers:
        reader.start()
    timer = threading.Timer(WALL_LIMIT, process.kill)
    timer.start()
    _, status, usage = os.wait4(process.pid, 0)
    timed_out = not timer.is_alive()
    timer.cancel()
    process.returncode = os.waitstatus_to_exitcode(status)
    for reader in readers:
        reader.join()
    return process.returncode, output["out"], output["err"], usage.ru_maxrss, timed_out


def faults_of(variant_path, status, out, err, peak, timed_out):
    """What breaks the tool's promise in one run, as texts; none for a sound outcome."""
    faults = []
    if timed_out:
        faults.append("timed out")
    if status < 0:
        faults.append(f"ended by signal {-status}")
    elif status not in (0, 1):
        faults.append(f"exit status {status}")
    if peak > MEMORY_LIMIT_KIB:
        faults.append(f"used {peak // 1024} MiB")
    lines = [line for line in err.splitlines() if line]
    prefix = f"gauge_preview: {variant_path}: "
    for line in lines:
        if not line.startswith(prefix):
            faults.append(f"an error line that does not name the module: {line!r}")
    for line in set(lines):
        if lines.count(line) > 1:
            faults.append(f"an error line twice: {line!r}")
    failed = [line for line in out.splitlines() if line.startswith("  FAILED  ")]
    for line in set(failed):
        if failed.count(line) > 1:
            faults.append(f"a failed check twice: {line!r}")
    if status == 1 and not lines and not failed:
        faults.append("status 1 without a word why")
    return faults


def verdict_kind(status, out, err):
    if status == 0:
        return "passed"
    first = err.splitlines()[0] if err.strip() else ""
    for kind in ("the loader rejects it", "not loaded", "not a gauge module", "check failed", "crashed the host",
                 "ended the host process", "did not finish", "its resource", "cannot be read"):
        if kind in first:
            return kind
    if "  FAILED  " in out:
        return "failed checks"
    return "other: " + first[:80]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("tool")
    parser.add_argument("module")
    parser.add_argument("--variants", type=int, default=2000)
    parser.add_argument("--seed", type=int, default=20261211)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--keep", help="folder to keep the variants that break a promise in")
    arguments = parser.parse_args()

    original = open(arguments.module, "rb").read()
    parts = parts_of(arguments.module)
    rng = random.Random(arguments.seed)
    plans = []
    for index in range(arguments.variants):
        data = bytearray(original)
        part = parts[index % len(parts)]
        plans.append((index, part[0], damage(data, part, rng), bytes(data)))

    work = tempfile.mkdtemp(prefix="gauge_fuzz_")
    outcomes = collections.Counter()
    broken = []
    lock = threading.Lock()

    def attempt(plan):
        index, part, changes, data = plan
        path = os.path.join(work, f"variant_{index:05d}.so")
        with open(path, "wb") as file:
            file.write(data)
        results = []
        for command in (["inspect", path], ["render", path, "--out", path + ".png"]):
            status, out, err, peak, timed_out = run([arguments.tool] + command + ["--time-limit", str(TIME_LIMIT)])
            faults = faults_of(path, status, out, err, peak, timed_out)
            results.append((command[0], verdict_kind(status, out, err), faults, err))
        with lock:
            for command, kind, faults, err in results:
                outcomes[(command, part, kind)] += 1
                if faults:
                    broken.append((index, command, changes, faults, err))
                    if arguments.keep:
                        os.makedirs(arguments.keep, exist_ok=True)
                        shutil.copy(path, os.path.join(arguments.keep, os.path.basename(path)))
        for name in (path, path + ".png"):
            if os.path.exists(name):
                os.remove(name)

    try:
        with concurrent.futures.ThreadPoolExecutor(arguments.jobs) as pool:
            list(pool.map(attempt, plans))
    finally:
        shutil.rmtree(work, ignore_errors=True)

    print(f"{arguments.variants} variants of {os.path.basename(arguments.module)}, seed {arguments.seed}, "
          f"each through inspect and render")
    for (command, part, kind), count in sorted(outcomes.items()):
        print(f"  {command:8} {part:17} {kind:24} {count}")
    kinds = collections.Counter(fault.split(":")[0] for _, _, _, faults, _ in broken for fault in faults)
    for kind, count in kinds.most_common():
        print(f"  broken: {kind}: {count}")
    for index, command, changes, faults, err in broken[:20]:
        print(f"BROKEN variant {index} ({command}): {'; '.join(faults[:3])}")
        print(f"    changes: {'; '.join(changes)}")
        for line in err.splitlines()[:3]:
            print(f"    {line}")
    print(f"{len(broken)} runs broke a promise")
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
