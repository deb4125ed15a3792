"""What the host's loader sees in a built gauge module file, read with ELF and PE libraries.

Usage: check_module_binary.py MODULE_FILE [SECTION...]
  MODULE_FILE  a .so or a .dll
  SECTION      a DLL's sections, in order: all it may hold
"""
import sys
import unittest

MODULE = None
SECTIONS = []

EXPORTS = {"ImportTable", "Linkage"}


class SharedObject(unittest.TestCase):
    def setUp(self):
        from elftools.elf.elffile import ELFFile
        self.file = open(MODULE, "rb")
        self.elf = ELFFile(self.file)

    def tearDown(self):
        self.file.close()

    def test_is_a_32_bit_i386_shared_object(self):
        self.assertEqual(self.elf.elfclass, 32)
        self.assertEqual(self.elf["e_machine"], "EM_386")
        self.assertEqual(self.elf["e_type"], "ET_DYN")

    def test_exports_exactly_the_two_records_as_writable_data(self):
        from elftools.elf.constants import SH_FLAGS
        symbols = self.elf.get_section_by_name(".dynsym")
        exported = {}
        for symbol in symbols.iter_symbols():
            if symbol["st_shndx"] != "SHN_UNDEF" and symbol.name and symbol["st_info"]["bind"] != "STB_LOCAL":
                exported[symbol.name] = symbol
        self.assertEqual(set(exported), EXPORTS)
        # Sections written only by the loader (RELRO) turn read-only once it is done with them.
        read_only_after_load = [(segment["p_vaddr"], segment["p_vaddr"] + segment["p_memsz"])
                                for segment in self.elf.iter_segments() if segment["p_type"] == "PT_GNU_RELRO"]
        for name, symbol in exported.items():
            for begin, end in read_only_after_load:
                self.assertFalse(begin <= symbol["st_value"] < end, f"{name} becomes read-only after load")
            self.assertEqual(symbol["st_info"]["type"], "STT_OBJECT", name)
            section = self.elf.get_section(symbol["st_shndx"])
            self.assertTrue(section["sh_flags"] & SH_FLAGS.SHF_WRITE, f"{name} is not in writable memory")
            self.assertFalse(section["sh_flags"] & SH_FLAGS.SHF_EXECINSTR, name)
        self.assertEqual(exported["Linkage"]["st_size"], 32)
        self.assertEqual(exported["ImportTable"]["st_size"], 16)

    def test_needs_nothing_beyond_the_c_library(self):
        dynamic = self.elf.get_section_by_name(".dynamic")
        needed = [tag.needed for tag in dynamic.iter_tags() if tag.entry.d_tag == "DT_NEEDED"]
        self.assertLessEqual(set(needed), {"libc.so.6"})

    def test_no_segment_is_both_writable_and_executable(self):
        for segment in self.elf.iter_segments():
            if segment["p_type"] == "PT_LOAD":
                self.assertNotEqual(segment["p_flags"] & 3, 3, "a writable and executable segment")


class WindowsDll(unittest.TestCase):
    def setUp(self):
        import pefile
        self.pefile = pefile
        self.pe = pefile.PE(MODULE)
        self.base = self.pe.OPTIONAL_HEADER.ImageBase
        self.image_end = self.base + self.pe.OPTIONAL_HEADER.SizeOfImage

    def tearDown(self):
        self.pe.close()

    def section_named(self, name):
        return next(s for s in self.pe.sections if s.Name.rstrip(b"\0").decode() == name)

    def test_is_a_32_bit_i386_dll(self):
        self.assertEqual(self.pe.FILE_HEADER.Machine, self.pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"])
        self.assertTrue(self.pe.is_dll())

    def test_exports_exactly_the_two_records_by_name_as_writable_data(self):
        exports = self.pe.DIRECTORY_ENTRY_EXPORT.symbols
        self.assertEqual({symbol.name.decode() for symbol in exports if symbol.name}, EXPORTS)
        for symbol in exports:
            if symbol.address == 0:
                continue  # an unused slot of the address table, which no name reaches
            section = self.pe.get_section_by_rva(symbol.address)
            flags = section.Characteristics
            self.assertTrue(flags & 0x80000000, f"{symbol.name} is not in writable memory")
            self.assertFalse(flags & 0x20000000, f"{symbol.name} lies in code")

    def test_holds_nothing_but_the_gauge(self):
        # No imported library, no thread-local storage, no runtime start-up sections: exactly the
        # sections the gauge's code, data, exports, resources and relocations need.
        imports = getattr(self.pe, "DIRECTORY_ENTRY_IMPORT", [])
        self.assertEqual([entry.dll for entry in imports], [], "the DLL imports a library")
        self.assertFalse(hasattr(self.pe, "DIRECTORY_ENTRY_TLS"), "the DLL has a TLS directory")
        names = [section.Name.rstrip(b"\0").decode() for section in self.pe.sections]
        self.assertEqual(names, SECTIONS)

    def test_entry_point_is_the_modules_own_code(self):
        text = self.section_named(".text")
        entry = self.pe.OPTIONAL_HEADER.AddressOfEntryPoint
        self.assertTrue(text.VirtualAddress <= entry < text.VirtualAddress + text.Misc_VirtualSize,
                        f"the entry point {entry:#x} is not inside .text")

    def test_may_be_relocated_and_its_data_is_not_executable(self):
        characteristics = self.pe.OPTIONAL_HEADER.DllCharacteristics
        self.assertTrue(characteristics & 0x0040, "DYNAMIC_BASE is not set")
        self.assertTrue(characteristics & 0x0100, "NX_COMPAT is not set")
        self.assertTrue(hasattr(self.pe, "DIRECTORY_ENTRY_BASERELOC"), "the DLL has no base relocations")

    def test_every_address_in_its_data_is_relocated(self):
        # A record pointer that the loader does not relocate points into the preferred base after
        # a move: every word of the data sections that holds an address inside the image must be
        # listed in the base relocations, and every relocation must fix such an address.
        relocated = {entry.rva for block in self.pe.DIRECTORY_ENTRY_BASERELOC for entry in block.entries
                     if entry.type == 3}  # IMAGE_REL_BASED_HIGHLOW
        for rva in relocated:
            word = self.pe.get_dword_at_rva(rva)
            self.assertTrue(self.base <= word < self.image_end, f"relocation at {rva:#x} fixes {word:#x}")
        for section in self.pe.sections:
            if section.Name.rstrip(b"\0").decode() not in (".data", ".rdata"):
                continue
            data = section.get_data()[:section.Misc_VirtualSize]
            for offset in range(0, len(data) - 3, 4):
                word = int.from_bytes(data[offset:offset + 4], "little")
                rva = section.VirtualAddress + offset
                if self.base <= word < self.image_end:
                    self.assertIn(rva, relocated, f"the address {word:#x} at {rva:#x} has no relocation")

    def test_no_section_is_both_writable_and_executable(self):
        for section in self.pe.sections:
            flags = section.Characteristics
            name = section.Name.rstrip(b"\0").decode()
            self.assertFalse(flags & 0x80000000 and flags & 0x20000000, f"section {name} is writable and executable")


if __name__ == "__main__":
    MODULE = sys.argv[1]
    SECTIONS = sys.argv[2:]
    suite = WindowsDll if MODULE.lower().endswith(".dll") else SharedObject
    result = unittest.TextTestRunner(verbosity=2).run(unittest.defaultTestLoader.loadTestsFromTestCase(suite))
    sys.exit(0 if result.wasSuccessful() else 1)
