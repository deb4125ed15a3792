// A DLL's file checked as the Windows loader will read it: the DOS and PE headers, the section
// table and the sections against the file, and the directories the loader or the host follows
// (exports, imports, base relocations, thread-local storage, resources). Each check names what
// the loader would have stumbled over; nothing here follows a value of the file before checking it.
//
// The file is read through the system's own PE record types, every read bounded by the file or
// the image.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/module_file.h"

namespace gauge_host {

namespace {

constexpr std::uint64_t kLargestFile = std::uint64_t{256} << 20;
constexpr std::uint32_t kLargestImage = 64u << 20;
constexpr std::uint32_t kMostSections = 96;
constexpr std::uint32_t kMostExports = 1 << 16;
constexpr std::uint32_t kMostImports = 1 << 12;
constexpr std::size_t kLongestName = 4096;
constexpr std::uint16_t kI386 = 0x14c;
constexpr std::uint16_t kPe32Magic = 0x10b;

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) throw ModuleLoadError(path + ": cannot be read: " + std::strerror(errno));
    std::vector<std::uint8_t> bytes;
    char buffer[65536];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
        if (bytes.size() + read > kLargestFile) {
            std::fclose(file);
            throw LoadRefused(path, "the file is larger than 256 MiB, far more than any gauge module");
        }
        bytes.insert(bytes.end(), buffer, buffer + read);
    }
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) throw ModuleLoadError(path + ": cannot be read: " + std::strerror(error));
    return bytes;
}

