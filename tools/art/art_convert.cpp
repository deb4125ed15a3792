// art_convert: turns the gauges' SVG artwork into the 8-bit bitmaps that the modules carry.
//
// Usage: art_convert MANIFEST ROOT
//
// Each manifest line names one bitmap: module, resource id, SVG file, size, resolution word,
// kind, the palette entry that holds pure black and any extra pure-black entries. The SVG is
// read from ROOT/<module>/art/<svg>, rendered at its own pixel size, reduced to a 256-colour
// palette and written as ROOT/<module>/bitmaps/<id>.bmp: a 14-byte file header followed by the
// device-independent bitmap that becomes the resource (40-byte information header, 256 palette
// entries of blue, green, red, 0, bottom-up rows of one byte per pixel padded to 4 bytes).
//
// Pure black (0, 0, 0) is the see-through colour. The kinds say where it may appear:
//   background  an opaque picture; pure black wherever nothing is painted (or pure black is
//               painted). Its edges blend into black.
//   sprite      a shape on a pure-black surround: a pixel is surround exactly when its coverage
//               is below half; every other pixel is composited on a near-black matte and is never
//               given the black entry. A pure-black pixel inside the shape is refused.
//   lever       a sprite whose surround is also one 4-connected area joined to the border.
// Nothing is written unless every bitmap of the manifest meets its rules, and no two bitmaps of
// one run may end up with the same palette. Then every bitmap goes to a temporary file beside its
// target, and the temporaries replace the targets only once all of them are written: a run
// writes all its bitmaps or none.
//
// The manifest and the SVG files are untrusted input: anything wrong in them is refused with one
// line that names the manifest file and line, or the SVG file, and exit status 1.

#include <librsvg/rsvg.h>
#include <cairo.h>
#include <Magick++.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

enum class Kind { Background, Sprite, Lever };

struct Entry {
    std::string where;  // "MANIFEST:LINE", the line that names the bitmap
    std::string module;
    int id = 0;
    std::string svg;
    int width = 0;
    int height = 0;
    int pixels_per_metre = 0;
    Kind kind = Kind::Sprite;
    int black_entry = 0;
    std::vector<int> extra_black;
    fs::path svg_path;  // ROOT/<module>/art/<svg>
    fs::path target;    // ROOT/<module>/bitmaps/<id>.bmp
    std::string name() const { return module + " " + std::to_string(id); }
};

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool black() const { return r == 0 && g == 0 && b == 0; }
    uint32_t key() const { return (uint32_t(r) << 16) | (uint32_t(g) << 8) | b; }
    bool operator==(const Rgb& o) const { return key() == o.key(); }
};

// Anti-aliased sprite edges blend towards this colour rather than towards the see-through black.
constexpr Rgb kMatte{12, 10, 10};
// A sprite pixel belongs to the shape when at least half of it is covered.
constexpr int kCoverageThreshold = 128;

