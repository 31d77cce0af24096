#include "gfx/Rasterizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "gfx/Path.h"
#include "gfx/PixelArithmetic.h"

namespace quil {

namespace {

// Shapes are cut at this many pixels around the clip. The band rows and
// columns themselves lie outside the clip, so what is traced along the band's
// edges is either dropped (above, below, right) or lands on the clip's left
// edge exactly as the uncut shape would.
constexpr int64_t kBandMargin = 4;
// Cell grids beyond this many pixels are refused as short memory.
constexpr int64_t kMaxCells = int64_t{1} << 28;
// Block indices are 16-bit.
constexpr uint32_t kMaxCapacity = 0x10000;
// Bounds of the curve subdivisions; real shapes need about 20 levels.
constexpr int kMaxQuadDepth = 40;
constexpr int kMaxQuadPieces = 64;
// A flattened curve piece is straight within a quarter sample: its deviation
// is |P0 - 2 P1 + P2| / 4, in 16.16 units.
constexpr double kFlatness = 4096.0;

// Number of set bits of every 16-bit value; built once for the process on
// first use (thread-safe initialisation of a local static).
const uint8_t* PopCountTable() {
    static const std::array<uint8_t, 0x10000> table = [] {
        std::array<uint8_t, 0x10000> t{};
        for (uint32_t i = 0; i < t.size(); ++i)
            t[i] = static_cast<uint8_t>(std::popcount(i));
        return t;
    }();
    return table.data();
}

int32_t ClampToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int32_t RoundToInt32(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(std::lround(v));
}

// Path operand to 16.16, truncated toward zero; damaged values stay defined.
int32_t ToFixed(uint32_t word) {
    const double v = static_cast<double>(Path::Operand(word)) * 65536.0;
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// Sample unit of a 16.16 coordinate.
int32_t Sample(int64_t v) {
    return static_cast<int32_t>(v >> 12);
}

bool IsUnitStep(int32_t du, int32_t dv) {
    return du >= -1 && du <= 1 && dv >= -1 && dv <= 1;
}

}  // namespace

// Visible part of a resolve: clip pixels [x0, x1) x [y0, y1), landing at
// (x + dx, y + dy) in the destination.
struct Rasterizer::Span {
    int32_t x0, x1, y0, y1;
    int64_t dx, dy;
};

Rasterizer::Rasterizer(const Rect& clip, uint32_t capacity) : clip_(clip) {
    PopCountTable();
    if (!clip.IsEmpty() && clip.Width() <= kMaxCells && clip.Height() <= kMaxCells) {
        const int64_t stride = (clip.Width() + 3) / 4 * 4;
        if (stride * clip.Height() <= kMaxCells) {
            cells_.reset(new (std::nothrow)
                             uint16_t[static_cast<size_t>(stride * clip.Height())]());
            if (cells_) {
                grid_ = clip;
                cellStride_ = stride;
            }
        }
    }
    capacity_ = std::min(capacity, kMaxCapacity);
    if (capacity_ > 1) {
        // Blocks are cleared when handed out.
        blocks_.reset(new (std::nothrow) uint16_t[size_t{capacity_} * 16]);
    }
    if (!blocks_)
        capacity_ = 1;

    const auto edge = [](int64_t pixel) { return ClampToInt32(pixel * 65536); };
    bandLeft_ = edge(int64_t{grid_.left} - kBandMargin);
    bandTop_ = edge(int64_t{grid_.top} - kBandMargin);
    bandRight_ = edge(int64_t{grid_.right} + kBandMargin);
    bandBottom_ = edge(int64_t{grid_.bottom} + kBandMargin);
    PlaceCursor(std::clamp(0, bandLeft_, bandRight_), std::clamp(0, bandTop_, bandBottom_), false);
}

Rasterizer::~Rasterizer() = default;

uint16_t* Rasterizer::BlockAt(uint32_t index) {
    return index == 0 ? scratch_ : blocks_.get() + size_t{index} * 16;
}

const uint16_t* Rasterizer::BlockAt(uint32_t index) const {
    return index == 0 ? scratch_ : blocks_.get() + size_t{index} * 16;
}

// The cursor's cell has no block yet: hand out the next one, or the scratch
// block once all are taken (those crossings are lost).
uint16_t* Rasterizer::TakeBlock() {
    if (blockCount_ >= capacity_) {
        cursorBlock_ = scratch_;
        return cursorBlock_;
    }
    const uint32_t index = blockCount_++;
    cursorBlock_ = BlockAt(index);
    std::memset(cursorBlock_, 0, 16 * sizeof(uint16_t));
    *cursorCell_ = static_cast<uint16_t>(index);
    return cursorBlock_;
}

bool Rasterizer::InBand(int32_t x, int32_t y) const {
    return bandLeft_ <= x && x <= bandRight_ && bandTop_ <= y && y <= bandBottom_;
}

// Puts the cursor on the sample of (x, y), a point inside the band; `enter`
// when the outline comes there (not the constructor's resting place).
void Rasterizer::PlaceCursor(int32_t x, int32_t y, bool enter) {
    cursorX_ = x;
    cursorY_ = y;
    const int32_t sx = Sample(x);
    const int32_t sy = Sample(y);
    cursorPx_ = sx >> 4;
    subColumn_ = sx & 15;
    cursorPy_ = sy >> 4;
    subRowBit_ = 0x8000u >> (sy & 15);
    LookUpCursor(enter);
}

void Rasterizer::LookUpCursor(bool enter) {
    if (cursorPy_ < grid_.top || cursorPy_ >= grid_.bottom || cursorPx_ >= grid_.right) {
        cursorState_ = 2;
        cursorCell_ = nullptr;
        cursorBlock_ = nullptr;
        return;
    }
    int32_t px = cursorPx_;
    cursorState_ = 0;
    if (px < grid_.left) {
        cursorState_ = 1;
        px = grid_.left;
    }
    cursorCell_ =
        cells_.get() + (int64_t{cursorPy_} - grid_.top) * cellStride_ + (int64_t{px} - grid_.left);
    cursorBlock_ = *cursorCell_ != 0 ? BlockAt(*cursorCell_) : nullptr;
    // A cell the outline enters resolves from its samples even when no
    // crossing lands in it: an edge that stays within one sample row across
    // the cell (a flat top, a horizontal side) covers it only partly. The
    // cell left of the clip stands in only for the crossings moved there.
    if (enter && cursorState_ == 0 && cursorBlock_ == nullptr)
        TakeBlock();
}

void Rasterizer::TakeStep(int32_t du, int32_t dv) {
    bool moved = false;
    subColumn_ += du;
    if (subColumn_ > 15) {
        subColumn_ = 0;
        ++cursorPx_;
        moved = true;
    } else if (subColumn_ < 0) {
        subColumn_ = 15;
        --cursorPx_;
        moved = true;
    }
    if (dv > 0) {
        subRowBit_ >>= 1;
        if (subRowBit_ == 0) {
            subRowBit_ = 0x8000;
            ++cursorPy_;
            moved = true;
        }
    } else if (dv < 0) {
        subRowBit_ <<= 1;
        if (subRowBit_ > 0x8000) {
            subRowBit_ = 1;
            --cursorPy_;
            moved = true;
        }
    }
    if (moved)
        LookUpCursor(true);
    pendingDy_ = dv;
}

void Rasterizer::RecordArrival() {
    const int32_t dv = pendingDy_;
    if (dv == 0)
        return;
    if (dv == -lastDy_)
        *lastFlag_.word ^= lastFlag_.bit;
    if (cursorState_ == 2) {
        lastFlag_ = Flag{&dummy_, 0};
    } else {
        uint16_t* block = cursorBlock_ != nullptr ? cursorBlock_ : TakeBlock();
        uint16_t* word = block + (cursorState_ == 0 ? subColumn_ : 0);
        const auto bit = static_cast<uint16_t>(subRowBit_);
        *word ^= bit;
        lastFlag_ = Flag{word, bit};
    }
    lastDy_ = dv;
    if (firstDy_ == 0)
        firstDy_ = dv;
}

// Walks the cursor from the sample of (x0, y0), where it stands, to the sample
// of (x1, y1) one sample at a time; both points lie in the band. The arrival
// of the last step stays pending.
void Rasterizer::StepLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    const int32_t dx = Sample(x1) - Sample(x0);
    const int32_t dy = Sample(y1) - Sample(y0);
    const int32_t sx = dx < 0 ? -1 : 1;
    const int32_t sy = dy < 0 ? -1 : 1;
    const int32_t ax = dx < 0 ? -dx : dx;
    const int32_t ay = dy < 0 ? -dy : dy;
    if (ay < ax) {
        int32_t e = ax / 2;
        for (int32_t n = 0; n < ax; ++n) {
            RecordArrival();
            e += ay;
            int32_t dv = 0;
            if (e >= ax) {
                e -= ax;
                dv = sy;
            }
            TakeStep(sx, dv);
        }
    } else {
        int32_t e = ay / 2;
        for (int32_t n = 0; n < ay; ++n) {
            RecordArrival();
            e += ax;
            int32_t du = 0;
            if (e >= ay) {
                e -= ay;
                du = sx;
            }
            TakeStep(du, sy);
        }
    }
    cursorX_ = x1;
    cursorY_ = y1;
}

// A line from the pen to (x, y). The parts outside the band are replaced by
// their projection onto the band's edges: a part left of the band becomes a
// vertical run at its left edge over the same rows (same crossings on the
// clip's left edge), parts above, below or right become runs whose crossings
// are dropped anyway.
void Rasterizer::SegmentTo(int32_t x, int32_t y) {
    const int32_t x0 = penX_;
    const int32_t y0 = penY_;
    penX_ = x;
    penY_ = y;
    if (InBand(x0, y0) && InBand(x, y)) {
        StepLine(cursorX_, cursorY_, x, y);
        return;
    }
    const double ax = x0;
    const double ay = y0;
    const double bx = x;
    const double by = y;
    double cuts[4];
    int count = 0;
    const auto cut = [&](double a, double b, double edge) {
        if ((a < edge && edge < b) || (b < edge && edge < a))
            cuts[count++] = (edge - a) / (b - a);
    };
    cut(ax, bx, bandLeft_);
    cut(ax, bx, bandRight_);
    cut(ay, by, bandTop_);
    cut(ay, by, bandBottom_);
    for (int i = 1; i < count; ++i) {  // at most four: insertion sort
        for (int j = i; j > 0 && cuts[j] < cuts[j - 1]; --j)
            std::swap(cuts[j], cuts[j - 1]);
    }
    const auto walkTo = [&](int32_t px, int32_t py) {
        StepLine(cursorX_, cursorY_, std::clamp(px, bandLeft_, bandRight_),
                 std::clamp(py, bandTop_, bandBottom_));
    };
    for (int i = 0; i < count; ++i) {
        walkTo(RoundToInt32(ax + (bx - ax) * cuts[i]), RoundToInt32(ay + (by - ay) * cuts[i]));
    }
    walkTo(x, y);
}

void Rasterizer::MoveTo(int32_t x, int32_t y) {
    penX_ = x;
    penY_ = y;
    PlaceCursor(std::clamp(x, bandLeft_, bandRight_), std::clamp(y, bandTop_, bandBottom_), true);
}

void Rasterizer::LineTo(int32_t x, int32_t y) {
    SegmentTo(x, y);
}

// Traces the curve from the sample of P0 (where the cursor stands) one
// sample at a time by halving, recording every arrival at once, and leaves
// the last step, onto the sample of P2, to the caller.
Rasterizer::Step Rasterizer::TraceQuad(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t x2,
                                       int64_t y2, int depth) {
    for (int piece = 0;; ++piece) {
        const int64_t mx = (((x0 + x1) >> 1) + ((x1 + x2) >> 1)) >> 1;
        const int64_t my = (((y0 + y1) >> 1) + ((y1 + y2) >> 1)) >> 1;
        Step step{Sample(mx) - Sample(x0), Sample(my) - Sample(y0)};
        if (IsUnitStep(step.du, step.dv)) {
            TakeStep(step.du, step.dv);
        } else if (depth < kMaxQuadDepth) {
            step = TraceQuad(x0, y0, (x0 + x1) >> 1, (y0 + y1) >> 1, mx, my, depth + 1);
            TakeStep(step.du, step.dv);
        } else {
            StepLine(static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(mx),
                     static_cast<int32_t>(my));
        }
        RecordArrival();
        step = Step{Sample(x2) - Sample(mx), Sample(y2) - Sample(my)};
        if (IsUnitStep(step.du, step.dv))
            return step;
        x0 = mx;
        y0 = my;
        x1 = (x1 + x2) >> 1;
        y1 = (y1 + y2) >> 1;
        if (piece == kMaxQuadPieces) {
            // Halving always converges long before; this only bounds the loop.
            StepLine(static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x2),
                     static_cast<int32_t>(y2));
            RecordArrival();
            return Step{0, 0};
        }
    }
}