bool PowerOfTwo(std::uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

class ModuleFileReader {
public:
    ModuleFileReader(const std::string& path, std::vector<std::uint8_t> bytes) : path_(path), file_(std::move(bytes)) {}

    ModuleFile Read() {
        ReadHeaders();
        ReadSections();
        ReadExports();
        ReadImports();
        ReadRelocations();
        ReadThreadStorage();
        ReadResources();
        module_.path_ = path_;
        return std::move(module_);
    }

private:
    [[noreturn]] void Reject(const std::string& why) const { throw LoaderRejection(path_, why); }

    template <class Record>
    Record FileRecord(std::uint64_t offset, const char* what) const {
        Record record;
        if (offset > file_.size() || sizeof record > file_.size() - offset) Reject(std::string(what) + " lie outside the file");
        std::memcpy(&record, file_.data() + offset, sizeof record);
        return record;
    }

    std::uintptr_t At(std::uint32_t rva) const { return base_ + rva; }

    template <class Record>
    Record ImageRecord(std::uint32_t rva, const std::string& what) const {
        Record record;
        if (!module_.image_.Read(At(rva), &record, sizeof record)) Reject(what + " lies outside the module's sections");
        return record;
    }

    std::string ImageName(std::uint32_t rva, const std::string& what) const {
        if (auto name = module_.image_.ReadText(At(rva), kLongestName)) return *name;
        Reject(what + " is not a text inside the module's sections");
    }

    IMAGE_DATA_DIRECTORY Directory(int index) const {
        return index < static_cast<int>(optional_.NumberOfRvaAndSizes) ? optional_.DataDirectory[index] : IMAGE_DATA_DIRECTORY{};
    }

    // The section whose bytes hold [rva, rva + size), or null.
    const IMAGE_SECTION_HEADER* SectionHolding(std::uint32_t rva, std::uint64_t size) const {
        for (const IMAGE_SECTION_HEADER& section : sections_)
            if (rva >= section.VirtualAddress && rva + size <= std::uint64_t{section.VirtualAddress} + SectionSize(section))
                return &section;
        return nullptr;
    }

    static std::uint32_t SectionSize(const IMAGE_SECTION_HEADER& section) {
        return section.Misc.VirtualSize != 0 ? section.Misc.VirtualSize : section.SizeOfRawData;
    }

    void ReadHeaders() {
        if (file_.size() < sizeof(IMAGE_DOS_HEADER) || file_[0] != 'M' || file_[1] != 'Z') Reject("it is not a PE file");
        const auto dos = FileRecord<IMAGE_DOS_HEADER>(0, "the DOS header");
        nt_offset_ = static_cast<std::uint32_t>(dos.e_lfanew);
        if (dos.e_lfanew < 0 || nt_offset_ % 4 != 0) Reject("its PE header offset is not a place in the file");
        if (FileRecord<std::uint32_t>(nt_offset_, "its PE headers") != IMAGE_NT_SIGNATURE) Reject("it is not a PE file");
        header_ = FileRecord<IMAGE_FILE_HEADER>(nt_offset_ + 4, "its PE headers");
        if (header_.Machine != kI386) Reject("it is not built for 32-bit x86 (machine " + std::to_string(header_.Machine) + ")");
        if (!(header_.Characteristics & IMAGE_FILE_DLL)) Reject("it is not a DLL");
        if (!(header_.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE)) Reject("it is not marked as an executable image");
        if (header_.NumberOfSections == 0 || header_.NumberOfSections > kMostSections)
            Reject("it has " + std::to_string(header_.NumberOfSections) + " sections (1 to 96 make sense)");
        if (header_.SizeOfOptionalHeader < offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory))
            Reject("its optional header is too short");
        const std::uint64_t optional_at = nt_offset_ + 4 + sizeof(IMAGE_FILE_HEADER);
        if (optional_at + header_.SizeOfOptionalHeader > file_.size()) Reject("its headers are truncated");
        std::memset(&optional_, 0, sizeof optional_);
        std::memcpy(&optional_, file_.data() + optional_at, std::min<std::size_t>(header_.SizeOfOptionalHeader, sizeof optional_));
        if (optional_.Magic != kPe32Magic) Reject("it is not a 32-bit PE file (optional header magic)");
        if (optional_.NumberOfRvaAndSizes > IMAGE_NUMBEROF_DIRECTORY_ENTRIES ||
            offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory) + optional_.NumberOfRvaAndSizes * sizeof(IMAGE_DATA_DIRECTORY) >
                header_.SizeOfOptionalHeader)
            Reject("its optional header lists more directories than it holds");
        if (!PowerOfTwo(optional_.FileAlignment) || optional_.FileAlignment < 512 || optional_.FileAlignment > 65536)
            Reject("its file alignment is not a power of two from 512 to 65536");
        if (!PowerOfTwo(optional_.SectionAlignment) || optional_.SectionAlignment < optional_.FileAlignment)
            Reject("its section alignment is not a power of two at least its file alignment");
        if (optional_.ImageBase % 65536 != 0) Reject("its preferred base is not a multiple of 64 KiB");
        if (optional_.SizeOfImage == 0 || optional_.SizeOfImage > kLargestImage) Reject("its image is empty or larger than 64 MiB");
        if (std::uint64_t{optional_.ImageBase} + optional_.SizeOfImage > 0x80000000ull)
            Reject("its preferred place reaches past the first 2 GiB of the address space");
        section_table_ = optional_at + header_.SizeOfOptionalHeader;
        if (section_table_ + std::uint64_t{header_.NumberOfSections} * sizeof(IMAGE_SECTION_HEADER) > file_.size())
            Reject("its section table runs past the end of the file");
        if (optional_.SizeOfHeaders < section_table_ + std::uint64_t{header_.NumberOfSections} * sizeof(IMAGE_SECTION_HEADER) ||
            optional_.SizeOfHeaders > file_.size())
            Reject("its headers' size does not cover its headers, or lies outside the file");
        base_ = optional_.ImageBase;
        module_.movable_ = (optional_.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE) != 0;
    }

    void ReadSections() {
        std::vector<ImageSegment> segments;
        // The headers are mapped too, read-only, at the module's base.
        const std::uint32_t headers_size = std::min<std::uint32_t>(optional_.SizeOfHeaders, optional_.SizeOfImage);
        Own(segments, 0, headers_size, headers_size, 0, kRead);
        std::uint64_t previous_end = (std::uint64_t{optional_.SizeOfHeaders} + optional_.SectionAlignment - 1) /
                                     optional_.SectionAlignment * optional_.SectionAlignment;
        for (std::uint32_t i = 0; i < header_.NumberOfSections; ++i) {
            const auto section = FileRecord<IMAGE_SECTION_HEADER>(section_table_ + i * sizeof(IMAGE_SECTION_HEADER), "its section table");
            const std::string name(reinterpret_cast<const char*>(section.Name), strnlen(reinterpret_cast<const char*>(section.Name), 8));
            const std::string which = "section " + std::to_string(i) + " (" + name + ")";
            const std::uint32_t size = SectionSize(section);
            if (section.VirtualAddress % optional_.SectionAlignment != 0) Reject(which + " is not aligned to its section alignment");
            if (section.VirtualAddress < previous_end) Reject(which + " overlaps or precedes the one before it");
            if (std::uint64_t{section.VirtualAddress} + size > optional_.SizeOfImage) Reject(which + " reaches past the image's size");
            if (section.SizeOfRawData != 0 && std::uint64_t{section.PointerToRawData} + section.SizeOfRawData > file_.size())
                Reject(which + " has its bytes beyond the end of the file (the file is truncated)");
            previous_end = (std::uint64_t{section.VirtualAddress} + size + optional_.SectionAlignment - 1) /
                           optional_.SectionAlignment * optional_.SectionAlignment;
            std::uint8_t access = 0;
            if (section.Characteristics & IMAGE_SCN_MEM_READ) access |= kRead;
            if (section.Characteristics & IMAGE_SCN_MEM_WRITE) access |= kWrite | kRead;
            if (section.Characteristics & IMAGE_SCN_MEM_EXECUTE) access |= kExecute | kRead;
            if (size != 0)
                Own(segments, section.VirtualAddress, size, std::min<std::uint32_t>(size, section.SizeOfRawData),
                    section.PointerToRawData, access);
            sections_.push_back(section);
        }
        module_.image_ = ModuleImage(std::move(segments));
        const std::uint32_t entry = optional_.AddressOfEntryPoint;
        if (entry != 0 && !module_.image_.Holds(At(entry), 1, kExecute)) Reject("its entry point is not in its code");
    }

    void Own(std::vector<ImageSegment>& segments, std::uint32_t rva, std::uint32_t size, std::uint32_t file_size,
             std::uint32_t file_offset, std::uint8_t access) {
        auto contents = std::make_unique<std::vector<std::uint8_t>>(size, 0);
        std::memcpy(contents->data(), file_.data() + file_offset, file_size);
        segments.push_back({At(rva), At(rva) + size, access, contents->data()});
        module_.segment_contents_.push_back(std::move(contents));
    }

    void ReadExports() {
        const IMAGE_DATA_DIRECTORY directory = Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
        if (directory.VirtualAddress == 0) return;
        if (SectionHolding(directory.VirtualAddress, std::max<std::uint32_t>(directory.Size, sizeof(IMAGE_EXPORT_DIRECTORY))) == nullptr)
            Reject("its export directory points outside the image");
        const auto exports = ImageRecord<IMAGE_EXPORT_DIRECTORY>(directory.VirtualAddress, "its export directory");
        if (exports.NumberOfFunctions > kMostExports || exports.NumberOfNames > exports.NumberOfFunctions)
            Reject("its export directory claims far too many exports");
        std::vector<bool> named(exports.NumberOfFunctions, false);
        for (std::uint32_t i = 0; i < exports.NumberOfNames; ++i) {
            const auto name_rva = ImageRecord<std::uint32_t>(exports.AddressOfNames + i * 4, "its export names");
            const auto ordinal = ImageRecord<std::uint16_t>(exports.AddressOfNameOrdinals + i * 2, "its export ordinals");
            if (ordinal >= exports.NumberOfFunctions) Reject("an export's ordinal lies past its address table");
            named[ordinal] = true;
            const auto address = ImageRecord<std::uint32_t>(exports.AddressOfFunctions + ordinal * 4u, "its export addresses");
            const std::string name = ImageName(name_rva, "an export's name");
            if (address >= directory.VirtualAddress && address < std::uint64_t{directory.VirtualAddress} + directory.Size)
                Reject("its export " + name + " is forwarded to another library");
            AddExport(name, address);
        }
        // An export by number alone is an export too; an empty slot of the table is none.
        for (std::uint32_t ordinal = 0; ordinal < exports.NumberOfFunctions; ++ordinal) {
            if (named[ordinal]) continue;
            const auto address = ImageRecord<std::uint32_t>(exports.AddressOfFunctions + ordinal * 4, "its export addresses");
            if (address != 0) AddExport("ordinal " + std::to_string(exports.Base + ordinal), address);
        }
    }

    void AddExport(const std::string& name, std::uint32_t address) {
        const ImageSegment* segment = module_.image_.SegmentAt(At(address));
        module_.exports_.push_back({name, segment != nullptr && !(segment->access & kExecute), 0, At(address)});
    }

    void ReadImports() {
        const IMAGE_DATA_DIRECTORY directory = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
        if (directory.VirtualAddress == 0) return;
        for (std::uint32_t i = 0;; ++i) {
            if (i == kMostImports) Reject("its import directory does not end");
            const auto entry = ImageRecord<IMAGE_IMPORT_DESCRIPTOR>(directory.VirtualAddress + i * sizeof(IMAGE_IMPORT_DESCRIPTOR),
                                                                    "its import directory");
            if (entry.Name == 0 && entry.FirstThunk == 0) break;
            module_.needed_libraries_.push_back(ImageName(entry.Name, "an imported library's name"));
            // The loader writes every imported address into the thunks: they must be the module's.
            for (std::uint32_t thunk = 0;; ++thunk) {
                if (thunk == kMostImports) Reject("an import list does not end");
                if (!module_.image_.Holds(At(entry.FirstThunk + thunk * 4), 4, kRead))
                    Reject("an import list lies outside the module's sections");
                const std::uint32_t lookup = entry.OriginalFirstThunk != 0 ? entry.OriginalFirstThunk : entry.FirstThunk;
                const auto value = ImageRecord<std::uint32_t>(lookup + thunk * 4, "an import list");
                if (value == 0) break;
                if (!(value & IMAGE_ORDINAL_FLAG32)) ImageName(value + 2, "an imported routine's name");
            }
        }
    }

    void ReadRelocations() {
        const IMAGE_DATA_DIRECTORY directory = Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC);
        module_.relocatable_ = directory.VirtualAddress != 0 && directory.Size != 0 &&
                               !(header_.Characteristics & IMAGE_FILE_RELOCS_STRIPPED);
        if (directory.VirtualAddress == 0 || directory.Size == 0) return;
        if (SectionHolding(directory.VirtualAddress, directory.Size) == nullptr) Reject("its base relocations lie outside its sections");
        for (std::uint32_t at = 0; at < directory.Size;) {
            const auto block = ImageRecord<IMAGE_BASE_RELOCATION>(directory.VirtualAddress + at, "its base relocations");
            if (block.SizeOfBlock < sizeof block || block.SizeOfBlock % 2 != 0 || block.SizeOfBlock > directory.Size - at)
                Reject("a block of its base relocations has a wrong size");
            for (std::uint32_t entry = sizeof block; entry < block.SizeOfBlock; entry += 2) {
                const auto word = ImageRecord<std::uint16_t>(directory.VirtualAddress + at + entry, "its base relocations");
                const std::uint32_t type = word >> 12, target = block.VirtualAddress + (word & 0xFFF);
                if (type == IMAGE_REL_BASED_ABSOLUTE) continue;
                if (type != IMAGE_REL_BASED_HIGHLOW) Reject("a base relocation is of a kind a 32-bit module never has");
                if (!module_.image_.Holds(At(target), 4, kRead)) Reject("a base relocation fixes a word outside the module's sections");
            }
            at += block.SizeOfBlock;
        }
    }

    // Thread-local storage callbacks are code the loader runs at load: they must be the module's.
    void ReadThreadStorage() {
        const IMAGE_DATA_DIRECTORY directory = Directory(IMAGE_DIRECTORY_ENTRY_TLS);
        if (directory.VirtualAddress == 0) return;
        const auto tls = ImageRecord<IMAGE_TLS_DIRECTORY32>(directory.VirtualAddress, "its thread-local storage directory");
        if (tls.AddressOfCallBacks == 0) return;
        for (std::uint32_t i = 0;; ++i) {
            if (i == 64) Reject("its list of thread-local storage callbacks does not end");
            std::uint32_t callback = 0;
            if (!module_.image_.Read(tls.AddressOfCallBacks + i * 4, &callback, 4))
                Reject("its list of thread-local storage callbacks lies outside the module");
            if (callback == 0) break;
            if (!module_.image_.Holds(callback, 1, kExecute)) Reject("a thread-local storage callback is not code of the module");
        }
    }

    // The resource tree is read when the host looks up a bitmap, not at load: a damaged tree is
    // recorded for the host to report.
    void ReadResources() {
        const IMAGE_DATA_DIRECTORY directory = Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE);
        if (directory.VirtualAddress == 0) return;
        const IMAGE_SECTION_HEADER* section = SectionHolding(directory.VirtualAddress, sizeof(IMAGE_RESOURCE_DIRECTORY));
        if (section == nullptr) {
            module_.resource_problem_ = "its resource directory lies outside its sections";
            return;
        }
        ModuleFile::ResourceSection& resources = module_.resources_;
        resources.bytes.resize(SectionSize(*section));
        module_.image_.Read(At(section->VirtualAddress), resources.bytes.data(), resources.bytes.size());
        resources.section_offset = section->VirtualAddress;
        resources.root = directory.VirtualAddress - section->VirtualAddress;
    }

    std::string path_;
    std::vector<std::uint8_t> file_;
    ModuleFile module_;
    std::uint32_t nt_offset_ = 0;
    IMAGE_FILE_HEADER header_{};
    IMAGE_OPTIONAL_HEADER32 optional_{};
    std::uint64_t section_table_ = 0;
    std::uintptr_t base_ = 0;
    std::vector<IMAGE_SECTION_HEADER> sections_;
};

ModuleFile ModuleFile::Read(const std::string& path) { return ModuleFileReader(path, ReadWholeFile(path)).Read(); }

}  // namespace gauge_host
