// Fonts: TrueType files written here table by table (their directory,
// metrics, character maps and glyph outlines), damaged fonts, the installed
// fonts the program meets, font chains and finding system fonts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "gfx/FontChain.h"
#include "gfx/Path.h"
#include "gfx/SystemFonts.h"
#include "gfx/TrueTypeFont.h"
#include "platform/FontFiles.h"
#include "tests/Environment.h"

// fontconfig loses a few hundred bytes once, while it parses its
// configuration files on first use; that is not a leak of ours. The fast
// unwinder records only the innermost frames, so the match is by library.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace quil {
namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& bytes, size_t at, uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> 8 * (size - 1 - i));
}

// Appends big-endian values of `size` bytes each.
void Add(Bytes& bytes, int size, std::initializer_list<uint64_t> values) {
    for (uint64_t v : values) {
        bytes.resize(bytes.size() + size);
        Put(bytes, bytes.size() - size, v, size);
    }
}

struct Pt {
    int x = 0, y = 0;
    bool on = true;
};

struct Component {
    uint16_t glyph = 0;
    uint16_t flags = 0x0002;  // arguments are offsets; the builder adds the rest
    int16_t argument1 = 0, argument2 = 0;
    std::vector<int16_t> transform;  // 2.14: one scale, x and y scales, or 2 x 2
};

struct Glyph {
    std::vector<std::vector<Pt>> contours;
    std::vector<Component> components;
    Bytes raw;  // when not empty, the record as it stands
    uint16_t advance = 500;
};

const auto Simple = [](std::vector<std::vector<Pt>> c, uint16_t a = 500) {
    return Glyph{c, {}, {}, a};
};
const auto Composite = [](std::vector<Component> c) { return Glyph{{}, c, {}, 500}; };

// A glyph record; bounds are not read and left 0. Arguments and deltas are
// words: the installed font has the shorter forms.
Bytes GlyphRecord(const Glyph& g) {
    if (!g.raw.empty() || (g.contours.empty() && g.components.empty()))
        return g.raw;
    Bytes out, flags, xs, ys;
    Add(out, 2, {g.contours.empty() ? 0xFFFF : g.contours.size(), 0, 0, 0, 0});
    for (size_t i = 0; i < g.components.size(); ++i) {
        const Component& c = g.components[i];
        const size_t n = c.transform.size();
        const int scale = n == 1 ? 0x08 : n == 2 ? 0x40 : n == 4 ? 0x80 : 0;
        const bool more = i + 1 < g.components.size();
        Add(out, 2, {c.flags | 0x01u | (more ? 0x20u : 0) | scale, c.glyph});
        Add(out, 2, {uint16_t(c.argument1), uint16_t(c.argument2)});
        for (int16_t v : c.transform)
            Add(out, 2, {uint16_t(v)});
    }
    size_t end = 0;
    for (const auto& contour : g.contours)
        Add(out, 2, {(end += contour.size()) - 1});
    if (!g.contours.empty())
        Add(out, 2, {0});  // no instructions
    Pt last;
    for (const auto& contour : g.contours) {
        for (const Pt& p : contour) {
            flags.push_back(p.on);
            Add(xs, 2, {uint16_t(p.x - last.x)});
            Add(ys, 2, {uint16_t(p.y - last.y)});
            last = p;
        }
    }
    out.insert(out.end(), flags.begin(), flags.end());
    out.insert(out.end(), xs.begin(), xs.end());
    out.insert(out.end(), ys.begin(), ys.end());
    return out;
}

Bytes Format0(std::initializer_list<std::pair<char, uint8_t>> map) {
    Bytes out(262);
    Put(out, 2, 262, 2);
    for (const auto& [code, glyph] : map)
        out[6 + code] = glyph;
    return out;
}

Bytes Format6(uint16_t firstCode, const std::vector<uint16_t>& glyphs) {
    Bytes out;
    Add(out, 2, {6, 10 + 2 * glyphs.size(), 0, firstCode, glyphs.size()});
    for (uint16_t g : glyphs)
        Add(out, 2, {g});
    return out;
}