// A curve that leaves the band, as lines: pieces wholly beyond one side of
// the band become chords (split at the turning row when left of the band, so
// that the rows crossed stay the same), the rest is halved until straight.
void Rasterizer::FlattenQuad(double x0, double y0, double x1, double y1, double x2, double y2,
                             int depth) {
    const auto lineTo = [this](double x, double y) { SegmentTo(RoundToInt32(x), RoundToInt32(y)); };
    const double minX = std::min({x0, x1, x2});
    const double maxX = std::max({x0, x1, x2});
    const double minY = std::min({y0, y1, y2});
    const double maxY = std::max({y0, y1, y2});
    if (minX > bandRight_ || maxY < bandTop_ || minY > bandBottom_) {
        lineTo(x2, y2);
        return;
    }
    if (maxX < bandLeft_) {
        const double denominator = y0 - 2 * y1 + y2;
        if (denominator != 0) {
            const double t = (y0 - y1) / denominator;
            if (t > 0 && t < 1) {
                const double u = 1 - t;
                lineTo(u * u * x0 + 2 * u * t * x1 + t * t * x2,
                       u * u * y0 + 2 * u * t * y1 + t * t * y2);
            }
        }
        lineTo(x2, y2);
        return;
    }
    const double bend = std::max(std::abs(x0 - 2 * x1 + x2), std::abs(y0 - 2 * y1 + y2));
    if (bend <= kFlatness || depth >= kMaxQuadDepth) {
        lineTo(x2, y2);
        return;
    }
    const double ax = (x0 + x1) / 2;
    const double ay = (y0 + y1) / 2;
    const double bx = (x1 + x2) / 2;
    const double by = (y1 + y2) / 2;
    const double mx = (ax + bx) / 2;
    const double my = (ay + by) / 2;
    FlattenQuad(x0, y0, ax, ay, mx, my, depth + 1);
    FlattenQuad(mx, my, bx, by, x2, y2, depth + 1);
}