// A refusal; its message names the file (and line) it is about.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Library messages may span lines (libxml's end in a newline); an error is one line.
std::string one_line(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

[[noreturn]] void fail(const Entry& e, const std::string& why) {
    throw Failure(e.svg_path.string() + ": " + one_line(why) + " (" + e.name() + ", " + e.where + ")");
}

// Bitmaps are small pictures; the limit keeps a mistyped size from asking for gigabytes.
constexpr int kLargestSide = 4096;

// A whole decimal number from low to high, the token and nothing else.
int number_field(const std::string& where, const char* field, const std::string& token, int low, int high) {
    int value = 0;
    const char* end = token.data() + token.size();
    const auto [stop, error] = std::from_chars(token.data(), end, value);
    if (error != std::errc() || stop != end || value < low || value > high)
        throw Failure(where + ": " + field + " \"" + token + "\" is not a whole number from " +
                      std::to_string(low) + " to " + std::to_string(high));
    return value;
}

// Module and SVG names become parts of paths under ROOT, so each must be one plain name.
std::string name_field(const std::string& where, const char* field, const std::string& token) {
    if (token == "." || token == ".." || token.find_first_of(std::string("/\0", 2)) != std::string::npos)
        throw Failure(where + ": " + field + " \"" + token + "\" is not a plain file name");
    return token;
}

std::vector<Entry> read_manifest(const fs::path& path, const fs::path& root) {
    std::ifstream in(path);
    if (!in) throw Failure(path.string() + ": cannot read the manifest: " + std::strerror(errno));
    std::vector<Entry> entries;
    std::map<std::pair<std::string, int>, std::string> named;  // (module, id) -> where
    std::string line;
    for (int line_no = 1; std::getline(in, line); ++line_no) {
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream split(line);
        std::vector<std::string> fields;
        for (std::string field; split >> field;) fields.push_back(field);
        if (fields.empty()) continue;  // blank or comment line
        Entry e;
        e.where = path.string() + ":" + std::to_string(line_no);
        if (fields.size() != 9)
            throw Failure(e.where + ": expected 9 fields (module id svg width height ppm kind black extra), found " +
                          std::to_string(fields.size()));
        e.module = name_field(e.where, "module", fields[0]);
        e.id = number_field(e.where, "id", fields[1], 1, 65535);
        e.svg = name_field(e.where, "svg", fields[2]);
        e.width = number_field(e.where, "width", fields[3], 1, kLargestSide);
        e.height = number_field(e.where, "height", fields[4], 1, kLargestSide);
        e.pixels_per_metre = number_field(e.where, "ppm", fields[5], 1, INT32_MAX);
        const std::string& kind = fields[6];
        if (kind == "background") e.kind = Kind::Background;
        else if (kind == "sprite") e.kind = Kind::Sprite;
        else if (kind == "lever") e.kind = Kind::Lever;
        else throw Failure(e.where + ": kind \"" + kind + "\" is not background, sprite or lever");
        e.black_entry = number_field(e.where, "black", fields[7], 0, 255);
        std::set<int> black{e.black_entry};
        if (fields[8] != "-") {
            // Each comma-separated item, empty ones included, must be an entry number.
            std::istringstream list(fields[8] + ",");
            for (std::string item; std::getline(list, item, ',');) {
                e.extra_black.push_back(number_field(e.where, "extra", item, 0, 255));
                if (!black.insert(e.extra_black.back()).second)
                    throw Failure(e.where + ": extra entry " + item + " is named twice");
            }
        }
        const auto [earlier, added] = named.emplace(std::pair(e.module, e.id), e.where);
        if (!added) throw Failure(e.where + ": " + e.name() + " is already named at " + earlier->second);
        e.svg_path = root / e.module / "art" / e.svg;
        e.target = root / e.module / "bitmaps" / (std::to_string(e.id) + ".bmp");
        entries.push_back(e);
    }
    if (in.bad()) throw Failure(path.string() + ": cannot read the manifest: " + std::strerror(errno));
    if (entries.empty()) throw Failure(path.string() + ": the manifest names no bitmap");
    return entries;
}

// Renders the SVG at exactly width x height pixels; returns premultiplied ARGB words.
std::vector<uint32_t> render(const Entry& e) {
    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_file(e.svg_path.c_str(), &error);
    if (!handle) {
        std::string why = error ? error->message : "unknown error";
        if (error) g_error_free(error);
        fail(e, "cannot load SVG: " + why);
    }
    gboolean has_w = FALSE, has_h = FALSE, has_vb = FALSE;
    RsvgLength w{}, h{};
    RsvgRectangle vb{};
    rsvg_handle_get_intrinsic_dimensions(handle, &has_w, &w, &has_h, &h, &has_vb, &vb);
    gdouble px_w = 0, px_h = 0;
    bool sized = rsvg_handle_get_intrinsic_size_in_pixels(handle, &px_w, &px_h);
    if (!sized || px_w != e.width || px_h != e.height) {
        g_object_unref(handle);
        fail(e, "SVG size is not " + std::to_string(e.width) + "x" + std::to_string(e.height));
    }
    if (!has_vb || vb.x != 0 || vb.y != 0 || vb.width != e.width || vb.height != e.height) {
        g_object_unref(handle);
        fail(e, "SVG viewBox must be \"0 0 " + std::to_string(e.width) + " " +
                    std::to_string(e.height) + "\"");
    }

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, e.width, e.height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        g_object_unref(handle);
        cairo_surface_destroy(surface);
        fail(e, "cannot make a drawing surface of that size");
    }
    cairo_t* cr = cairo_create(surface);
    RsvgRectangle viewport{0, 0, double(e.width), double(e.height)};
    bool drawn = rsvg_handle_render_document(handle, cr, &viewport, &error);
    cairo_destroy(cr);
    g_object_unref(handle);
    if (!drawn) {
        std::string why = error ? error->message : "unknown error";
        if (error) g_error_free(error);
        cairo_surface_destroy(surface);
        fail(e, "cannot render SVG: " + why);
    }
    cairo_surface_flush(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<uint32_t> argb(size_t(e.width) * e.height);
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x)
            argb[size_t(y) * e.width + x] =
                *reinterpret_cast<const uint32_t*>(data + size_t(y) * stride + size_t(x) * 4);
    cairo_surface_destroy(surface);
    return argb;
}

