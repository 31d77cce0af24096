// Glyph outlines: glyph location through loca, and the decoding of simple
// and composite glyph records from glyf into a Path.
#include <array>

#include "gfx/Path.h"
#include "gfx/TrueTypeFont.h"
#include "platform/ByteCursor.h"

namespace quil {

namespace {

constexpr size_t kGlyphHeaderSize = 10;

// Simple glyph flags.
constexpr uint8_t kOnCurve = 0x01;
constexpr uint8_t kXShort = 0x02;
constexpr uint8_t kYShort = 0x04;
constexpr uint8_t kRepeat = 0x08;
constexpr uint8_t kXSameOrPositive = 0x10;
constexpr uint8_t kYSameOrPositive = 0x20;

// Composite component flags.
constexpr uint16_t kArgsAreWords = 0x0001;
constexpr uint16_t kArgsAreOffsets = 0x0002;
constexpr uint16_t kHaveScale = 0x0008;
constexpr uint16_t kMoreComponents = 0x0020;
constexpr uint16_t kHaveXYScale = 0x0040;
constexpr uint16_t kHaveTwoByTwo = 0x0080;

float F2Dot14(int16_t value) {
    return value * (1.0f / 16384.0f);
}

// Reads the deltas of one coordinate for every point and keeps the running
// sums. `shortBit` marks a one-byte delta whose sign `sameBit` gives;
// without `shortBit`, `sameBit` repeats the previous value and its absence
// means a signed word.
void ReadCoordinates(ByteCursor& cursor, const uint8_t* flags, size_t count, uint8_t shortBit,
                     uint8_t sameBit, float* out) {
    float value = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t flag = flags[i];
        if (flag & shortBit) {
            const uint8_t delta = cursor.U8();
            value += (flag & sameBit) ? delta : -static_cast<float>(delta);
        } else if (!(flag & sameBit)) {
            value += cursor.I16BE();
        }
        out[i] = value;
    }
}

}  // namespace

bool TrueTypeFont::GlyphRange(uint32_t glyph, size_t& start, size_t& end) const {
    if (longOffsets_ != 0) {
        uint32_t first = 0;
        uint32_t next = 0;
        const size_t at = size_t{loca_} + 4 * size_t{glyph};
        if (!bytes_.ReadU32BE(at, first) || !bytes_.ReadU32BE(at + 4, next))
            return false;
        start = first;
        end = next;
    } else {
        uint16_t first = 0;
        uint16_t next = 0;
        const size_t at = size_t{loca_} + 2 * size_t{glyph};
        if (!bytes_.ReadU16BE(at, first) || !bytes_.ReadU16BE(at + 2, next))
            return false;
        start = 2 * size_t{first};
        end = 2 * size_t{next};
    }
    start += glyf_;
    end += glyf_;
    return true;
}

int TrueTypeFont::LoadOutline(uint32_t glyph, Path& path, float& scale) const {
    if (!loaded_)
        return -1;
    // Decoded apart so that a glyph failing halfway leaves the caller's path
    // as it was.
    Path outline;
    Budget budget;
    if (!DecodeGlyph(glyph, outline, 0, budget))
        return -1;
    path.Append(outline);
    scale = emScale_;
    return 0;
}

bool TrueTypeFont::DecodeGlyph(uint32_t glyph, Path& path, int depth, Budget& budget) const {
    if (depth > kMaxCompositeDepth || --budget.records < 0)
        return false;
    size_t start = 0;
    size_t end = 0;
    if (!GlyphRange(glyph, start, end))
        return false;
    if (start == end)
        return true;  // no outline, as for a space
    // The record must lie inside the file and inside its own loca range.
    if (end < start)
        return false;
    const ByteReader record = bytes_.Slice(start, end - start);
    int16_t contourCount = 0;
    if (!record.ReadI16BE(0, contourCount))
        return false;
    if (contourCount >= 0)
        return DecodeSimple(record, contourCount, path, budget);
    if (contourCount == -1)
        return DecodeComposite(record, path, depth, budget);
    return false;
}