void Rasterizer::QuadTo(int32_t cx, int32_t cy, int32_t x, int32_t y) {
    if (!InBand(penX_, penY_) || !InBand(cx, cy) || !InBand(x, y)) {
        FlattenQuad(penX_, penY_, cx, cy, x, y, 0);
        return;
    }
    RecordArrival();
    const Step last = TraceQuad(penX_, penY_, cx, cy, x, y, 0);
    TakeStep(last.du, last.dv);
    penX_ = cursorX_ = x;
    penY_ = cursorY_ = y;
}

void Rasterizer::BeginContour() {
    ResetContour();
}

void Rasterizer::ResetContour() {
    pendingDy_ = 0;
    lastDy_ = 0;
    firstDy_ = 0;
    lastFlag_ = Flag{&dummy_, 0};
}

void Rasterizer::CloseContour() {
    if (pendingDy_ == firstDy_) {
        RecordArrival();
    } else {
        const int32_t t = pendingDy_ != 0 ? pendingDy_ : firstDy_;
        if (t == -lastDy_)
            *lastFlag_.word ^= lastFlag_.bit;
    }
    // The contour is settled; a repeated close must not undo a flag again.
    ResetContour();
}

void Rasterizer::FillPath(const Path& path) {
    const std::vector<uint32_t>& words = path.words();
    bool open = false;
    int32_t startX = 0;
    int32_t startY = 0;
    const auto openAtPen = [&] {
        if (open)
            return;
        startX = penX_;
        startY = penY_;
        BeginContour();
        open = true;
    };
    size_t i = 0;
    while (i < words.size()) {
        const uint32_t header = words[i];
        if (header == 0)
            break;
        const size_t count = header & 0xFF;
        if (words.size() - i - 1 < count)
            break;
        const uint32_t* op = words.data() + i + 1;
        switch (header) {
            case Path::kMove:
                if (open) {
                    LineTo(startX, startY);
                    CloseContour();
                }
                startX = ToFixed(op[0]);
                startY = ToFixed(op[1]);
                MoveTo(startX, startY);
                BeginContour();
                open = true;
                break;
            case Path::kLine:
                openAtPen();
                LineTo(ToFixed(op[0]), ToFixed(op[1]));
                break;
            case Path::kQuad:
                openAtPen();
                QuadTo(ToFixed(op[0]), ToFixed(op[1]), ToFixed(op[2]), ToFixed(op[3]));
                break;
            case Path::kClose:
                if (open) {
                    LineTo(startX, startY);
                    CloseContour();
                    open = false;
                }
                break;
            case Path::kCloseQuad:
                if (open) {
                    QuadTo(ToFixed(op[0]), ToFixed(op[1]), startX, startY);
                    CloseContour();
                    open = false;
                }
                break;
            default:  // unknown commands are stepped over with their operands
                break;
        }
        i += 1 + count;
    }
    if (open) {
        LineTo(startX, startY);
        CloseContour();
    }
}