uint8_t over(uint32_t premultiplied, int alpha, uint8_t matte) {
    return uint8_t(std::min(255, int(premultiplied) + ((255 - alpha) * matte + 127) / 255));
}

// The quantiser's palette for the painted pixels: at most `count` colours.
std::vector<Magick::ColorRGB> quantised_colours(const std::vector<Rgb>& pixels, size_t count) {
    if (pixels.empty()) return {};
    // The painted pixels, in a block of rows (the library limits an image's width); the last
    // row is filled up by starting over, which adds no colour.
    const size_t columns = std::min<size_t>(256, pixels.size());
    const size_t rows = (pixels.size() + columns - 1) / columns;
    std::vector<uint8_t> block;
    block.reserve(columns * rows * 3);
    for (size_t i = 0; i < columns * rows; ++i) {
        const Rgb& p = pixels[i % pixels.size()];
        block.insert(block.end(), {p.r, p.g, p.b});
    }
    Magick::Image image(columns, rows, "RGB", Magick::CharPixel, block.data());
    image.quantizeColors(count);
    image.quantizeDither(false);
    image.quantize();
    std::vector<Magick::ColorRGB> colours;
    for (size_t i = 0; i < image.colorMapSize(); ++i) colours.push_back(image.colorMap(i));
    return colours;
}