struct Segment {
    uint16_t start, end, delta;
    std::vector<uint16_t> glyphs;  // when not empty, mapped through idRangeOffset
};

// Adds the closing 0xFFFF segment unless the last one ends there.
Bytes Format4(std::vector<Segment> segments) {
    if (segments.empty() || segments.back().end != 0xFFFF)
        segments.push_back(Segment{0xFFFF, 0xFFFF, 1, {}});
    const size_t n = segments.size();
    Bytes out, glyphs;
    Add(out, 2, {4, 0, 0, 2 * n, 0, 0, 0});  // length set below; search fields not read
    for (const auto& s : segments)
        Add(out, 2, {s.end});
    Add(out, 2, {0});
    for (const auto& s : segments)
        Add(out, 2, {s.start});
    for (const auto& s : segments)
        Add(out, 2, {s.delta});
    for (size_t i = 0; i < n; ++i) {
        Add(out, 2, {segments[i].glyphs.empty() ? 0 : 2 * (n - i) + glyphs.size()});
        for (uint16_t g : segments[i].glyphs)
            Add(glyphs, 2, {g});
    }
    out.insert(out.end(), glyphs.begin(), glyphs.end());
    Put(out, 2, out.size(), 2);
    return out;
}

// Writes a small TrueType file: directory, cmap, glyf, head, hhea, hmtx and
// loca, less `omit`.
struct FontBuilder {
    uint16_t unitsPerEm = 1000;
    int16_t yMin = -200, yMax = 800;
    bool longLoca = false;
    int metricCount = -1;  // long metrics in hmtx; -1: one per glyph
    int tableCount = -1;   // in the directory's header; -1: as written
    std::vector<Glyph> glyphs;
    std::vector<Bytes> cmaps;
    std::string omit;

    // Glyph 0 a box, 1 a triangle ("A"), 2 empty (" "), 3 four off-curve
    // points ("O"), 4 empty and wide ("C"); format 0 and format 4 maps.
    static FontBuilder Basic() {
        FontBuilder b;
        b.glyphs = {Simple({{{100, 0}, {100, 700}, {500, 700}, {500, 0}}}, 600),
                    Simple({{{0, 0}, {300, 700}, {600, 0}}}, 600), Simple({}, 250),
                    Simple({{{0, 300, 0}, {300, 600, 0}, {600, 300, 0}, {300, 0, 0}}}, 700),
                    Simple({}, 800)};
        b.cmaps = {Format0({{'A', 1}, {' ', 2}, {'O', 3}, {'C', 4}}),
                   Format4({{' ', ' ', uint16_t(2 - ' '), {}},
                            {'A', 'C', 0, {1, 0, 4}},
                            {'O', 'O', uint16_t(3 - 'O'), {}},
                            {0x2022, 0x2022, 0, {3}}})};
        return b;
    }

