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
// one run may end up with the same palette.

#include <librsvg/rsvg.h>
#include <cairo.h>
#include <Magick++.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
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
    std::string module;
    int id = 0;
    std::string svg;
    int width = 0;
    int height = 0;
    int pixels_per_metre = 0;
    Kind kind = Kind::Sprite;
    int black_entry = 0;
    std::vector<int> extra_black;
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

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const Entry& e, const std::string& why) {
    throw Failure(e.name() + " (" + e.svg + "): " + why);
}

std::vector<Entry> read_manifest(const fs::path& path) {
    std::ifstream in(path);
    if (!in) throw Failure("cannot read manifest " + path.string());
    std::vector<Entry> entries;
    std::string line;
    int line_no = 0;
    while (std::getline(in, line)) {
        ++line_no;
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream fields(line);
        Entry e;
        std::string kind, extra;
        if (!(fields >> e.module)) continue;  // blank or comment line
        if (!(fields >> e.id >> e.svg >> e.width >> e.height >> e.pixels_per_metre >> kind >>
              e.black_entry >> extra))
            throw Failure(path.string() + ":" + std::to_string(line_no) + ": expected 9 fields");
        if (kind == "background") e.kind = Kind::Background;
        else if (kind == "sprite") e.kind = Kind::Sprite;
        else if (kind == "lever") e.kind = Kind::Lever;
        else throw Failure(path.string() + ":" + std::to_string(line_no) + ": unknown kind " + kind);
        if (extra != "-") {
            std::istringstream list(extra);
            std::string item;
            while (std::getline(list, item, ',')) e.extra_black.push_back(std::stoi(item));
        }
        std::set<int> black{e.black_entry};
        for (int i : e.extra_black) black.insert(i);
        if (e.width <= 0 || e.height <= 0 || e.pixels_per_metre <= 0 ||
            black.size() != 1 + e.extra_black.size() || *black.begin() < 0 || *black.rbegin() > 255)
            throw Failure(path.string() + ":" + std::to_string(line_no) + ": bad values");
        entries.push_back(e);
    }
    return entries;
}

// Renders the SVG at exactly width x height pixels; returns premultiplied ARGB words.
std::vector<uint32_t> render(const Entry& e, const fs::path& svg_path) {
    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_file(svg_path.c_str(), &error);
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

// The colours that the picture's non-black pixels may take: the quantiser's palette for them,
// made distinct, never pure black, and filled up to exactly `count` colours.
std::vector<Rgb> make_colours(const Entry& e, const std::vector<Rgb>& pixels, size_t count) {
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

    std::set<uint32_t> seen;
    std::vector<Rgb> colours;
    auto add = [&](Rgb c) {
        if (c.black()) c = Rgb{1, 1, 1};  // a cluster of near-blacks may round to 0
        if (seen.insert(c.key()).second) colours.push_back(c);
    };
    for (size_t i = 0; i < image.colorMapSize(); ++i) {
        Magick::ColorRGB c = image.colorMap(i);
        auto to8 = [](double v) { return uint8_t(std::clamp(int(v * 255.0 + 0.5), 0, 255)); };
        add(Rgb{to8(c.red()), to8(c.green()), to8(c.blue())});
    }
    if (colours.empty()) fail(e, "the picture has no painted pixels");
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
    if (colours.size() != count) fail(e, "cannot fill the palette with distinct colours");
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

Bitmap convert(const Entry& e, const fs::path& root) {
    const fs::path svg_path = root / e.module / "art" / e.svg;
    const std::vector<uint32_t> argb = render(e, svg_path);
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
    if (e.kind != Kind::Background) {
        if (std::find(surround.begin(), surround.end(), true) == surround.end())
            fail(e, "the picture has no see-through surround");
        if (e.kind == Kind::Lever && !surround_joined_to_border(e, surround))
            fail(e, "the pure-black surround is not one area joined to the border");
    }

    std::vector<Rgb> painted;
    for (size_t i = 0; i < n; ++i)
        if (!surround[i]) painted.push_back(colour[i]);
    if (painted.empty()) fail(e, "the picture has no painted pixels");
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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: art_convert MANIFEST ROOT\n";
        return 2;
    }
    Magick::InitializeMagick(argv[0]);
    try {
        const std::vector<Entry> entries = read_manifest(argv[1]);
        const fs::path root = argv[2];
        std::vector<Bitmap> bitmaps;
        for (const Entry& e : entries) bitmaps.push_back(convert(e, root));
        for (size_t i = 0; i < entries.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                if (bitmaps[i].palette == bitmaps[j].palette)
                    throw Failure(entries[i].name() + " has the same palette as " +
                                  entries[j].name());
        for (size_t i = 0; i < entries.size(); ++i) {
            const fs::path dir = root / entries[i].module / "bitmaps";
            fs::create_directories(dir);
            const fs::path file = dir / (std::to_string(entries[i].id) + ".bmp");
            std::ofstream out(file, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bitmaps[i].file.data()),
                      std::streamsize(bitmaps[i].file.size()));
            if (!out) throw Failure("cannot write " + file.string());
            std::cout << "wrote " << file.string() << " (" << bitmaps[i].file.size() - 14
                      << " resource bytes)\n";
        }
    } catch (const Failure& f) {
        std::cerr << "art_convert: " << f.what() << "\n";
        return 1;
    } catch (const std::exception& ex) {
        std::cerr << "art_convert: " << ex.what() << "\n";
        return 1;
    }
    return 0;
}
