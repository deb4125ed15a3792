#include "host/version_block.h"

#include <cstring>

namespace gauge_host {

namespace {

// One node of the block: length, value length, type (1 text, 0 binary), a UTF-16 key, then the
// value and the child nodes, each aligned to 4 bytes.
struct Node {
    std::size_t begin, end;  // the node's bytes
    std::string key;
    std::size_t value;       // where the value starts
    std::size_t value_bytes;
    std::size_t children;    // where the first child starts
};

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    std::uint16_t Word16(std::size_t at) const { return static_cast<std::uint16_t>(bytes_[at] | bytes_[at + 1] << 8); }
    std::uint32_t Word32(std::size_t at) const { return Word16(at) | static_cast<std::uint32_t>(Word16(at + 2)) << 16; }

    // UTF-16 text from `at` up to its NUL or `end`, kept to ASCII.
    std::string Text(std::size_t at, std::size_t end, std::size_t* after = nullptr) const {
        std::string text;
        while (at + 2 <= end && Word16(at) != 0) {
            const std::uint16_t unit = Word16(at);
            text += unit < 0x80 ? static_cast<char>(unit) : '?';
            at += 2;
        }
        if (after) *after = at + 2;
        return text;
    }

    std::optional<Node> NodeAt(std::size_t at, std::size_t limit) const {
        if (at + 6 > limit) return std::nullopt;
        const std::uint16_t length = Word16(at);
        if (length < 6 || at + length > limit) return std::nullopt;
        Node node{at, at + length, {}, 0, 0, 0};
        std::size_t after_key;
        node.key = Text(at + 6, node.end, &after_key);
        node.value = Align(after_key);
        const std::uint16_t value_length = Word16(at + 2);
        node.value_bytes = Word16(at + 4) == 1 ? value_length * 2u : value_length;  // text counts characters
        if (node.value + node.value_bytes > node.end) node.value_bytes = node.end > node.value ? node.end - node.value : 0;
        node.children = Align(node.value + node.value_bytes);
        return node;
    }

    template <class Visit>
    void Children(const Node& parent, Visit&& visit) const {
        for (std::size_t at = parent.children; at < parent.end;) {
            auto child = NodeAt(at, parent.end);
            if (!child) return;
            visit(*child);
            at = Align(child->end);
        }
    }

    static std::size_t Align(std::size_t at) { return (at + 3) & ~std::size_t{3}; }

private:
    const std::vector<std::uint8_t>& bytes_;
};

}  // namespace

std::optional<VersionBlock> ParseVersionBlock(const std::vector<std::uint8_t>& bytes) {
    Reader reader(bytes);
    auto root = reader.NodeAt(0, bytes.size());
    if (!root || root->value_bytes != 52) return std::nullopt;
    VersionBlock block;
    block.key = root->key;
    std::uint32_t fixed[13];
    for (int i = 0; i < 13; ++i) fixed[i] = reader.Word32(root->value + 4 * i);
    std::memcpy(&block.fixed, fixed, sizeof fixed);

    reader.Children(*root, [&](const Node& info) {
        if (info.key == "StringFileInfo") {
            reader.Children(info, [&](const Node& table) {
                block.string_tables.push_back(table.key);
                reader.Children(table, [&](const Node& string) {
                    block.strings.emplace_back(string.key,
                                               reader.Text(string.value, string.value + string.value_bytes));
                });
            });
        } else if (info.key == "VarFileInfo") {
            reader.Children(info, [&](const Node& var) {
                if (var.key != "Translation") return;
                for (std::size_t at = var.value; at + 4 <= var.value + var.value_bytes; at += 4)
                    block.translations.emplace_back(reader.Word16(at), reader.Word16(at + 2));
            });
        }
    });
    return block;
}

}  // namespace gauge_host