    Bytes Build() const {
        const size_t metrics = metricCount < 0 ? glyphs.size() : size_t(metricCount);
        Bytes glyf, loca, hmtx, head(54), hhea(36), cmap;
        for (size_t i = 0; i < glyphs.size(); ++i) {
            Add(loca, longLoca ? 4 : 2, {longLoca ? glyf.size() : glyf.size() / 2});
            const Bytes record = GlyphRecord(glyphs[i]);
            glyf.insert(glyf.end(), record.begin(), record.end());
            glyf.resize((glyf.size() + 3) / 4 * 4);
            if (i < metrics)
                Add(hmtx, 2, {glyphs[i].advance});
            Add(hmtx, 2, {0});  // left side bearing
        }
        Add(loca, longLoca ? 4 : 2, {longLoca ? glyf.size() : glyf.size() / 2});
        Put(head, 18, unitsPerEm, 2);
        Put(head, 38, uint16_t(yMin), 2);
        Put(head, 42, uint16_t(yMax), 2);
        Put(head, 50, longLoca, 2);
        Put(hhea, 4, uint16_t(yMax), 2);
        Put(hhea, 6, uint16_t(yMin), 2);
        Put(hhea, 34, metrics, 2);
        Add(cmap, 2, {0, cmaps.size()});
        size_t offset = 4 + 8 * cmaps.size();
        for (const Bytes& s : cmaps) {
            Add(cmap, 4, {0x00030001, offset});
            offset += s.size();
        }
        for (const Bytes& s : cmaps)
            cmap.insert(cmap.end(), s.begin(), s.end());

        std::vector<std::pair<std::string, const Bytes*>> tables;
        for (const auto& table : {std::pair<std::string, const Bytes*>{"cmap", &cmap},
                                  {"glyf", &glyf},
                                  {"head", &head},
                                  {"hhea", &hhea},
                                  {"hmtx", &hmtx},
                                  {"loca", &loca}}) {
            if (table.first != omit)
                tables.push_back(table);
        }
        Bytes file;
        Add(file, 2, {1, 0, tableCount < 0 ? tables.size() : size_t(tableCount), 0, 0, 0});
        size_t at = 12 + 16 * tables.size();
        for (const auto& [tag, bytes] : tables) {
            file.insert(file.end(), tag.begin(), tag.end());
            Add(file, 4, {0, at, bytes->size()});
            at += (bytes->size() + 3) / 4 * 4;
        }
        for (const auto& [tag, bytes] : tables) {
            file.insert(file.end(), bytes->begin(), bytes->end());
            file.resize((file.size() + 3) / 4 * 4);
        }
        return file;
    }
};

// An outline as text: M x,y  L x,y  Q cx,cy,x,y  Z (a line back to the start)
// and C cx,cy (a curve back to it).
std::string Outline(const Path& path) {
    std::ostringstream out;
    const auto& w = path.words();
    for (size_t i = 0; i < w.size() && w[i] != 0; i += 1 + (w[i] & 0xFF)) {
        out << (i ? " " : "") << "??MLQZC"[std::min(w[i] >> 8, 7u)];
        for (size_t k = 1; k <= (w[i] & 0xFF) && i + k < w.size(); ++k)
            out << (k > 1 ? "," : "") << Path::Operand(w[i + k]);
    }
    return out.str();
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return static_cast<bool>(out);
}

constexpr int kBad = TrueTypeFont::kBadFont;