bool Rasterizer::VisibleSpan(const Rect& rect, Point at, const Rect& dst, Span& span) const {
    const int64_t dx = int64_t{at.x} - rect.left;
    const int64_t dy = int64_t{at.y} - rect.top;
    const int64_t x0 = std::max({int64_t{rect.left}, int64_t{grid_.left}, dst.left - dx});
    const int64_t x1 = std::min({int64_t{rect.right}, int64_t{grid_.right}, dst.right - dx});
    const int64_t y0 = std::max({int64_t{rect.top}, int64_t{grid_.top}, dst.top - dy});
    const int64_t y1 = std::min({int64_t{rect.bottom}, int64_t{grid_.bottom}, dst.bottom - dy});
    if (x0 >= x1 || y0 >= y1)
        return false;
    // Within grid_, so within int32.
    span = Span{static_cast<int32_t>(x0),
                static_cast<int32_t>(x1),
                static_cast<int32_t>(y0),
                static_cast<int32_t>(y1),
                dx,
                dy};
    return true;
}

// Coverage of clip pixels [x0, x1) of row y. The running state starts at the
// clip's left edge, so crossings left of x0 count.
void Rasterizer::ResolveRow(int32_t y, int32_t x0, int32_t x1, uint8_t* out) const {
    const uint8_t* pop = PopCountTable();
    const uint16_t* cells = cells_.get() + (int64_t{y} - grid_.top) * cellStride_;
    const int32_t skip = x0 - grid_.left;
    const int32_t end = x1 - grid_.left;
    uint32_t s = 0;
    for (int32_t i = 0; i < skip; ++i) {
        if (cells[i] == 0)
            continue;
        const uint16_t* block = BlockAt(cells[i]);
        for (int c = 0; c < 16; ++c)
            s ^= block[c];
    }
    for (int32_t i = skip; i < end; ++i) {
        if (cells[i] == 0) {
            out[i - skip] = s != 0 ? 255 : 0;
            continue;
        }
        const uint16_t* block = BlockAt(cells[i]);
        uint32_t sum = 0;
        for (int c = 0; c < 16; ++c) {
            s ^= block[c];
            sum += pop[s];
        }
        out[i - skip] = static_cast<uint8_t>(sum > 255 ? 255 : sum);
    }
}

