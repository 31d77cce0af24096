#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gfx/Image.h"
#include "gfx/Mask.h"
#include "platform/Rect.h"

namespace quil {

class Path;

// Edge-flag scan converter: fills shapes, even-odd over everything it is
// fed, on a grid of 16 x 16 samples per pixel, and resolves the samples into
// 8-bit coverage. Coordinates are 16.16 fixed-point pixels, x right, y down.
// Crossings above, below or right of the clip are dropped; crossings left of
// it are moved to the clip's left edge so that shapes starting there fill.
// Any int32 coordinate is accepted: shapes far outside the clip are cut at a
// band a few pixels around it, so work stays proportional to the clip.
// One Rasterizer serves one drawing on one thread.
class Rasterizer {
  public:
    // `clip` in window pixels; `capacity` flag blocks of 32 bytes (the
    // program passes 0x10000, the most 16-bit cell indices can name; larger
    // values are taken as 0x10000); crossings in cells that find no free
    // block are lost. Without memory for the cell grid nothing is drawn and
    // the resolves write nothing.
    Rasterizer(const Rect& clip, uint32_t capacity);
    virtual ~Rasterizer();
    Rasterizer(const Rasterizer&) = delete;
    Rasterizer& operator=(const Rasterizer&) = delete;

    // Drawing operations, all in 16.16 fixed-point pixels of the window.
    // A direct caller brackets each contour with BeginContour and
    // CloseContour and makes its last LineTo end on the contour's first point.
    virtual void MoveTo(int32_t x, int32_t y);
    virtual void LineTo(int32_t x, int32_t y);
    virtual void QuadTo(int32_t cx, int32_t cy, int32_t x, int32_t y);
    virtual void BeginContour();
    virtual void CloseContour();

    // Feeds a path in pixels (floats, scaled by 65536 and truncated; NaN is
    // taken as 0, values beyond the int32 range are clamped). A contour left
    // open by a following move or by the end of the path is closed with a line.
    void FillPath(const Path& path);

    // Writes the coverage of `rect` (clip coordinates) into `mask`, clip pixel
    // (x, y) going to (x - rect.left + at.x, y - rect.top + at.y); bytes are
    // replaced. Pixels outside the clip or the mask are not written; a mask
    // without writable storage is left alone.
    void ResolveToMask(Mask& mask, const Rect& rect, Point at) const;
    // The same walk; each pixel becomes composeOver(dst, tintCoverage(coverage, colour)),
    // colour premultiplied 0xAARRGGBB.
    void ResolveOverImage(Image& image, const Rect& rect, Point at, uint32_t colour) const;

    const Rect& clip() const { return clip_; }

  private:
    // The flag toggled by the last recorded arrival; bit 0 on the dummy word
    // stands for a flag that changes nothing.
    struct Flag {
        uint16_t* word;
        uint16_t bit;
    };
    // One step of the cursor on the sample grid, each part -1, 0 or 1.
    struct Step {
        int32_t du;
        int32_t dv;
    };
    struct Span;

    uint16_t* BlockAt(uint32_t index);
    const uint16_t* BlockAt(uint32_t index) const;
    uint16_t* TakeBlock();
    void PlaceCursor(int32_t x, int32_t y, bool enter);
    void LookUpCursor(bool enter);
    void TakeStep(int32_t du, int32_t dv);
    void RecordArrival();
    void ResetContour();
    void StepLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
    void SegmentTo(int32_t x, int32_t y);
    Step TraceQuad(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t x2, int64_t y2,
                   int depth);
    void FlattenQuad(double x0, double y0, double x1, double y1, double x2, double y2, int depth);
    bool InBand(int32_t x, int32_t y) const;
    bool VisibleSpan(const Rect& rect, Point at, const Rect& dst, Span& span) const;
    void ResolveRow(int32_t y, int32_t x0, int32_t x1, uint8_t* out) const;

    Rect clip_;
    // The pixels that have cells: the clip, or nothing without memory.
    Rect grid_;
    // Cell grid: one 16-bit block index per pixel of grid_, 0 for none;
    // rows are `cellStride_` cells (a multiple of 8 bytes) apart.
    std::unique_ptr<uint16_t[]> cells_;
    int64_t cellStride_ = 0;
    // Flag blocks of 16 words, one word per sub-column, sub-row r as bit
    // 0x8000 >> r. Index 0 is the scratch block (scratch_), never resolved.
    std::unique_ptr<uint16_t[]> blocks_;
    uint16_t scratch_[16] = {};
    uint32_t blockCount_ = 1;
    uint32_t capacity_ = 1;

    // The band (16.16, inclusive) that stepping is confined to.
    int32_t bandLeft_ = 0;
    int32_t bandTop_ = 0;
    int32_t bandRight_ = 0;
    int32_t bandBottom_ = 0;

    // Pen position (16.16) and the point in the band the cursor stands for.
    int32_t penX_ = 0;
    int32_t penY_ = 0;
    int32_t cursorX_ = 0;
    int32_t cursorY_ = 0;

    // Cursor: pixel, sub-column 0..15, sub-row bit, cell and block (taken
    // when the cursor enters a clip cell; in state 1 at the first crossing
    // moved to the left edge), and state: 0 inside the clip, 1 in a
    // row of the clip but left of it (flags go to the clip's left cell), 2
    // anywhere else.
    int32_t cursorPx_ = 0;
    int32_t cursorPy_ = 0;
    int32_t subColumn_ = 0;
    uint32_t subRowBit_ = 0x8000;
    uint16_t* cursorCell_ = nullptr;
    uint16_t* cursorBlock_ = nullptr;
    int32_t cursorState_ = 2;

    int32_t pendingDy_ = 0;
    int32_t lastDy_ = 0;
    int32_t firstDy_ = 0;
    uint16_t dummy_ = 0;
    Flag lastFlag_{&dummy_, 0};
};

}  // namespace quil