// Rows set up a font from the basic one and probe it: pairs of glyph and
// advance, of code point and glyph, and of byte code and glyph.
TEST(TrueTypeFontTest, WhatLoadsAndCharacterMaps) {
    using Change = std::function<void(FontBuilder&)>;
    const auto metrics = [](int count, uint16_t secondAdvance) {
        return [=](FontBuilder& b) { b.metricCount = count, b.glyphs[1].advance = secondAdvance; };
    };
    const auto maps = [](std::vector<Bytes> cmaps) {
        return [=](FontBuilder& b) { b.cmaps = cmaps; };
    };
    const FontBuilder basic = FontBuilder::Basic();
    const Bytes &format0 = basic.cmaps[0], &format4 = basic.cmaps[1];
    Bytes beyond = Format4({{'A', 'Z', 0, {1}}}), farRange = beyond;
    Put(beyond, 6, 0xFFFE, 2);     // segCountX2: the arrays run far past the file
    Put(farRange, 28, 0xFFF0, 2);  // the first idRangeOffset, far past the file
    // One segment 0x20..0x7E with delta 5 and no closing one.
    const Bytes unclosed = {0, 4, 0, 24,   0, 0, 0, 2,    0, 0, 0, 0,
                            0, 0, 0, 0x7E, 0, 0, 0, 0x20, 0, 5, 0, 0};
    // clang-format off
    const struct {
        const char* what;
        Change change;
        int result;
        std::vector<float> advances = {};
        std::vector<uint32_t> unicode = {}, bytes = {};
    } rows[] = {
        {"basic", [](FontBuilder&) {}, 0, {0, 0.6f, 2, 0.25f, 4, 0.8f},
         {'A', 1, 'B', 0, 'O', 3, 0x2022, 3}, {'O', 3}},
        {"glyphs past the long metrics share the last one", metrics(2, 450), 0,
         {0, 0.6f, 1, 0.45f, 2, 0.45f, 4, 0.45f, 1e9f, 0.45f}},
        {"long metrics beyond the file are 0", metrics(0x7FFF, 600), 0, {0, 0.6f, 0x7000, 0}},
        {"51 tables", [](FontBuilder& b) { b.tableCount = 51; }, kBad},
        {"no units per em", [](FontBuilder& b) { b.unitsPerEm = 0; }, kBad},
        {"no long metrics", [](FontBuilder& b) { b.metricCount = 0; }, kBad},
        {"no Unicode map", maps({format0}), kBad},
        {"format 0 wins over an earlier format 6", maps({Format6('A', {3}), format0, format4}), 0,
         {}, {'A', 1}, {'A', 1, 'C', 4, 'Z', 0, 256, 0}},
        {"format 6 without format 0",
         maps({format4, Format6('A', {1, 0x1234, 4}), Format6('A', {3, 3, 3})}), 0, {}, {'A', 1},
         {'@', 0, 'A', 1, 'B', 0x1234, 'C', 4, 'D', 0, 256, 0}},
        {"deltas and range offsets",
         maps({Format4({{0x20, 0x7E, uint16_t(-29), {}},   // delta, wrapping
                        {0xA0, 0xA3, 0, {10, 0, 12, 13}},  // range offset
                        {0xB0, 0xB1, 100, {0xFFF0, 5}},    // range offset and delta
                        {0x4E00, 0x4E01, 0xC000, {}}})}),  // delta modulo 65536
         0, {}, {0x1F, 0, 0x20, 3, 'A', 36, 0x7E, 97, 0x7F, 0, 0xA0, 10, 0xA1, 0, 0xA3, 13, 0xB0,
                 84, 0xB1, 105, 0x4E00, 0xE00, 0x4E01, 0xE01, 0xFFFF, 0, 0x10000, 0, 0x10041, 0}},
        {"not closed", maps({unclosed}), 0, {}, {0x20, 0x25, 0x7E, 0x83, 0x7F, 0, 0x1000, 0}},
        {"segments beyond the file", maps({beyond}), 0, {}, {'A', 0, 'Z', 0, 0x20, 0, 0xFFFF, 0}},
        {"glyph array beyond the file", maps({farRange}), 0, {}, {'A', 0, 'Z', 0}},
    };
    // clang-format on
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        FontBuilder b = FontBuilder::Basic();
        r.change(b);
        TrueTypeFont font;
        EXPECT_EQ(font.LoadFromBytes(b.Build()), r.result);
        for (size_t i = 0; i < r.advances.size(); i += 2)
            EXPECT_FLOAT_EQ(font.Advance(uint32_t(r.advances[i])), r.advances[i + 1]) << i;
        for (size_t i = 0; i < r.unicode.size(); i += 2)
            EXPECT_EQ(font.GlyphForUnicode(r.unicode[i]), r.unicode[i + 1]) << i;
        for (size_t i = 0; i < r.bytes.size(); i += 2)
            EXPECT_EQ(font.GlyphForByte(r.bytes[i]), r.bytes[i + 1]) << "byte " << i;
        if (r.result != 0) {  // a refused font keeps nothing
            EXPECT_EQ(font.Advance(0) + font.Descent(), 0);
            EXPECT_EQ(font.GlyphForUnicode('A') + font.GlyphForByte('A'), 0u);
        }
    }
    TrueTypeFont font;
    for (const char* tag : {"cmap", "glyf", "head", "hhea", "hmtx", "loca"}) {
        FontBuilder b = FontBuilder::Basic();
        b.omit = tag;
        EXPECT_EQ(font.LoadFromBytes(b.Build()), kBad) << tag;
    }
    EXPECT_EQ(font.LoadFromBytes({}), TrueTypeFont::kEmptyFile);
}

