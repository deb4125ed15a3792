#include "host/module_resources.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <tuple>

namespace gauge_host {

namespace {

constexpr std::size_t kMostResources = 4096;

// Little-endian words of a byte span, every read checked against its end.
class Bytes {
public:
    explicit Bytes(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    std::size_t size() const { return bytes_.size(); }
    bool Has(std::size_t at, std::size_t count) const { return at <= bytes_.size() && count <= bytes_.size() - at; }
    std::uint16_t Word16(std::size_t at) const { return static_cast<std::uint16_t>(bytes_[at] | bytes_[at + 1] << 8); }
    std::uint32_t Word32(std::size_t at) const { return static_cast<std::uint32_t>(Word16(at) | Word16(at + 2) << 16); }
    std::vector<std::uint8_t> Slice(std::size_t at, std::size_t count) const {
        return std::vector<std::uint8_t>(bytes_.begin() + at, bytes_.begin() + at + count);
    }

private:
    const std::vector<std::uint8_t>& bytes_;
};

#if defined(_WIN32)

// The DLL's resource tree: a directory of types, each a directory of ids, each a directory of
// languages, whose entries point at the data. Offsets inside the tree count from the section's
// start; the data's own offsets are addresses in the image, and must lie in the section too.
class ResourceTree {
public:
    ResourceTree(const ModuleFile& file, std::vector<Resource>& resources, bool& has_named)
        : file_(file), bytes_(file.resources().bytes), resources_(resources), has_named_(has_named) {}

    void Read() { Directory(file_.resources().root, 0, {}); }

private:
    [[noreturn]] void Damaged(const std::string& why) const {
        throw ModuleLoadError(file_.path() + ": its resource tree " + why);
    }

    void Directory(std::uint32_t at, int level, std::vector<std::uint32_t> path) {
        if (level == 3) Damaged("is deeper than type, id and language");
        if (!bytes_.Has(at, 16)) Damaged("points outside its resource section");
        if (std::find(path.begin(), path.end(), at) != path.end()) Damaged("loops: a directory contains itself");
        if (!visited_.insert(at).second) Damaged("reaches one directory twice");
        path.push_back(at);
        const std::size_t entries = std::size_t{bytes_.Word16(at + 12)} + bytes_.Word16(at + 14);
        if (!bytes_.Has(at + 16, entries * 8)) Damaged("points outside its resource section");
        for (std::size_t i = 0; i < entries; ++i) {
            const std::uint32_t name = bytes_.Word32(at + 16 + i * 8), target = bytes_.Word32(at + 20 + i * 8);
            if (name & 0x80000000u) {
                has_named_ = true;
                continue;
            }
            ids_[level] = name;
            if ((target & 0x80000000u) != 0) {
                if (level == 2) Damaged("has a directory where a language's data belongs");
                Directory(target & 0x7FFFFFFFu, level + 1, path);
            } else {
                if (level != 2) Damaged("has data where a directory belongs");
                Data(target);
            }
        }
    }

    void Data(std::uint32_t at) {
        if (!bytes_.Has(at, 16)) Damaged("points outside its resource section");
        const std::uint32_t address = bytes_.Word32(at), size = bytes_.Word32(at + 4);
        const std::uint32_t section = file_.resources().section_offset;
        if (address < section || !bytes_.Has(address - section, size)) Damaged("has data outside its resource section");
        if (resources_.size() == kMostResources) Damaged("holds more than 4096 resources");
        resources_.push_back({ids_[0], ids_[1], static_cast<std::uint16_t>(ids_[2]), bytes_.Slice(address - section, size)});
    }

    const ModuleFile& file_;
    Bytes bytes_;
    std::vector<Resource>& resources_;
    bool& has_named_;
    std::uint32_t ids_[3] = {};
    std::set<std::uint32_t> visited_;
};

void ReadResources(const ModuleFile& file, std::vector<Resource>& resources, bool& has_named) {
    if (file.resources().bytes.empty()) return;
    ResourceTree(file, resources, has_named).Read();
}

#else

// The resource compiler's .res file: a run of entries, each its data size, header size, type and
// name (each 0xFFFF and a 16-bit number, or a UTF-16 text), aligned to 4, data version, memory
// flags, language, version, characteristics; then the data, aligned to 4. The first entry of a
// file is empty.
void ReadResources(const ModuleFile& file, std::vector<Resource>& resources, bool& has_named) {
    const Bytes bytes(file.resources().bytes);
    auto damaged = [&](const std::string& why) {
        return ModuleLoadError(file.path() + ": its resource section is damaged: " + why);
    };
    std::size_t at = 0;
    while (bytes.Has(at, 8)) {
        const std::uint32_t data_size = bytes.Word32(at);
        const std::uint32_t header_size = bytes.Word32(at + 4);
        if (header_size < 32 || !bytes.Has(at, header_size) || !bytes.Has(at + header_size, data_size))
            throw damaged("an entry at byte " + std::to_string(at) + " runs past its end");
        std::size_t field = at + 8;
        bool numbered = true;
        std::uint32_t numbers[2] = {};
        const std::size_t header_end = at + header_size;
        for (std::uint32_t& number : numbers) {
            if (field + 4 > header_end) throw damaged("an entry's header at byte " + std::to_string(at) + " is cut short");
            if (bytes.Word16(field) == 0xFFFF) {
                number = bytes.Word16(field + 2);
                field += 4;
            } else {
                numbered = false;
                while (field + 2 <= header_end && bytes.Word16(field) != 0) field += 2;
                field += 2;
            }
        }
        field = (field + 3) & ~std::size_t{3};
        if (field + 16 > header_end) throw damaged("an entry's header at byte " + std::to_string(at) + " is cut short");
        const std::uint16_t language = bytes.Word16(field + 6);
        const std::size_t data = at + header_size;
        if (!numbered) has_named = true;
        else if (numbers[0] != 0) {
            if (resources.size() == kMostResources) throw damaged("it holds more than 4096 resources");
            resources.push_back({numbers[0], numbers[1], language, bytes.Slice(data, data_size)});
        }
        at = (data + data_size + 3) & ~std::size_t{3};
    }
}

#endif

}  // namespace

ModuleResources::ModuleResources(const ModuleFile& file) {
    if (!file.resource_problem().empty()) throw ModuleLoadError(file.path() + ": its resources cannot be read: " + file.resource_problem());
    ReadResources(file, resources_, has_named_resources_);
    std::sort(resources_.begin(), resources_.end(), [](const Resource& a, const Resource& b) {
        return std::tie(a.type, a.id, a.language) < std::tie(b.type, b.id, b.language);
    });
}

const Resource* ModuleResources::Find(std::uint32_t type, std::uint32_t id, std::uint16_t language) const {
    for (const Resource& resource : resources_)
        if (resource.type == type && resource.id == id && resource.language == language) return &resource;
    return nullptr;
}

const Resource* ModuleResources::FindInAnyLanguage(std::uint32_t type, std::uint32_t id) const {
    for (const Resource& resource : resources_)
        if (resource.type == type && resource.id == id) return &resource;
    return nullptr;
}

}  // namespace gauge_host
