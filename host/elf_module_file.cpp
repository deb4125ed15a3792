// A shared object's file checked as the system loader will read it: the ELF header, the program
// headers, the segments against the file, the dynamic section and every table it names (strings,
// symbols, hash tables, symbol versions, relocations, initialisers). The loader trusts all of
// them; a wrong value there makes it refuse the file, end the process with its own message or
// crash inside itself. Each check below names what the loader would have stumbled over.
//
// The file is read through the system's own ELF record types, every read bounded by the file or
// the image; nothing here follows a value of the file before checking it.
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "host/module_file.h"

namespace gauge_host {

namespace {

constexpr std::uint64_t kPageSize = 4096;
constexpr std::uint64_t kLargestImage = std::uint64_t{64} << 20;
constexpr std::size_t kMostProgramHeaders = 64;
constexpr std::uint64_t kLargestFile = std::uint64_t{256} << 20;
constexpr std::uint32_t kMostSymbols = 1 << 16;
constexpr std::uint32_t kMostVersionRecords = 1024;
constexpr std::size_t kLongestName = 4096;

// The libraries a gauge module may need: the language's standard libraries and the system loader,
// which the host process has loaded already. Any other name would make the loader load another file.
const std::set<std::string> kStandardLibraries = {"libc.so.6", "libm.so.6", "libgcc_s.so.1", "libstdc++.so.6",
                                                  "ld-linux.so.2"};

const char* kResourceSection = ".gauge_resources";

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) throw ModuleLoadError(path + ": cannot be read: " + std::strerror(errno));
    struct stat status {};
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        close(descriptor);
        throw ModuleLoadError(path + ": cannot be read: it is not a regular file");
    }
    if (static_cast<std::uint64_t>(status.st_size) > kLargestFile) {
        close(descriptor);
        throw LoadRefused(path, "the file is larger than 256 MiB, far more than any gauge module");
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(status.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = read(descriptor, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            const int error = errno;
            close(descriptor);
            throw ModuleLoadError(path + ": cannot be read: " + (got < 0 ? std::strerror(error) : "it got shorter"));
        }
        done += static_cast<std::size_t>(got);
    }
    close(descriptor);
    return bytes;
}

bool PowerOfTwo(std::uint64_t value) { return value != 0 && (value & (value - 1)) == 0; }

}  // namespace

class ModuleFileReader {
public:
    ModuleFileReader(const std::string& path, std::vector<std::uint8_t> bytes) : path_(path), file_(std::move(bytes)) {}

    ModuleFile Read() {
        ReadHeader();
        ReadProgramHeaders();
        BuildImage();
        ReadDynamicSection();
        ReadSymbolTables();
        ReadVersions();
        ApplyRelocations();
        CheckInitialisers();
        FinishImage();
        ReadResources();
        module_.path_ = path_;
        return std::move(module_);
    }

private:
    [[noreturn]] void Reject(const std::string& why) const { throw LoaderRejection(path_, why); }
    [[noreturn]] void Refuse(const std::string& why) const { throw LoadRefused(path_, why); }

    template <class Record>
    Record FileRecord(std::uint64_t offset, const char* what) const {
        Record record;
        if (offset > file_.size() || sizeof record > file_.size() - offset)
            Reject(std::string(what) + " lies outside the file");
        std::memcpy(&record, file_.data() + offset, sizeof record);
        return record;
    }

    // The image as the loader maps it, before relocation; written by relocation.
    template <class Record>
    Record ImageRecord(std::uintptr_t address, const std::string& what) const {
        Record record;
        if (!loaded_.Read(address, &record, sizeof record)) Reject(what + " lies outside the module's segments");
        return record;
    }