// Each row loads one glyph (the last unless given) into a path holding
// "M1,2": outlines are appended, and a failure leaves the path as it was.
TEST(TrueTypeGlyfTest, Outlines) {
    const Glyph box = Simple({{{100, 0}, {100, 700}, {500, 700}, {500, 0}}});
    const Glyph triangle = Simple({{{0, 0}, {300, 700}, {600, 0}}});
    Glyph raw, badHeader, decreasingEnds, cut;
    raw.raw = {0,    1,    0,    0,    0,    0,    0, 0, 0, 0,  // one contour, bounds
               0,    2,    0,    3,    0xB0, 0,    0,      // end point 2, three instruction bytes
               0x09, 0xFF,                                 // on curve, word deltas, 255 repeats
               0x03, 0xE8, 0xF8, 0x30, 0x01, 0xF4,         // x: 1000, -2000, 500
               0x00, 0x00, 0x01, 0x2C, 0xFE, 0xD4};        // y: 0, 300, -300
    badHeader.raw = {0xFF, 0xFE, 0, 0, 0, 0, 0, 0, 0, 0};  // numberOfContours -2
    decreasingEnds.raw = {0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 1, 0, 0, 0x31, 0x31, 0x31, 0x31};
    // Three points but the record ends after two flags; the next glyph's
    // bytes follow in the file and must not be taken for the rest.
    cut.raw = {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0x31, 0x31};
    // clang-format off
    const struct {
        const char* what;
        std::vector<Glyph> glyphs;
        const char* want;  // nullptr: fails
        int64_t glyph = -1;
    } rows[] = {
        {"a box", {box}, "M100,0 L100,700 L500,700 L500,0 Z"},
        {"no outline", {box, Glyph{}}, ""},
        {"both ends off", {Simple({{{0, 30, 0}, {30, 60, 0}, {60, 30, 0}, {30, 0, 0}}})},
         "M15,15 Q0,30,15,45 Q30,60,45,45 Q60,30,45,15 C30,0"},
        {"first off, last on", {Simple({{{0, 0, 0}, {100, 100}, {200, 0, 0}, {100, -100}}})},
         "M100,-100 Q0,0,100,100 C200,0"},
        {"first on, last two off", {Simple({{{0, 0}, {100, 100, 0}, {200, 0, 0}}})},
         "M0,0 Q100,100,150,50 C200,0"},
        {"a lone point on", {Simple({{{7, 8}}})}, "M7,8 Z"},
        {"two contours", {Simple({{{0, 0}, {2000, 0}, {2000, -1500}}, {{-300, 40}, {0, 2000, 0}}})},
         "M0,0 L2000,0 L2000,-1500 Z M-300,40 C0,2000"},
        {"instructions skipped, repeats cut", {raw}, "M1000,0 L-1000,300 L-500,0 Z"},
        {"half size, then moved", {box, Composite({{0, 2, -20, 300, {0x2000}}})},
         "M30,300 L30,650 L230,650 L230,300 Z"},
        {"x mirrored, y halved", {triangle, Composite({{0, 2, 0, 0, {-0x4000, 0x2000}}})},
         "M0,0 L-300,350 L-600,0 Z"},
        // In file order xscale, scale01, scale10, yscale: x' = -y, y' = x.
        {"a quarter turn", {triangle, Composite({{0, 2, 0, 0, {0, -0x4000, 0x4000, 0}}})},
         "M0,0 L-700,300 L0,600 Z"},
        {"point numbers move nothing", {triangle, Composite({{0, 0, 1000, -500, {}}})},
         "M0,0 L300,700 L600,0 Z"},
        {"contour count below -1", {badHeader}, nullptr},
        {"end points decreasing", {decreasingEnds}, nullptr},
        {"record cut short", {cut, box}, nullptr, 0},
        {"a composite's second part fails",
         {triangle, badHeader, Composite({{0, 2, 0, 0, {}}, {1, 2, 0, 0, {}}})}, nullptr},
        {"a composite of itself", {Composite({{0, 2, 0, 0, {}}})}, nullptr},
        {"past the last glyph", {box}, nullptr, 1},
    };
    // clang-format on
    for (const auto& r : rows) {
        for (bool longLoca : {false, true}) {
            SCOPED_TRACE(std::string(r.what) + (longLoca ? ", long loca" : ""));
            FontBuilder b = FontBuilder::Basic();
            b.glyphs = r.glyphs;
            b.longLoca = longLoca;
            TrueTypeFont font;
            ASSERT_EQ(font.LoadFromBytes(b.Build()), 0);
            Path path;
            path.MoveTo(1, 2);
            float scale = 0;
            const auto glyph = uint32_t(r.glyph < 0 ? r.glyphs.size() - 1 : r.glyph);
            EXPECT_EQ(font.LoadOutline(glyph, path, scale), r.want ? 0 : -1);
            EXPECT_EQ(Outline(path),
                      "M1,2" + std::string(r.want && *r.want ? " " : "") + (r.want ? r.want : ""));
            if (r.want) {
                EXPECT_FLOAT_EQ(scale, 0.001f);
            }
        }
    }
    // Composites nest kMaxCompositeDepth levels deep (a composite of itself
    // goes no deeper).
    FontBuilder b = FontBuilder::Basic();
    TrueTypeFont font;
    float scale = 0;
    b.glyphs = {triangle};
    for (int i = 0; i < TrueTypeFont::kMaxCompositeDepth; ++i)
        b.glyphs.push_back(Composite({{uint16_t(i), 2, 1, 0, {}}}));
    ASSERT_EQ(font.LoadFromBytes(b.Build()), 0);
    Path deepest;
    EXPECT_EQ(font.LoadOutline(uint32_t(b.glyphs.size() - 1), deepest, scale), 0);
    EXPECT_EQ(Outline(deepest), "M8,0 L308,700 L608,0 Z");  // each level moves it by 1

    // A glyph may have 1000 points, and one outline 10000 over all its
    // components (copies of a 1000-point glyph).
    for (const auto& [points, copies, loads] :
         {std::tuple{1000, 0, true}, {1001, 0, false}, {1000, 10, true}, {1000, 11, false}}) {
        std::vector<Pt> contour;
        for (int i = 0; i < points; ++i)
            contour.push_back({i % 2 ? 3 * i : -i, i, i % 3 != 0});
        b.glyphs = {Simple({contour}),
                    Composite(std::vector<Component>(size_t(copies), {0, 2, 0, 0, {}}))};
        ASSERT_EQ(font.LoadFromBytes(b.Build()), 0);
        Path outline;
        EXPECT_EQ(font.LoadOutline(copies > 0 ? 1 : 0, outline, scale), loads ? 0 : -1)
            << points << " x " << copies;
        EXPECT_EQ(outline.IsEmpty(), !loads);
    }
}