bool TrueTypeFont::DecodeSimple(const ByteReader& record, int16_t contourCount, Path& path,
                                Budget& budget) const {
    if (contourCount == 0)
        return true;
    // Every contour holds at least one point, so more contours than points
    // cannot fit either.
    if (static_cast<size_t>(contourCount) > kMaxPoints)
        return false;

    std::array<uint16_t, kMaxPoints> ends;
    ByteCursor cursor(record, kGlyphHeaderSize);
    for (int16_t c = 0; c < contourCount; ++c) {
        ends[c] = cursor.U16BE();
        if (!cursor.ok() || (c > 0 && ends[c] <= ends[c - 1]))
            return false;
    }
    const size_t pointCount = size_t{ends[contourCount - 1]} + 1;
    if (pointCount > kMaxPoints || pointCount > budget.points)
        return false;
    budget.points -= pointCount;
    cursor.Skip(cursor.U16BE());  // hinting instructions
    if (!cursor.ok())
        return false;

    std::array<uint8_t, kMaxPoints> flags;
    for (size_t i = 0; i < pointCount;) {
        const uint8_t flag = cursor.U8();
        flags[i++] = flag;
        if (flag & kRepeat) {
            for (uint8_t repeat = cursor.U8(); repeat > 0 && i < pointCount; --repeat) {
                flags[i++] = flag;
            }
        }
        if (!cursor.ok())
            return false;
    }

    std::array<float, kMaxPoints> xs;
    std::array<float, kMaxPoints> ys;
    ReadCoordinates(cursor, flags.data(), pointCount, kXShort, kXSameOrPositive, xs.data());
    ReadCoordinates(cursor, flags.data(), pointCount, kYShort, kYSameOrPositive, ys.data());
    if (!cursor.ok())
        return false;

    auto onCurve = [&](size_t i) { return (flags[i] & kOnCurve) != 0; };
    size_t first = 0;
    for (int16_t c = 0; c < contourCount; ++c) {
        const size_t last = ends[c];
        // Where the contour starts, and the points the walk then covers.
        float startX;
        float startY;
        size_t from = first;
        size_t to = last;
        if (onCurve(first)) {
            startX = xs[first];
            startY = ys[first];
            from = first + 1;
        } else if (onCurve(last)) {
            startX = xs[last];
            startY = ys[last];
            to = last - 1;
        } else {
            startX = (xs[first] + xs[last]) * 0.5f;
            startY = (ys[first] + ys[last]) * 0.5f;
        }
        path.MoveTo(startX, startY);

        bool closed = false;
        for (size_t i = from; i <= to && i <= last;) {
            if (onCurve(i)) {
                path.LineTo(xs[i], ys[i]);
                ++i;
            } else if (i == to) {
                path.CloseQuad(xs[i], ys[i]);
                closed = true;
                break;
            } else if (onCurve(i + 1)) {
                path.QuadTo(xs[i], ys[i], xs[i + 1], ys[i + 1]);
                i += 2;
            } else {
                path.QuadTo(xs[i], ys[i], (xs[i] + xs[i + 1]) * 0.5f, (ys[i] + ys[i + 1]) * 0.5f);
                ++i;
            }
        }
        if (!closed)
            path.Close();
        first = last + 1;
    }
    return true;
}

bool TrueTypeFont::DecodeComposite(const ByteReader& record, Path& path, int depth,
                                   Budget& budget) const {
    ByteCursor cursor(record, kGlyphHeaderSize);
    uint16_t flags = 0;
    do {
        flags = cursor.U16BE();
        const uint16_t component = cursor.U16BE();
        int16_t argument1 = 0;
        int16_t argument2 = 0;
        if (flags & kArgsAreWords) {
            argument1 = cursor.I16BE();
            argument2 = cursor.I16BE();
        } else {
            argument1 = cursor.I8();
            argument2 = cursor.I8();
        }
        float xx = 1, xy = 0, yx = 0, yy = 1;
        bool scaled = false;
        if (flags & kHaveScale) {
            xx = yy = F2Dot14(cursor.I16BE());
            scaled = true;
        } else if (flags & kHaveXYScale) {
            xx = F2Dot14(cursor.I16BE());
            yy = F2Dot14(cursor.I16BE());
            scaled = true;
        } else if (flags & kHaveTwoByTwo) {
            xx = F2Dot14(cursor.I16BE());
            xy = F2Dot14(cursor.I16BE());
            yx = F2Dot14(cursor.I16BE());
            yy = F2Dot14(cursor.I16BE());
            scaled = true;
        }
        if (!cursor.ok())
            return false;

        Path part;
        if (!DecodeGlyph(component, part, depth + 1, budget))
            return false;
        if (flags & kHaveScale) {
            part.Scale(xx);
        } else if (scaled) {
            part.Linear(xx, xy, yx, yy);
        }
        // Without kArgsAreOffsets the arguments name points to match, which
        // this reader does not do: the component stays where it is.
        if (flags & kArgsAreOffsets)
            part.Translate(argument1, argument2);
        path.Append(part);
    } while (flags & kMoreComponents);
    return true;
}

}  // namespace quil