    void ReadHeader() {
        if (file_.size() < EI_NIDENT || std::memcmp(file_.data(), ELFMAG, SELFMAG) != 0)
            Reject("it is not an ELF file");
        header_ = FileRecord<Elf32_Ehdr>(0, "the ELF header");
        if (header_.e_ident[EI_CLASS] != ELFCLASS32) Reject("it is not a 32-bit ELF file");
        if (header_.e_ident[EI_DATA] != ELFDATA2LSB) Reject("it is not a little-endian ELF file");
        if (header_.e_ident[EI_VERSION] != EV_CURRENT || header_.e_version != EV_CURRENT)
            Reject("its ELF version is not 1");
        if (header_.e_type != ET_DYN) Reject("it is not a shared object (ELF type " + std::to_string(header_.e_type) + ")");
        if (header_.e_machine != EM_386)
            Reject("it is not built for 32-bit x86 (machine " + std::to_string(header_.e_machine) + ")");
        if (header_.e_ehsize != sizeof(Elf32_Ehdr)) Reject("its ELF header size is not 52");
        if (header_.e_phentsize != sizeof(Elf32_Phdr)) Reject("its program header size is not 32");
        if (header_.e_phnum == 0 || header_.e_phnum > kMostProgramHeaders)
            Reject("it has " + std::to_string(header_.e_phnum) + " program headers (1 to 64 make sense)");
        if (std::uint64_t{header_.e_phoff} + std::uint64_t{header_.e_phnum} * sizeof(Elf32_Phdr) > file_.size())
            Reject("its program headers lie outside the file");
    }

    void ReadProgramHeaders() {
        int dynamic_count = 0, relro_count = 0;
        for (std::size_t i = 0; i < header_.e_phnum; ++i) {
            const auto segment = FileRecord<Elf32_Phdr>(header_.e_phoff + i * sizeof(Elf32_Phdr), "a program header");
            const std::string which = "program header " + std::to_string(i);
            switch (segment.p_type) {
                case PT_LOAD: {
                    if (segment.p_memsz == 0) Reject(which + " loads an empty segment");
                    if (segment.p_filesz > segment.p_memsz) Reject(which + " has more file bytes than memory");
                    if (std::uint64_t{segment.p_offset} + segment.p_filesz > file_.size())
                        Reject(which + " loads bytes from beyond the end of the file (the file is truncated)");
                    if (std::uint64_t{segment.p_vaddr} + segment.p_memsz > 0xFFFFFFFFull)
                        Reject(which + " reaches past the 32-bit address space");
                    if (!PowerOfTwo(segment.p_align) || segment.p_align % kPageSize != 0)
                        Reject(which + " has an alignment that is not a whole number of pages");
                    if ((segment.p_vaddr - segment.p_offset) % kPageSize != 0)
                        Reject(which + " places its file offset and its address on different places of a page");
                    if (!loads_.empty()) {
                        const Elf32_Phdr& before = loads_.back();
                        const std::uint64_t before_end = (std::uint64_t{before.p_vaddr} + before.p_memsz + kPageSize - 1) / kPageSize * kPageSize;
                        if (segment.p_vaddr / kPageSize * kPageSize < before_end)
                            Reject(which + " overlaps or precedes the segment before it");
                    }
                    loads_.push_back(segment);
                    break;
                }
                case PT_DYNAMIC:
                    ++dynamic_count;
                    dynamic_ = segment;
                    break;
                case PT_GNU_RELRO:
                    ++relro_count;
                    relro_ = segment;
                    break;
                case PT_GNU_STACK:
                    if (segment.p_flags & PF_X) Refuse("it asks for an executable stack");
                    break;
                case PT_TLS:
                    if (segment.p_filesz > segment.p_memsz || segment.p_memsz > (1u << 20) ||
                        (segment.p_align > 1 && !PowerOfTwo(segment.p_align)))
                        Reject(which + " describes thread-local storage the loader cannot set up");
                    others_.push_back({segment, which});
                    break;
                case PT_INTERP:
                case PT_PHDR:
                case PT_NOTE:
                case PT_GNU_PROPERTY:
                case PT_GNU_EH_FRAME:
                    // The loader reads these from the mapped image: they must lie in it.
                    others_.push_back({segment, which});
                    break;
                default:
                    break;
            }
        }
        if (loads_.empty()) Reject("it has no segment to load");
        const std::uint64_t span = std::uint64_t{loads_.back().p_vaddr} + loads_.back().p_memsz - loads_.front().p_vaddr;
        if (span > kLargestImage) Refuse("its segments span " + std::to_string(span) + " bytes, more than 64 MiB");
        if (dynamic_count != 1) Reject(dynamic_count == 0 ? "it has no dynamic section" : "it has more than one dynamic section");
        if (relro_count > 1) Reject("it has more than one read-only-after-relocation range");
    }

    // The loadable segment that holds [address, address + size) in its file bytes, or null.
    const Elf32_Phdr* FileBackedSegment(std::uint64_t address, std::uint64_t size) const {
        for (const Elf32_Phdr& segment : loads_)
            if (address >= segment.p_vaddr && address + size <= std::uint64_t{segment.p_vaddr} + segment.p_filesz)
                return &segment;
        return nullptr;
    }