// Liberation Sans, the font the program draws with on Linux (Arial's metric
// twin), loads every glyph; its byte map is format 6, Macintosh Roman.
TEST(TrueTypeFontTest, InstalledFont) {
    const Bytes real = ReadFile("/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf");
    TrueTypeFont font;
    if (font.LoadFromBytes(Bytes(real)) != 0)
        GTEST_SKIP() << "Liberation Sans is not installed";
    const uint32_t a = font.GlyphForUnicode('A');
    EXPECT_NEAR(font.Advance(a), 0.667f, 0.001f);
    EXPECT_EQ(font.GlyphForByte('A'), a);
    EXPECT_EQ(font.GlyphForByte(0x80), font.GlyphForUnicode(0x00C4));
    // Every glyph a character maps to loads.
    int drawn = 0;
    for (uint32_t c = 0; c < 0x10000; ++c) {
        Path outline;
        float scale = 0;
        const uint32_t glyph = font.GlyphForUnicode(c);
        ASSERT_EQ(font.LoadOutline(glyph, outline, scale), 0) << c;
        drawn += glyph != 0 && !outline.IsEmpty();
    }
    EXPECT_GT(drawn, 2000);
    // The no-break space has an empty outline and a space's advance.
    const uint32_t space = font.GlyphForUnicode(' '), nbsp = font.GlyphForUnicode(0xA0);
    EXPECT_FLOAT_EQ(font.Advance(nbsp), font.Advance(space));
    Path path;
    float scale = 0;
    ASSERT_TRUE(nbsp != 0 && font.LoadOutline(nbsp, path, scale) == 0 && path.IsEmpty());
    // "A" stands on the baseline, cap height tall.
    ASSERT_EQ(font.LoadOutline(a, path, scale), 0);
    EXPECT_FLOAT_EQ(scale, 1.0f / 2048);
    EXPECT_NEAR(path.Bounds().top, 0, 1);
    EXPECT_NEAR(path.Bounds().bottom, 1409 + 1, 5);
}