void Rasterizer::ResolveToMask(Mask& mask, const Rect& rect, Point at) const {
    Span span;
    if (!mask.IsWritable() || !VisibleSpan(rect, at, mask.bounds(), span))
        return;
    for (int32_t y = span.y0; y < span.y1; ++y) {
        uint8_t* row =
            mask.At(static_cast<int32_t>(span.x0 + span.dx), static_cast<int32_t>(y + span.dy));
        ResolveRow(y, span.x0, span.x1, row);
    }
}

void Rasterizer::ResolveOverImage(Image& image, const Rect& rect, Point at, uint32_t colour) const {
    Span span;
    if (!image.IsWritable() || !VisibleSpan(rect, at, image.bounds(), span))
        return;
    std::vector<uint8_t> coverage(static_cast<size_t>(span.x1 - span.x0));
    for (int32_t y = span.y0; y < span.y1; ++y) {
        ResolveRow(y, span.x0, span.x1, coverage.data());
        uint32_t* row =
            image.At(static_cast<int32_t>(span.x0 + span.dx), static_cast<int32_t>(y + span.dy));
        for (size_t i = 0; i < coverage.size(); ++i) {
            row[i] = composeOver(row[i], tintCoverage(coverage[i], colour));
        }
    }
}

}  // namespace quil
