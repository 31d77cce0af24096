#include "tests/gfx/TestFontBuilder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

namespace quil::test {

namespace {

class Writer {
  public:
    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v) {
        U8(static_cast<uint8_t>(v >> 8));
        U8(static_cast<uint8_t>(v));
    }
    void U32(uint32_t v) {
        U16(static_cast<uint16_t>(v >> 16));
        U16(static_cast<uint16_t>(v));
    }
    void Tag(const std::string& tag) {
        for (size_t i = 0; i < 4; ++i)
            U8(i < tag.size() ? static_cast<uint8_t>(tag[i]) : ' ');
    }
    void Append(const std::vector<uint8_t>& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
    }
    void Align(size_t to) {
        while (bytes.size() % to)
            U8(0);
    }
    void Put16(size_t at, uint16_t v) {
        bytes[at] = static_cast<uint8_t>(v >> 8);
        bytes[at + 1] = static_cast<uint8_t>(v);
    }
    std::vector<uint8_t> bytes;
};

std::vector<uint8_t> SimpleGlyph(const TestGlyph& glyph) {
    Writer w;
    std::vector<TestPoint> points;
    for (const auto& contour : glyph.contours)
        points.insert(points.end(), contour.begin(), contour.end());
    int minX = 0, minY = 0, maxX = 0, maxY = 0;
    if (!points.empty()) {
        minX = maxX = points[0].x;
        minY = maxY = points[0].y;
    }
    for (const auto& p : points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    w.U16(static_cast<uint16_t>(glyph.contours.size()));
    w.U16(static_cast<uint16_t>(minX));
    w.U16(static_cast<uint16_t>(minY));
    w.U16(static_cast<uint16_t>(maxX));
    w.U16(static_cast<uint16_t>(maxY));
    size_t end = 0;
    for (const auto& contour : glyph.contours) {
        end += contour.size();
        w.U16(static_cast<uint16_t>(end - 1));
    }
    w.U16(0);  // no instructions

    std::vector<uint8_t> flags;
    Writer xs;
    Writer ys;
    int lastX = 0, lastY = 0;
    for (const auto& p : points) {
        uint8_t flag = p.onCurve ? 0x01 : 0x00;
        const int dx = p.x - lastX;
        const int dy = p.y - lastY;
        if (dx == 0) {
            flag |= 0x10;
        } else if (dx > -256 && dx < 256) {
            flag |= dx > 0 ? 0x12 : 0x02;
            xs.U8(static_cast<uint8_t>(dx > 0 ? dx : -dx));
        } else {
            xs.U16(static_cast<uint16_t>(dx));
        }
        if (dy == 0) {
            flag |= 0x20;
        } else if (dy > -256 && dy < 256) {
            flag |= dy > 0 ? 0x24 : 0x04;
            ys.U8(static_cast<uint8_t>(dy > 0 ? dy : -dy));
        } else {
            ys.U16(static_cast<uint16_t>(dy));
        }
        flags.push_back(flag);
        lastX = p.x;
        lastY = p.y;
    }
    for (size_t i = 0; i < flags.size();) {
        size_t run = 1;
        while (i + run < flags.size() && flags[i + run] == flags[i] && run < 256)
            ++run;
        if (run > 1) {
            w.U8(flags[i] | 0x08);
            w.U8(static_cast<uint8_t>(run - 1));
        } else {
            w.U8(flags[i]);
        }
        i += run;
    }
    w.Append(xs.bytes);
    w.Append(ys.bytes);
    return w.bytes;
}

std::vector<uint8_t> CompositeGlyph(const TestGlyph& glyph) {
    Writer w;
    w.U16(0xFFFF);
    for (int i = 0; i < 4; ++i)
        w.U16(0);
    for (size_t i = 0; i < glyph.components.size(); ++i) {
        const TestComponent& c = glyph.components[i];
        uint16_t flags = c.flags;
        auto fitsByte = [](int16_t v) { return v >= -128 && v <= 127; };
        if (!fitsByte(c.argument1) || !fitsByte(c.argument2))
            flags |= 0x0001;
        if (i + 1 < glyph.components.size())
            flags |= 0x0020;
        if (c.transform.size() == 1)
            flags |= 0x0008;
        if (c.transform.size() == 2)
            flags |= 0x0040;
        if (c.transform.size() == 4)
            flags |= 0x0080;
        w.U16(flags);
        w.U16(c.glyph);
        if (flags & 0x0001) {
            w.U16(static_cast<uint16_t>(c.argument1));
            w.U16(static_cast<uint16_t>(c.argument2));
        } else {
            w.U8(static_cast<uint8_t>(c.argument1));
            w.U8(static_cast<uint8_t>(c.argument2));
        }
        for (int16_t v : c.transform)
            w.U16(static_cast<uint16_t>(v));
    }
    return w.bytes;
}

}  // namespace

std::vector<uint8_t> CmapFormat0(const std::array<uint8_t, 256>& glyphs) {
    Writer w;
    w.U16(0);
    w.U16(6 + 256);
    w.U16(0);
    for (uint8_t g : glyphs)
        w.U8(g);
    return w.bytes;
}

std::vector<uint8_t> CmapFormat4(std::vector<CmapSegment> segments) {
    if (segments.empty() || segments.back().end != 0xFFFF) {
        segments.push_back(CmapSegment{0xFFFF, 0xFFFF, 1, {}});
    }
    const size_t count = segments.size();
    Writer w;
    w.U16(4);
    w.U16(0);  // length, patched below
    w.U16(0);
    w.U16(static_cast<uint16_t>(2 * count));
    w.U16(0);  // searchRange, entrySelector and rangeShift are not read
    w.U16(0);
    w.U16(0);
    for (const auto& s : segments)
        w.U16(s.end);
    w.U16(0);
    for (const auto& s : segments)
        w.U16(s.start);
    for (const auto& s : segments)
        w.U16(s.delta);
    size_t glyphIndex = 0;
    for (size_t i = 0; i < count; ++i) {
        if (segments[i].glyphIds.empty()) {
            w.U16(0);
        } else {
            w.U16(static_cast<uint16_t>(2 * (count - i) + 2 * glyphIndex));
            glyphIndex += segments[i].glyphIds.size();
        }
    }
    for (const auto& s : segments) {
        for (uint16_t g : s.glyphIds)
            w.U16(g);
    }
    w.Put16(2, static_cast<uint16_t>(w.bytes.size()));
    return w.bytes;
}

std::vector<uint8_t> CmapFormat6(uint16_t firstCode, const std::vector<uint16_t>& glyphs) {
    Writer w;
    w.U16(6);
    w.U16(static_cast<uint16_t>(10 + 2 * glyphs.size()));
    w.U16(0);
    w.U16(firstCode);
    w.U16(static_cast<uint16_t>(glyphs.size()));
    for (uint16_t g : glyphs)
        w.U16(g);
    return w.bytes;
}

size_t TestFontBuilder::TableCount() const {
    size_t count = extraTables.size();
    for (const char* tag : {"cmap", "glyf", "head", "hhea", "hmtx", "loca", "maxp"}) {
        if (!omit.count(tag))
            ++count;
    }
    return count;
}

std::vector<uint8_t> TestFontBuilder::Build() const {
    const size_t glyphCount = glyphs.size();
    const size_t metricCount =
        horizontalMetricCount < 0 ? glyphCount : static_cast<size_t>(horizontalMetricCount);

    Writer glyf;
    std::vector<uint32_t> offsets;
    for (const auto& g : glyphs) {
        offsets.push_back(static_cast<uint32_t>(glyf.bytes.size()));
        if (!g.raw.empty()) {
            glyf.Append(g.raw);
        } else if (!g.components.empty()) {
            glyf.Append(CompositeGlyph(g));
        } else if (!g.contours.empty()) {
            glyf.Append(SimpleGlyph(g));
        }
        glyf.Align(4);
    }
    offsets.push_back(static_cast<uint32_t>(glyf.bytes.size()));

    Writer loca;
    for (uint32_t o : offsets) {
        if (longLoca) {
            loca.U32(o);
        } else {
            loca.U16(static_cast<uint16_t>(o / 2));
        }
    }

    Writer hmtx;
    for (size_t i = 0; i < glyphCount; ++i) {
        if (i < metricCount)
            hmtx.U16(glyphs[i].advance);
        hmtx.U16(0);  // left side bearing
    }

    Writer head;
    head.U32(0x00010000);
    head.U32(0x00010000);
    head.U32(0);
    head.U32(0x5F0F3CF5);
    head.U16(0);
    head.U16(unitsPerEm);
    for (int i = 0; i < 4; ++i)
        head.U32(0);  // created, modified
    head.U16(0);
    head.U16(static_cast<uint16_t>(yMin));
    head.U16(0);
    head.U16(static_cast<uint16_t>(yMax));
    head.U16(0);
    head.U16(8);
    head.U16(2);
    head.U16(longLoca ? 1 : 0);
    head.U16(0);

    Writer hhea;
    hhea.U32(0x00010000);
    hhea.U16(static_cast<uint16_t>(yMax));
    hhea.U16(static_cast<uint16_t>(yMin));
    for (int i = 0; i < 13; ++i)
        hhea.U16(0);
    hhea.U16(static_cast<uint16_t>(metricCount));

    Writer maxp;
    maxp.U32(0x00005000);
    maxp.U16(static_cast<uint16_t>(glyphCount));

    Writer cmap;
    cmap.U16(0);
    cmap.U16(static_cast<uint16_t>(cmapSubtables.size()));
    uint32_t subtableOffset = static_cast<uint32_t>(4 + 8 * cmapSubtables.size());
    for (const auto& s : cmapSubtables) {
        cmap.U16(3);
        cmap.U16(1);
        cmap.U32(subtableOffset);
        subtableOffset += static_cast<uint32_t>(s.size());
    }
    for (const auto& s : cmapSubtables)
        cmap.Append(s);

    std::vector<std::pair<std::string, std::vector<uint8_t>>> tables;
    const std::pair<const char*, const Writer*> standard[] = {
        {"cmap", &cmap}, {"glyf", &glyf}, {"head", &head}, {"hhea", &hhea},
        {"hmtx", &hmtx}, {"loca", &loca}, {"maxp", &maxp}};
    for (const auto& [tag, writer] : standard) {
        if (!omit.count(tag))
            tables.emplace_back(tag, writer->bytes);
    }
    tables.insert(tables.end(), extraTables.begin(), extraTables.end());

    Writer file;
    file.U32(0x00010000);
    file.U16(static_cast<uint16_t>(tables.size()));
    file.U16(0);
    file.U16(0);
    file.U16(0);
    uint32_t offset = static_cast<uint32_t>(12 + 16 * tables.size());
    for (const auto& [tag, bytes] : tables) {
        file.Tag(tag);
        file.U32(0);
        file.U32(offset);
        file.U32(static_cast<uint32_t>(bytes.size()));
        offset += static_cast<uint32_t>((bytes.size() + 3) / 4 * 4);
    }
    for (const auto& table : tables) {
        file.Append(table.second);
        file.Align(4);
    }
    return file.bytes;
}

TestFontBuilder TestFontBuilder::Basic() {
    TestFontBuilder b;
    TestGlyph box;
    box.contours = {{{100, 0}, {100, 700}, {500, 700}, {500, 0}}};
    box.advance = 600;
    TestGlyph triangle;
    triangle.contours = {{{0, 0}, {300, 700}, {600, 0}}};
    triangle.advance = 600;
    TestGlyph space;
    space.advance = 250;
    TestGlyph round;
    round.contours = {{{0, 300, false}, {300, 600, false}, {600, 300, false}, {300, 0, false}}};
    round.advance = 700;
    TestGlyph composite;
    composite.components = {TestComponent{1, 0x0002, 100, 0, {}},
                            TestComponent{0, 0x0002, -20, 300, {0x2000}}};
    composite.advance = 800;
    b.glyphs = {box, triangle, space, round, composite};

    std::array<uint8_t, 256> bytes{};
    bytes['A'] = 1;
    bytes[' '] = 2;
    bytes['O'] = 3;
    bytes['C'] = 4;
    b.cmapSubtables.push_back(CmapFormat0(bytes));
    b.cmapSubtables.push_back(
        CmapFormat4({CmapSegment{' ', ' ', static_cast<uint16_t>(2 - ' '), {}},
                     CmapSegment{'A', 'C', 0, {1, 0, 4}},
                     CmapSegment{'O', 'O', static_cast<uint16_t>(3 - 'O'), {}},
                     CmapSegment{0x2022, 0x2022, 0, {3}}}));
    return b;
}

std::vector<Command> Commands(const Path& path) {
    std::vector<Command> out;
    const auto& words = path.words();
    for (size_t i = 0; i < words.size();) {
        if (words[i] == 0)
            break;
        Command c;
        c.header = words[i];
        const size_t count = words[i] & 0xFF;
        for (size_t k = 1; k <= count && i + k < words.size(); ++k) {
            c.operands.push_back(Path::Operand(words[i + k]));
        }
        out.push_back(c);
        i += 1 + count;
    }
    return out;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

}  // namespace quil::test