std::unique_ptr<Font> Built(const FontBuilder& b) {
    auto font = std::make_unique<TrueTypeFont>();
    EXPECT_EQ(font->LoadFromBytes(b.Build()), 0);
    return font;
}

TEST(FontChainTest, CharactersComeFromTheFirstFontThatHasThem) {
    FontChain chain;
    chain.Add(nullptr);  // passed over
    Path path;
    float scale = 0;

    FontBuilder first = FontBuilder::Basic(), second = FontBuilder::Basic();
    first.cmaps = {Format0({}), Format4({{'A', 'A', 0, {1}}})};  // no "O"
    std::tie(first.yMin, first.yMax, second.yMin, second.yMax) = std::tuple{-100, 900, -300, 700};
    second.glyphs[3].advance = 333;
    chain.Add(Built(first));
    chain.Add(Built(second));
    EXPECT_FLOAT_EQ(chain.Descent(), -0.3f);
    EXPECT_FLOAT_EQ(chain.Ascent(), 0.9f);
    // Pairs of code point and glyph: the font's place in the high byte.
    for (const auto& [code, glyph] : {std::pair{'A', 1u}, {'O', 0x01000003u}, {'Q', 0u}})
        EXPECT_EQ(chain.GlyphForUnicode(code), glyph) << code;
    EXPECT_EQ(chain.GlyphForByte('O'), 0x01000003u);
    EXPECT_FLOAT_EQ(chain.Advance(0x01000003), 0.333f);
    ASSERT_EQ(chain.LoadOutline(0x01000003, path, scale), 0);
    EXPECT_FLOAT_EQ(scale, 0.001f);
    EXPECT_EQ(Outline(path).substr(0, 9), "M150,150 ");
    // A position beyond the chain has no glyph.
    EXPECT_EQ(chain.Advance(0x02000003), 0);
    EXPECT_EQ(chain.LoadOutline(0x02000003, path, scale), -1);
}

// Only SYSTEMROOT, which this test sets, clears and puts back, points away
// from the system's font configuration.
TEST(SystemFontsTest, FontconfigOrTheSystemRootFolder) {
    const test::ScopedEnv noRoot("SYSTEMROOT", nullptr);
    const std::string path = FindFontFile("Arial");
    EXPECT_TRUE(!path.empty() && std::filesystem::exists(path)) << path;
    if (path.ends_with(".ttf")) {
        auto arial = OpenSystemFont("Arial");
        ASSERT_NE(arial, nullptr) << path;
        EXPECT_NE(arial->GlyphForUnicode('A'), 0u);
    }

    const std::filesystem::path root = std::filesystem::path(HARKBOX_BINARY_DIR) / "test-output" /
                                       ("SystemFontsTest-" + std::to_string(getpid()));
    const std::filesystem::path junk = root / "Fonts" / "Junk.ttf";
    std::filesystem::create_directories(root / "Fonts");
    ASSERT_TRUE(WriteFile((root / "Fonts" / "Test.ttf").string(), FontBuilder::Basic().Build()));
    ASSERT_TRUE(WriteFile(junk.string(), {}));
    EXPECT_EQ(TrueTypeFont().Load(junk.string()), TrueTypeFont::kEmptyFile);
    const test::ScopedEnv rootHere("SYSTEMROOT", root.string());
    auto first = OpenFirstFont({"Missing", "Junk", "Test"});
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GlyphForByte('O'), 3u);
    EXPECT_EQ(OpenFirstFont({"Missing", nullptr, "Test"}), nullptr);
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace quil