    void BuildImage() {
        std::vector<ImageSegment> segments;
        for (const Elf32_Phdr& segment : loads_) {
            auto contents = std::make_unique<std::vector<std::uint8_t>>(segment.p_memsz, 0);
            std::memcpy(contents->data(), file_.data() + segment.p_offset, segment.p_filesz);
            std::uint8_t access = 0;
            if (segment.p_flags & PF_R) access |= kRead;
            if (segment.p_flags & PF_W) access |= kWrite;
            if (segment.p_flags & PF_X) access |= kExecute | kRead;
            segments.push_back({segment.p_vaddr, std::uintptr_t{segment.p_vaddr} + segment.p_memsz, access, contents->data()});
            module_.segment_contents_.push_back(std::move(contents));
        }
        loaded_ = ModuleImage(segments);
        for (const auto& [segment, which] : others_) {
            // Thread-local storage takes only its initial bytes from the file.
            const std::uint32_t size = segment.p_type == PT_TLS ? segment.p_filesz : segment.p_memsz;
            if (segment.p_type != PT_INTERP && FileBackedSegment(segment.p_vaddr, size) == nullptr)
                Reject(which + " names a range outside the loaded file bytes");
        }
        if (FileBackedSegment(dynamic_.p_vaddr, dynamic_.p_memsz) == nullptr || dynamic_.p_filesz < sizeof(Elf32_Dyn))
            Reject("its dynamic section lies outside the loaded file bytes");
        LoaderReadsAfterRelocating(dynamic_.p_vaddr, dynamic_.p_memsz);
        if (relro_.p_memsz != 0 && !loaded_.Holds(relro_.p_vaddr, relro_.p_memsz, kRead | kWrite))
            Reject("its read-only-after-relocation range lies outside its writable segments");
    }

    std::uint32_t Tag(std::int32_t tag) const {
        auto found = dynamic_tags_.find(tag);
        return found == dynamic_tags_.end() ? 0 : found->second;
    }
    bool HasTag(std::int32_t tag) const { return dynamic_tags_.count(tag) != 0; }

    void ReadDynamicSection() {
        const std::size_t count = dynamic_.p_filesz / sizeof(Elf32_Dyn);
        bool ended = false;
        for (std::size_t i = 0; i < count && !ended; ++i) {
            const auto entry = ImageRecord<Elf32_Dyn>(dynamic_.p_vaddr + i * sizeof(Elf32_Dyn), "the dynamic section");
            switch (entry.d_tag) {
                case DT_NULL: ended = true; break;
                case DT_NEEDED: needed_.push_back(entry.d_un.d_val); break;
                default: dynamic_tags_[entry.d_tag] = entry.d_un.d_val; break;
            }
        }
        if (!ended) Reject("its dynamic section has no end entry");

        if (!HasTag(DT_STRTAB) || !HasTag(DT_STRSZ)) Reject("its dynamic section names no string table");
        strings_ = Tag(DT_STRTAB);
        string_size_ = Tag(DT_STRSZ);
        LoaderReadsAfterRelocating(strings_, string_size_);
        if (FileBackedSegment(strings_, string_size_) == nullptr) Reject("its string table lies outside the loaded file bytes");
        if (!HasTag(DT_SYMTAB)) Reject("its dynamic section names no symbol table");
        if (HasTag(DT_SYMENT) && Tag(DT_SYMENT) != sizeof(Elf32_Sym)) Reject("its symbol entries are not 16 bytes");
        for (std::int32_t tag : {DT_RPATH, DT_RUNPATH})
            if (HasTag(tag)) Refuse("it names a library search path of its own");
        for (std::int32_t tag : {DT_AUXILIARY, DT_FILTER, DT_AUDIT, DT_DEPAUDIT})
            if (HasTag(tag)) Refuse("it makes the loader load further libraries or auditors");
        if (HasTag(DT_TEXTREL) || (Tag(DT_FLAGS) & DF_TEXTREL)) Refuse("its code must be patched at load (text relocations)");
        if (HasTag(DT_RELA) || HasTag(DT_RELASZ)) Reject("it carries relocations in the format of another processor (RELA)");
        for (std::uint32_t name : needed_) {
            const std::string library = Name(name, "a needed library's name");
            module_.needed_libraries_.push_back(library);
            if (kStandardLibraries.count(library) == 0)
                Refuse("it needs the library \"" + library + "\"; a gauge module needs nothing beyond the language's "
                       "standard library");
        }
        if (HasTag(DT_SONAME)) Name(Tag(DT_SONAME), "its own name");
    }

