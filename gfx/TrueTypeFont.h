#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/Font.h"
#include "platform/ByteReader.h"

namespace quil {

// A TrueType font held whole in memory. Loading keeps only the offsets of the
// six tables it uses (cmap, glyf, head, hhea, hmtx, loca); every lookup reads
// the file in place through a bounds-checked reader, so a font whose offsets
// or counts lie answers 0 or fails instead of reading past its bytes.
// Metrics are in em units, outlines in font units, y up from the baseline.
// A font is loaded once and then only read; lookups are safe from any thread.
class TrueTypeFont : public Font {
  public:
    // Load results besides 0 and the C library's error numbers (errno).
    static constexpr int kEmptyFile = -1;
    // The bytes are not a TrueType font this reader can use.
    static constexpr int kBadFont = -2;
    // Composite glyphs may nest this many levels below the glyph asked for.
    static constexpr int kMaxCompositeDepth = 8;
    // Points a simple glyph may have.
    static constexpr size_t kMaxPoints = 1000;
    // Glyph records (the glyph asked for and all its components at every
    // level) one LoadOutline may decode; bounds the work of a font whose
    // composites fan out.
    static constexpr int kMaxGlyphRecords = 4096;
    // Points one outline may gather over all its components: records alone
    // would let composites fan out to millions of points.
    static constexpr size_t kMaxOutlinePoints = 10 * kMaxPoints;

    TrueTypeFont() = default;
    ~TrueTypeFont() override = default;
    TrueTypeFont(const TrueTypeFont&) = delete;
    TrueTypeFont& operator=(const TrueTypeFont&) = delete;

    // Reads the file at `path` whole and parses it. 0 on success; otherwise
    // the errno of a failed open, seek or read (EIO for a short read that set
    // none), kEmptyFile, ENOMEM when the bytes cannot be held, or kBadFont.
    // On failure the font holds nothing and stays not loaded.
    int Load(const std::string& path);
    // Parses a font given as bytes; the font takes them over. 0, kEmptyFile
    // or kBadFont.
    int LoadFromBytes(std::vector<uint8_t> bytes);

    bool IsLoaded() const { return loaded_; }
    uint16_t UnitsPerEm() const { return unitsPerEm_; }

    float Descent() const override { return descent_; }
    float Ascent() const override { return ascent_; }
    // From the first cmap subtable in format 0, else the first in format 6;
    // 0 for codes of 256 and above, codes the table does not cover, or a
    // font that has neither.
    uint32_t GlyphForByte(uint32_t code) const override;
    // From the first cmap subtable in format 4; 0 for code points of 0x10000
    // and above and for those the font does not map.
    uint32_t GlyphForUnicode(uint32_t codePoint) const override;
    // Glyphs at or beyond numberOfHMetrics share the last long metric. 0 when
    // not loaded or when the metric lies outside the file.
    float Advance(uint32_t glyph) const override;
    // Appends the glyph's contours in font units (y up) and sets `scale` to
    // 1 / unitsPerEm. 0 on success (a glyph without outline appends nothing);
    // -1 when the font is not loaded or the glyph is damaged, too large, or
    // nests too deep, and then `path` is left as it was.
    int LoadOutline(uint32_t glyph, Path& path, float& scale) const override;

  private:
    int Parse();
    bool ParseCmap();
    void Reset();
    // What one LoadOutline may still decode.
    struct Budget {
        int records = kMaxGlyphRecords;
        size_t points = kMaxOutlinePoints;
    };
    // Decodes one glyph record into `path`; false on any failure (then
    // `path` may hold a partial outline that the caller discards).
    bool DecodeGlyph(uint32_t glyph, Path& path, int depth, Budget& budget) const;
    bool DecodeSimple(const ByteReader& glyph, int16_t contourCount, Path& path,
                      Budget& budget) const;
    bool DecodeComposite(const ByteReader& glyph, Path& path, int depth, Budget& budget) const;
    bool GlyphRange(uint32_t glyph, size_t& start, size_t& end) const;

    bool loaded_ = false;
    std::vector<uint8_t> data_;
    ByteReader bytes_;
    uint32_t sfntVersion_ = 0;
    uint32_t cmap_ = 0;
    uint32_t glyf_ = 0;
    uint32_t head_ = 0;
    uint32_t hhea_ = 0;
    uint32_t hmtx_ = 0;
    uint32_t loca_ = 0;
    // Absolute offsets of the byte map's subtable and its format (0 or 6;
    // 0 offset when there is none) and of the format 4 subtable.
    size_t byteMap_ = 0;
    uint16_t byteMapFormat_ = 0;
    size_t unicodeMap_ = 0;
    uint16_t longOffsets_ = 0;
    uint16_t unitsPerEm_ = 0;
    float emScale_ = 0;
    float descent_ = 0;
    float ascent_ = 0;
    uint16_t horizontalMetricCount_ = 0;
};

}  // namespace quil