// The colours that the picture's non-black pixels may take: the quantiser's palette for them,
// made distinct, never pure black, and filled up to exactly `count` colours.
std::vector<Rgb> make_colours(const Entry& e, const std::vector<Rgb>& pixels, size_t count) {
    std::set<uint32_t> seen;
    std::vector<Rgb> colours;
    auto add = [&](Rgb c) {
        if (c.black()) c = Rgb{1, 1, 1};  // a cluster of near-blacks may round to 0
        if (seen.insert(c.key()).second) colours.push_back(c);
    };
    for (const Magick::ColorRGB& c : quantised_colours(pixels, count)) {
        auto to8 = [](double v) { return uint8_t(std::clamp(int(v * 255.0 + 0.5), 0, 255)); };
        add(Rgb{to8(c.red()), to8(c.green()), to8(c.blue())});
    }
    if (colours.size() > count) fail(e, "the quantiser returned too many colours");
    std::sort(colours.begin(), colours.end(), [](const Rgb& a, const Rgb& b) {
        int la = 299 * a.r + 587 * a.g + 114 * a.b, lb = 299 * b.r + 587 * b.g + 114 * b.b;
        return la != lb ? la < lb : a.key() < b.key();
    });
    // Unused entries: near duplicates of the colours in use, each distinct and not black.
    static const int steps[][3] = {{1, 1, 1}, {-1, -1, -1}, {2, 2, 2}, {-2, -2, -2}, {1, 0, 0},
                                   {0, 1, 0}, {0, 0, 1}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    const size_t used = colours.size();
    for (size_t round = 1; colours.size() < count && round < 64; ++round)
        for (size_t i = 0; i < used && colours.size() < count; ++i)
            for (const auto& s : steps) {
                int r = colours[i].r + int(round) * s[0], g = colours[i].g + int(round) * s[1],
                    b = colours[i].b + int(round) * s[2];
                if (r < 0 || g < 0 || b < 0 || r > 255 || g > 255 || b > 255) continue;
                Rgb c{uint8_t(r), uint8_t(g), uint8_t(b)};
                if (!c.black() && seen.insert(c.key()).second) {
                    colours.push_back(c);
                    break;
                }
            }
    // A picture of few colours (one flat colour, or none painted) has too few near duplicates
    // for the rest; the lowest colour values not yet taken fill it. At most `count` values are
    // taken, so this ends within 2 x `count` values.
    for (uint32_t key = 1; colours.size() < count; ++key)
        if (seen.insert(key).second) colours.push_back(Rgb{uint8_t(key >> 16), uint8_t(key >> 8), uint8_t(key)});
    return colours;
}

size_t nearest(const std::vector<Rgb>& colours, const Rgb& p) {
    size_t best = 0;
    long best_d = -1;
    for (size_t i = 0; i < colours.size(); ++i) {
        long dr = long(colours[i].r) - p.r, dg = long(colours[i].g) - p.g,
             db = long(colours[i].b) - p.b;
        long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
        if (best_d < 0 || d < best_d) best_d = d, best = i;
    }
    return best;
}

// True when every surround pixel is reached, through 4-neighbours, from the bitmap's border.
bool surround_joined_to_border(const Entry& e, const std::vector<bool>& surround) {
    const int w = e.width, h = e.height;
    std::vector<bool> reached(surround.size(), false);
    std::vector<int> todo;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if ((x == 0 || y == 0 || x == w - 1 || y == h - 1) && surround[y * w + x]) {
                reached[y * w + x] = true;
                todo.push_back(y * w + x);
            }
    while (!todo.empty()) {
        int i = todo.back();
        todo.pop_back();
        int x = i % w, y = i / w;
        const int next[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
        for (const auto& n : next) {
            if (n[0] < 0 || n[1] < 0 || n[0] >= w || n[1] >= h) continue;
            int j = n[1] * w + n[0];
            if (surround[j] && !reached[j]) reached[j] = true, todo.push_back(j);
        }
    }
    return reached == surround;
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

struct Bitmap {
    std::vector<uint8_t> file;  // 14-byte file header + resource bytes
    std::array<Rgb, 256> palette;
};

Bitmap convert(const Entry& e) {
    const std::vector<uint32_t> argb = render(e);
    const size_t n = argb.size();

    std::vector<bool> surround(n, false);
    std::vector<Rgb> colour(n);
    for (size_t i = 0; i < n; ++i) {
        const uint32_t p = argb[i];
        const int a = int(p >> 24);
        const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        if (e.kind == Kind::Background) {
            colour[i] = Rgb{uint8_t(r), uint8_t(g), uint8_t(b)};  // composited on black
            surround[i] = colour[i].black();
        } else if (a < kCoverageThreshold) {
            surround[i] = true;
        } else {
            colour[i] = Rgb{over(r, a, kMatte.r), over(g, a, kMatte.g), over(b, a, kMatte.b)};
            if (colour[i].black())
                fail(e, "pure black inside the shape at (" + std::to_string(i % e.width) + ", " +
                            std::to_string(i / e.width) + ")");
        }
    }
    if (e.kind == Kind::Lever && !surround_joined_to_border(e, surround))
        fail(e, "the pure-black surround is not one area joined to the border");

    std::vector<Rgb> painted;
    for (size_t i = 0; i < n; ++i)
        if (!surround[i]) painted.push_back(colour[i]);
    const size_t black_count = 1 + e.extra_black.size();
    const std::vector<Rgb> colours = make_colours(e, painted, 256 - black_count);

    // Palette: pure black at its fixed entries, the colours in the others in order.
    Bitmap bmp;
    std::vector<bool> is_black(256, false);
    is_black[e.black_entry] = true;
    for (int i : e.extra_black) is_black[i] = true;
    std::vector<uint8_t> slot_of_colour;
    for (int slot = 0, next = 0; slot < 256; ++slot) {
        if (is_black[slot]) {
            bmp.palette[slot] = Rgb{0, 0, 0};
        } else {
            bmp.palette[slot] = colours[next++];
            slot_of_colour.push_back(uint8_t(slot));
        }
    }

    const uint32_t row_stride = (uint32_t(e.width) + 3) / 4 * 4;
    const uint32_t image_size = row_stride * uint32_t(e.height);
    const uint32_t resource_size = 40 + 256 * 4 + image_size;
    std::vector<uint8_t>& out = bmp.file;
    out.reserve(14 + resource_size);
    out.push_back('B');
    out.push_back('M');
    put32(out, 14 + resource_size);
    put32(out, 0);
    put32(out, 14 + 40 + 256 * 4);
    put32(out, 40);
    put32(out, uint32_t(e.width));
    put32(out, uint32_t(e.height));  // positive: rows stored bottom-up
    put16(out, 1);
    put16(out, 8);
    put32(out, 0);
    put32(out, image_size);
    put32(out, uint32_t(e.pixels_per_metre));
    put32(out, uint32_t(e.pixels_per_metre));
    put32(out, 256);
    put32(out, 256);
    for (const Rgb& c : bmp.palette) out.insert(out.end(), {c.b, c.g, c.r, 0});

    std::map<uint32_t, uint8_t> memo;
    for (int y = e.height - 1; y >= 0; --y) {
        for (int x = 0; x < e.width; ++x) {
            const size_t i = size_t(y) * e.width + x;
            uint8_t index = uint8_t(e.black_entry);
            if (!surround[i]) {
                auto found = memo.find(colour[i].key());
                if (found == memo.end())
                    found = memo.emplace(colour[i].key(),
                                         slot_of_colour[nearest(colours, colour[i])]).first;
                index = found->second;
            }
            out.push_back(index);
        }
        out.insert(out.end(), row_stride - uint32_t(e.width), 0);
    }

    // Re-read what is about to be written: the rules hold on the bytes, not on intentions.
    if (out.size() != 14 + resource_size) fail(e, "internal error: wrong bitmap size");
    for (int slot = 0; slot < 256; ++slot)
        if (bmp.palette[slot].black() != is_black[slot])
            fail(e, "pure black at palette entry " + std::to_string(slot) + " is not allowed");
    const uint8_t* rows = out.data() + 14 + 40 + 1024;
    for (int y = 0; y < e.height; ++y)
        for (int x = 0; x < e.width; ++x) {
            const uint8_t index = rows[size_t(e.height - 1 - y) * row_stride + x];
            if ((index == e.black_entry) != bool(surround[size_t(y) * e.width + x]) ||
                (is_black[index] && index != e.black_entry))
                fail(e, "pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                            ") breaks the pure-black rule");
        }
    return bmp;
}

// Temporary files beside the targets, removed on the way out unless moved into place.
class Temporaries {
public:
    Temporaries() = default;
    Temporaries(const Temporaries&) = delete;
    Temporaries& operator=(const Temporaries&) = delete;
    ~Temporaries() {
        for (const fs::path& path : pending_) {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
    }

    // Writes the bytes to a new temporary beside `target`: a hidden file named after this
    // process, created only if no such file exists, so that nothing else is overwritten.
    void create(const fs::path& target, const std::vector<uint8_t>& bytes) {
        const fs::path path = target.parent_path() /
                              ("." + target.filename().string() + "." + std::to_string(getpid()) + ".tmp");
        std::FILE* out = std::fopen(path.c_str(), "wbx");
        if (!out) throw Failure(path.string() + ": cannot create: " + std::strerror(errno));
        pending_.push_back(path);
        targets_.push_back(target);
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
        const int write_error = errno;
        if (std::fclose(out) != 0 || !written)
            throw Failure(path.string() + ": cannot write: " + std::strerror(written ? errno : write_error));
    }

    // Renames every temporary over its target, in the order they were created.
    void move_into_place() {
        for (size_t i = 0; i < pending_.size(); ++i) {
            std::error_code error;
            fs::rename(pending_[i], targets_[i], error);
            if (error)
                throw Failure(targets_[i].string() + ": cannot replace: " + error.message() +
                              (i > 0 ? " (the bitmaps before it in the manifest are replaced)" : ""));
            pending_[i].clear();
        }
        pending_.clear();
    }

private:
    std::vector<fs::path> pending_;
    std::vector<fs::path> targets_;
};

// Writes every bitmap or none. The targets are checked first, so that once all temporaries are
// written, renaming them (within one folder each) has nothing left to fail on.
void write_all(const std::vector<Entry>& entries, const std::vector<Bitmap>& bitmaps) {
    for (const Entry& e : entries) {
        const fs::path folder = e.target.parent_path();
        std::error_code error;
        fs::create_directories(folder, error);
        if (error) throw Failure(folder.string() + ": cannot create the folder: " + error.message());
        const fs::file_status status = fs::symlink_status(e.target, error);
        if (fs::exists(status) && !fs::is_regular_file(status))
            throw Failure(e.target.string() + ": is in the way, not a regular file");
    }
    Temporaries temporaries;
    for (size_t i = 0; i < entries.size(); ++i) temporaries.create(entries[i].target, bitmaps[i].file);
    temporaries.move_into_place();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: art_convert MANIFEST ROOT\n";
        return 2;
    }
    Magick::InitializeMagick(argv[0]);
    // One thread, so that the quantiser works the same way whatever the machine's number of cores.
    Magick::ResourceLimits::thread(1);
    try {
        const std::vector<Entry> entries = read_manifest(argv[1], argv[2]);
        std::vector<Bitmap> bitmaps;
        for (const Entry& e : entries) {
            try {
                bitmaps.push_back(convert(e));
            } catch (const Failure&) {
                throw;
            } catch (const std::exception& ex) {  // the libraries' own
                fail(e, ex.what());
            }
        }
        for (size_t i = 0; i < entries.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                if (bitmaps[i].palette == bitmaps[j].palette)
                    throw Failure(entries[i].where + ": " + entries[i].name() + " has the same palette as " +
                                  entries[j].name() + " (" + entries[j].where + ")");
        write_all(entries, bitmaps);
        for (size_t i = 0; i < entries.size(); ++i)
            std::cout << "wrote " << entries[i].target.string() << " (" << bitmaps[i].file.size() - 14
                      << " resource bytes)\n";
        std::cout.flush();
        if (!std::cout) throw Failure("cannot write to the standard output");
    } catch (const std::exception& ex) {
        std::cerr << "art_convert: " << one_line(ex.what()) << "\n";
        return 1;
    }
    return 0;
}