    // A name of the string table, NUL-terminated inside it.
    std::string Name(std::uint32_t offset, const char* what) const {
        if (offset >= string_size_) Reject(std::string(what) + " lies outside the string table");
        std::string name;
        for (std::uint32_t at = offset; at < string_size_ && name.size() <= kLongestName; ++at) {
            const auto character = ImageRecord<char>(strings_ + at, "the string table");
            if (character == '\0') return name;
            name.push_back(character);
        }
        Reject(std::string(what) + " runs past the end of the string table");
    }

    std::uint32_t Word(std::uintptr_t address, const std::string& what) const {
        return ImageRecord<std::uint32_t>(address, what);
    }

    // How many symbols the table holds, as the hash tables tell the loader; each is checked, since
    // the loader follows their buckets and chains without bounds.
    void ReadSymbolTables() {
        if (!HasTag(DT_HASH) && !HasTag(DT_GNU_HASH)) Reject("it has no symbol hash table");
        std::optional<std::uint32_t> from_hash, from_gnu_hash;
        if (HasTag(DT_HASH)) {
            const std::uintptr_t table = Tag(DT_HASH);
            const std::uint32_t buckets = Word(table, "the symbol hash table");
            const std::uint32_t chains = Word(table + 4, "the symbol hash table");
            if (buckets == 0) Reject("its symbol hash table has no buckets");
            if (chains > kMostSymbols) Reject("its symbol hash table claims " + std::to_string(chains) + " symbols");
            if (FileBackedSegment(table, 8 + (std::uint64_t{buckets} + chains) * 4) == nullptr)
                Reject("its symbol hash table lies outside the loaded file bytes");
            for (std::uint64_t i = 0; i < std::uint64_t{buckets} + chains; ++i)
                if (Word(table + 8 + i * 4, "the symbol hash table") >= chains)
                    Reject("its symbol hash table points past its symbols");
            from_hash = chains;
            LoaderReadsAfterRelocating(table, 8 + (std::uint64_t{buckets} + chains) * 4);
        }
        if (HasTag(DT_GNU_HASH)) {
            const std::uintptr_t table = Tag(DT_GNU_HASH);
            const std::uint32_t buckets = Word(table, "the GNU hash table");
            const std::uint32_t first_hashed = Word(table + 4, "the GNU hash table");
            const std::uint32_t bloom_words = Word(table + 8, "the GNU hash table");
            const std::uint32_t bloom_shift = Word(table + 12, "the GNU hash table");
            if (buckets == 0) Reject("its GNU hash table has no buckets");
            if (!PowerOfTwo(bloom_words)) Reject("its GNU hash table's filter size is not a power of two");
            if (bloom_shift >= 32) Reject("its GNU hash table's filter shift is 32 or more");
            if (first_hashed > kMostSymbols || buckets > kMostSymbols || bloom_words > kMostSymbols)
                Reject("its GNU hash table claims far too many entries");
            const std::uintptr_t bucket_array = table + 16 + std::uintptr_t{bloom_words} * 4;
            const std::uintptr_t chain_array = bucket_array + std::uintptr_t{buckets} * 4;
            if (FileBackedSegment(table, 16 + (std::uint64_t{bloom_words} + buckets) * 4) == nullptr)
                Reject("its GNU hash table lies outside the loaded file bytes");
            std::uint32_t symbols = first_hashed;
            for (std::uint32_t bucket = 0; bucket < buckets; ++bucket) {
                std::uint32_t symbol = Word(bucket_array + bucket * 4, "the GNU hash table");
                if (symbol == 0) continue;
                if (symbol < first_hashed) Reject("a GNU hash bucket points below the hashed symbols");
                for (;; ++symbol) {
                    if (symbol >= first_hashed + kMostSymbols) Reject("a GNU hash chain does not end");
                    const std::uintptr_t link = chain_array + std::uintptr_t{symbol - first_hashed} * 4;
                    if (FileBackedSegment(link, 4) == nullptr) Reject("a GNU hash chain runs outside the loaded file bytes");
                    if (Word(link, "the GNU hash table") & 1) break;
                }
                symbols = std::max(symbols, symbol + 1);
            }
            from_gnu_hash = symbols;
            LoaderReadsAfterRelocating(table, chain_array - table + std::uint64_t{symbols - first_hashed} * 4);
        }
        symbol_count_ = std::max(from_hash.value_or(0), from_gnu_hash.value_or(0));
        symbols_ = Tag(DT_SYMTAB);
        if (FileBackedSegment(symbols_, std::uint64_t{symbol_count_} * sizeof(Elf32_Sym)) == nullptr)
            Reject("its symbol table lies outside the loaded file bytes");
        LoaderReadsAfterRelocating(symbols_, std::uint64_t{symbol_count_} * sizeof(Elf32_Sym));
        for (std::uint32_t i = 1; i < symbol_count_; ++i) {
            const Elf32_Sym symbol = Symbol(i);
            const std::string name = Name(symbol.st_name, "a symbol's name");
            const int binding = ELF32_ST_BIND(symbol.st_info);
            const int visibility = ELF32_ST_VISIBILITY(symbol.st_other);
            if (symbol.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK) ||
                (visibility != STV_DEFAULT && visibility != STV_PROTECTED))
                continue;
            module_.exports_.push_back({name, ELF32_ST_TYPE(symbol.st_info) == STT_OBJECT, symbol.st_size,
                                        symbol.st_shndx == SHN_ABS ? 0 : std::uintptr_t{symbol.st_value}});
        }
    }

    Elf32_Sym Symbol(std::uint32_t index) const {
        return ImageRecord<Elf32_Sym>(symbols_ + std::uintptr_t{index} * sizeof(Elf32_Sym), "the symbol table");
    }

    // Symbol versions: the loader asserts that every needed version names a needed library, and
    // indexes its version list by each symbol's version number without bounds.
    void ReadVersions() {
        std::set<std::string> needed_names;
        for (std::uint32_t name : needed_) needed_names.insert(Name(name, "a needed library's name"));
        std::uint32_t highest_index = 0;
        std::uint32_t records = 0;
        // The loader follows each list by its "next" offsets until one is 0, whatever the counts say.
        if (HasTag(DT_VERNEED)) {
            for (std::uintptr_t at = Tag(DT_VERNEED);;) {
                if (++records > kMostVersionRecords) Reject("its needed symbol versions do not end");
                const auto need = ImageRecord<Elf32_Verneed>(at, "a needed symbol version");
                if (need.vn_version != VER_NEED_CURRENT) Reject("a needed symbol version record has an unknown version");
                if (needed_names.count(Name(need.vn_file, "a versioned library's name")) == 0)
                    Reject("it needs symbol versions of a library it does not need");
                for (std::uintptr_t aux = at + need.vn_aux;;) {
                    if (++records > kMostVersionRecords) Reject("its needed symbol versions do not end");
                    const auto version = ImageRecord<Elf32_Vernaux>(aux, "a needed symbol version");
                    Name(version.vna_name, "a symbol version's name");
                    highest_index = std::max<std::uint32_t>(highest_index, version.vna_other & 0x7fff);
                    if (version.vna_next == 0) break;
                    aux += version.vna_next;
                }
                if (need.vn_next == 0) break;
                at += need.vn_next;
            }
        }
        if (HasTag(DT_VERDEF)) {
            for (std::uintptr_t at = Tag(DT_VERDEF);;) {
                if (++records > kMostVersionRecords) Reject("its symbol version definitions do not end");
                const auto definition = ImageRecord<Elf32_Verdef>(at, "a symbol version definition");
                if (definition.vd_version != VER_DEF_CURRENT) Reject("a symbol version definition has an unknown version");
                for (std::uintptr_t aux = at + definition.vd_aux;;) {
                    if (++records > kMostVersionRecords) Reject("its symbol version definitions do not end");
                    const auto name = ImageRecord<Elf32_Verdaux>(aux, "a symbol version definition");
                    Name(name.vda_name, "a symbol version's name");
                    if (name.vda_next == 0) break;
                    aux += name.vda_next;
                }
                highest_index = std::max<std::uint32_t>(highest_index, definition.vd_ndx & 0x7fff);
                if (definition.vd_next == 0) break;
                at += definition.vd_next;
            }
        }
        if (HasTag(DT_VERSYM)) {
            if (highest_index == 0) Reject("it numbers its symbols' versions but defines and needs no version");
            const std::uintptr_t table = Tag(DT_VERSYM);
            if (FileBackedSegment(table, std::uint64_t{symbol_count_} * 2) == nullptr)
                Reject("its symbol version numbers lie outside the loaded file bytes");
            LoaderReadsAfterRelocating(table, std::uint64_t{symbol_count_} * 2);
            for (std::uint32_t i = 0; i < symbol_count_; ++i)
                if ((ImageRecord<std::uint16_t>(table + i * 2, "the symbol versions") & 0x7fff) > highest_index)
                    Reject("a symbol names a version that is neither defined nor needed");
        }
    }

    // Relocates the image to its link-time addresses, as the loader relocates it to its load
    // address: every relocation must write into a writable segment, name a known symbol and be
    // of a kind the loader handles without running the module's code.
    void ApplyRelocations() {
        struct Table {
            std::int32_t address_tag, size_tag;
            const char* name;
        };
        // The loader reads the sizes and entry sizes without looking whether they are there, and
        // takes the procedure linkage relocations only where DT_PLTREL names their kind.
        if (HasTag(DT_REL) && (!HasTag(DT_RELSZ) || Tag(DT_RELENT) != sizeof(Elf32_Rel)))
            Reject("its relocations have no size, or entries that are not 8 bytes");
        if (HasTag(DT_PLTREL) && (Tag(DT_PLTREL) != DT_REL || !HasTag(DT_JMPREL) || !HasTag(DT_PLTRELSZ)))
            Reject("its procedure linkage relocations are not of the REL kind, or have no place or size");
        if (HasTag(DT_RELR) && (!HasTag(DT_RELRSZ) || Tag(DT_RELRENT) != 4))
            Reject("its packed relocations have no size, or entries that are not 4 bytes");
        const bool plt = HasTag(DT_PLTREL);
        // No relocation may rewrite relocations: the loader reads the late-bound ones at each first
        // call, and applies the packed ones before the others.
        for (const auto& [address_tag, size_tag] : {std::pair{DT_REL, DT_RELSZ}, std::pair{DT_JMPREL, DT_PLTRELSZ}, std::pair{DT_RELR, DT_RELRSZ}})
            if (HasTag(address_tag)) LoaderReadsAfterRelocating(Tag(address_tag), Tag(size_tag));
        for (const Table& table : {Table{DT_REL, DT_RELSZ, "relocation"}, Table{plt ? DT_JMPREL : DT_NULL, DT_PLTRELSZ, "procedure linkage relocation"}}) {
            if (table.address_tag == DT_NULL || !HasTag(table.address_tag)) continue;
            const std::uintptr_t first = Tag(table.address_tag);
            const std::uint32_t size = Tag(table.size_tag);
            if (size % sizeof(Elf32_Rel) != 0 || FileBackedSegment(first, size) == nullptr)
                Reject(std::string("its ") + table.name + "s lie outside the loaded file bytes");
            // The loader applies the first DT_RELCOUNT relocations as relative ones, and asserts so.
            const std::uint32_t relative = table.address_tag == DT_REL && HasTag(DT_RELCOUNT) ? Tag(DT_RELCOUNT) : 0;
            for (std::uint32_t at = 0, index = 0; at < size; at += sizeof(Elf32_Rel), ++index) {
                const auto relocation = ImageRecord<Elf32_Rel>(first + at, "a relocation");
                if (index < relative && ELF32_R_TYPE(relocation.r_info) != R_386_RELATIVE)
                    Reject("its relocation count says relocation " + std::to_string(index) + " is relative, and it is not");
                Relocate(relocation, table.name);
            }
        }
        if (HasTag(DT_RELR)) {
            const std::uintptr_t first = Tag(DT_RELR);
            const std::uint32_t size = Tag(DT_RELRSZ);
            if (size % 4 != 0 || FileBackedSegment(first, size) == nullptr)
                Reject("its packed relocations lie outside the loaded file bytes");
            std::uint64_t next = 0;
            for (std::uint32_t at = 0; at < size; at += 4) {
                const std::uint32_t entry = Word(first + at, "a packed relocation");
                if ((entry & 1) == 0) {
                    RelocateRelative(entry, "packed relocation");
                    next = std::uint64_t{entry} + 4;
                    continue;
                }
                for (std::uint32_t bit = 1; bit < 32; ++bit)
                    if (entry & (1u << bit)) RelocateRelative(next + (bit - 1) * 4, "packed relocation");
                next += 31 * 4;
            }
        }
    }

    // The loader keeps reading its tables of the module once it has relocated it (it adjusts the
    // dynamic section's addresses in place, looks symbols up, binds procedure calls late), so a
    // relocation that wrote into one would change what was checked.
    void LoaderReadsAfterRelocating(std::uint64_t first, std::uint64_t size) { loader_tables_.push_back({first, first + size}); }

    std::uint32_t* WritableWord(std::uint64_t address, const std::string& what) {
        for (const auto& [first, end] : loader_tables_)
            if (address < end && address + 4 > first)
                Reject("a " + what + " writes into the loader's own tables of the module (its dynamic section, symbols, "
                       "names, hash tables or relocations)");
        for (std::size_t i = 0; i < loads_.size(); ++i) {
            const Elf32_Phdr& segment = loads_[i];
            if (address < segment.p_vaddr || address + 4 > std::uint64_t{segment.p_vaddr} + segment.p_memsz) continue;
            if (!(segment.p_flags & PF_W)) Reject("a " + what + " writes into a read-only segment");
            return reinterpret_cast<std::uint32_t*>(module_.segment_contents_[i]->data() + (address - segment.p_vaddr));
        }
        Reject("a " + what + " writes outside the module's segments");
    }

    void RelocateRelative(std::uint64_t address, const std::string& what) {
        WritableWord(address, what);  // the word holds its link-time address already
    }

    void Relocate(const Elf32_Rel& relocation, const std::string& what) {
        const std::uint32_t type = ELF32_R_TYPE(relocation.r_info);
        const std::uint32_t index = ELF32_R_SYM(relocation.r_info);
        if (index >= symbol_count_ && index != 0) Reject("a " + what + " names a symbol past the symbol table");
        switch (type) {
            case R_386_NONE: return;
            case R_386_RELATIVE: return RelocateRelative(relocation.r_offset, what);
            case R_386_32:
            case R_386_PC32:
            case R_386_GLOB_DAT:
            case R_386_JMP_SLOT: {
                std::uint32_t* word = WritableWord(relocation.r_offset, what);
                std::uint32_t value;
                std::memcpy(&value, word, 4);
                const std::uint32_t addend = type == R_386_32 || type == R_386_PC32 ? value : 0;
                std::uint32_t symbol_address = 0;  // what another library gives reads 0
                if (index != 0) {
                    const Elf32_Sym symbol = Symbol(index);
                    if (symbol.st_shndx != SHN_UNDEF) symbol_address = symbol.st_value;
                }
                value = symbol_address + addend - (type == R_386_PC32 ? relocation.r_offset : 0);
                std::memcpy(word, &value, 4);
                return;
            }
            case R_386_COPY: Refuse("a " + what + " copies data from another library into the module (a COPY relocation)");
            case R_386_IRELATIVE: Refuse("a " + what + " runs the module's own code while the loader relocates it");
            case R_386_TLS_TPOFF:
            case R_386_TLS_DTPMOD32:
            case R_386_TLS_DTPOFF32:
            case R_386_TLS_TPOFF32: {
                // The loader fills these with thread-local offsets; no record of the host's is one.
                std::uint32_t* word = WritableWord(relocation.r_offset, what);
                std::memset(word, 0, 4);
                return;
            }
            default: Reject("a " + what + " is of a kind the loader does not know (" + std::to_string(type) + ")");
        }
    }

    // The loader calls these at load and unload: each must be code of the module.
    void CheckInitialisers() {
        for (std::int32_t tag : {DT_INIT, DT_FINI})
            if (HasTag(tag) && !loaded_.Holds(Tag(tag), 1, kExecute))
                Reject(std::string(tag == DT_INIT ? "its start-up routine" : "its shut-down routine") + " is not code of the module");
        struct Array {
            std::int32_t address_tag, size_tag;
            const char* name;
        };
        for (const Array& array : {Array{DT_INIT_ARRAY, DT_INIT_ARRAYSZ, "start-up"}, Array{DT_FINI_ARRAY, DT_FINI_ARRAYSZ, "shut-down"},
                                   Array{DT_PREINIT_ARRAY, DT_PREINIT_ARRAYSZ, "early start-up"}}) {
            if (!HasTag(array.address_tag)) continue;
            const std::uint32_t size = Tag(array.size_tag);
            if (size % 4 != 0 || !loaded_.HoldsArray(Tag(array.address_tag), size / 4, 4))
                Reject(std::string("its list of ") + array.name + " routines lies outside the module's segments");
            for (std::uint32_t at = 0; at < size; at += 4) {
                const std::uint32_t routine = Word(Tag(array.address_tag) + at, "a start-up routine");
                if (routine != 0 && routine != 0xFFFFFFFF && !loaded_.Holds(routine, 1, kExecute))
                    Reject(std::string("one of its ") + array.name + " routines is not code of the module");
            }
        }
    }

    // The image as the host finds it once the loader is done: the range the loader turns
    // read-only after relocation is read-only.
    void FinishImage() {
        std::vector<ImageSegment> segments;
        const std::uintptr_t relro_begin = relro_.p_vaddr / kPageSize * kPageSize;
        const std::uintptr_t relro_end = (std::uintptr_t{relro_.p_vaddr} + relro_.p_memsz) / kPageSize * kPageSize;
        for (const ImageSegment& segment : loaded_.segments()) {
            if (relro_.p_memsz == 0 || relro_end <= segment.begin || relro_begin >= segment.end || relro_end <= relro_begin) {
                segments.push_back(segment);
                continue;
            }
            const std::uintptr_t from = std::max(segment.begin, relro_begin), to = std::min(segment.end, relro_end);
            if (segment.begin < from) segments.push_back({segment.begin, from, segment.access, segment.contents});
            segments.push_back({from, to, static_cast<std::uint8_t>(segment.access & ~kWrite), segment.contents + (from - segment.begin)});
            if (to < segment.end) segments.push_back({to, segment.end, segment.access, segment.contents + (to - segment.begin)});
        }
        module_.image_ = ModuleImage(std::move(segments));
    }

    // The resources lie in a section the loader does not map; a damaged section table leaves the
    // module loadable, so it is reported, not refused.
    void ReadResources() {
        if (header_.e_shoff == 0 || header_.e_shnum == 0) return;
        auto problem = [&](const std::string& why) { module_.resource_problem_ = "its section table " + why; };
        if (header_.e_shentsize != sizeof(Elf32_Shdr)) return problem("has entries of the wrong size");
        if (std::uint64_t{header_.e_shoff} + std::uint64_t{header_.e_shnum} * sizeof(Elf32_Shdr) > file_.size())
            return problem("lies outside the file");
        if (header_.e_shstrndx >= header_.e_shnum) return problem("names no section of section names");
        auto section = [&](std::size_t i) { return FileRecord<Elf32_Shdr>(header_.e_shoff + i * sizeof(Elf32_Shdr), "a section header"); };
        const Elf32_Shdr names = section(header_.e_shstrndx);
        if (std::uint64_t{names.sh_offset} + names.sh_size > file_.size()) return problem("has its section names outside the file");
        const std::size_t name_length = std::strlen(kResourceSection) + 1;
        for (std::size_t i = 0; i < header_.e_shnum; ++i) {
            const Elf32_Shdr candidate = section(i);
            if (candidate.sh_name >= names.sh_size || names.sh_size - candidate.sh_name < name_length ||
                std::memcmp(file_.data() + names.sh_offset + candidate.sh_name, kResourceSection, name_length) != 0)
                continue;
            if (candidate.sh_type == SHT_NOBITS || std::uint64_t{candidate.sh_offset} + candidate.sh_size > file_.size())
                return problem("places the resource section outside the file");
            module_.resources_.bytes.assign(file_.begin() + candidate.sh_offset,
                                           file_.begin() + candidate.sh_offset + candidate.sh_size);
            return;
        }
    }

    std::string path_;
    std::vector<std::uint8_t> file_;
    ModuleFile module_;
    Elf32_Ehdr header_{};
    std::vector<Elf32_Phdr> loads_;
    Elf32_Phdr dynamic_{}, relro_{};
    struct OtherSegment {
        Elf32_Phdr segment;
        std::string which;
    };
    std::vector<OtherSegment> others_;
    ModuleImage loaded_;  // the segments as mapped, before the read-only range is applied
    std::map<std::int32_t, std::uint32_t> dynamic_tags_;
    std::vector<std::uint32_t> needed_;
    std::uintptr_t strings_ = 0;
    std::uint32_t string_size_ = 0;
    std::uintptr_t symbols_ = 0;
    std::uint32_t symbol_count_ = 0;
    // Ranges [first, end) of the image that the loader reads after relocating.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> loader_tables_;
};

ModuleFile ModuleFile::Read(const std::string& path) { return ModuleFileReader(path, ReadWholeFile(path)).Read(); }

}  // namespace gauge_host
