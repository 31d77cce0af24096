#include "gfx/Compositing.h"

#include <cstring>

#include "gfx/PixelArithmetic.h"

namespace quil {

namespace {

// Rectangles are worked on in 64 bits: an anchor far from the grids moves a
// rectangle beyond the int32 range before the clip brings it back.
struct WideRect {
    int64_t left, top, right, bottom;

    static WideRect From(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    WideRect Intersect(const WideRect& o) const {
        return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
                std::min(bottom, o.bottom)};
    }
    WideRect Offset(int64_t dx, int64_t dy) const {
        return {left + dx, top + dy, right + dx, bottom + dy};
    }
};

// The clipped copy: `width` x `height` pixels from source (srcX, srcY) onto
// destination (dstX, dstY). Both corners lie inside their grids' bounds, so
// every coordinate fits in int32 again.
struct CopySpan {
    int32_t dstX, dstY, srcX, srcY;
    int32_t width, height;
};

template <typename D, typename S>
bool ClipCopy(const PixelGrid<D>& dst, const Rect& dstRect, Point dstAnchor,
              const PixelGrid<S>& src, const Rect& srcRect, Point srcAnchor, CopySpan& span) {
    if (!dst.IsWritable() || !src.HasStorage())
        return false;
    const WideRect rs = WideRect::From(srcRect).Intersect(WideRect::From(src.bounds()));
    WideRect rd = WideRect::From(dstRect).Intersect(WideRect::From(dst.bounds()));
    const int64_t dx = int64_t{dstAnchor.x} - srcAnchor.x;
    const int64_t dy = int64_t{dstAnchor.y} - srcAnchor.y;
    rd = rd.Intersect(rs.Offset(dx, dy));
    if (rs.IsEmpty() || rd.IsEmpty())
        return false;
    span.dstX = static_cast<int32_t>(rd.left);
    span.dstY = static_cast<int32_t>(rd.top);
    span.srcX = static_cast<int32_t>(rd.left - dx);
    span.srcY = static_cast<int32_t>(rd.top - dy);
    span.width = static_cast<int32_t>(rd.right - rd.left);
    span.height = static_cast<int32_t>(rd.bottom - rd.top);
    return true;
}

// Visits the span row by row; `row(d, s, n)` handles n pixels of one row.
template <typename D, typename S, typename RowOp>
void ForEachRow(PixelGrid<D>& dst, const PixelGrid<S>& src, const CopySpan& span, RowOp row) {
    auto* dstRow = reinterpret_cast<uint8_t*>(dst.At(span.dstX, span.dstY));
    const auto* srcRow = reinterpret_cast<const uint8_t*>(src.At(span.srcX, span.srcY));
    for (int32_t y = 0; y < span.height; ++y) {
        row(reinterpret_cast<D*>(dstRow), reinterpret_cast<const S*>(srcRow), span.width);
        if (y + 1 < span.height) {
            dstRow += dst.stride();
            srcRow += src.stride();
        }
    }
}

// A pixel operation as a row operation.
template <typename PixelOp>
auto PerPixel(PixelOp op) {
    return [op](auto* d, const auto* s, int32_t n) {
        for (int32_t x = 0; x < n; ++x)
            d[x] = op(d[x], s[x]);
    };
}

// memmove keeps a copy within one grid sound.
template <typename D>
void CopyRow(D* d, const D* s, int32_t n) {
    std::memmove(d, s, static_cast<size_t>(n) * sizeof(D));
}

template <typename D, typename S, typename RowOp>
void Composite(PixelGrid<D>& dst, const Rect& dstRect, Point dstAnchor, const PixelGrid<S>& src,
               const Rect& srcRect, Point srcAnchor, RowOp row) {
    CopySpan span;
    if (ClipCopy(dst, dstRect, dstAnchor, src, srcRect, srcAnchor, span)) {
        ForEachRow(dst, src, span, row);
    }
}

// Opacities above 255 mean fully opaque; composeScaled is only defined up to
// 255 (a larger k would make 255 - d wrap around).
uint32_t ClampOpacity(uint32_t opacity) {
    return opacity > 255 ? 255 : opacity;
}

int64_t FloorMod(int64_t value, int64_t modulus) {
    const int64_t r = value % modulus;
    return r < 0 ? r + modulus : r;
}

// Repeats the tile srcRect over dstRect. Each destination row is served in
// runs that stop at the tile's right edge, so the inner loops stay plain.
template <typename D, typename S, typename RowOp>
void Tile(PixelGrid<D>& dst, const Rect& dstRect, Point dstAnchor, const PixelGrid<S>& src,
          const Rect& srcRect, Point srcAnchor, RowOp row) {
    if (!dst.IsWritable() || !src.HasStorage())
        return;
    const Rect rs = srcRect.Intersect(src.bounds());
    if (rs.IsEmpty())
        return;
    const Rect rd = dstRect.Intersect(dst.bounds());
    if (rd.IsEmpty())
        return;
    const int64_t tileW = rs.Width();
    const int64_t tileH = rs.Height();
    const int64_t sx0 = int64_t{rd.left} + srcAnchor.x - dstAnchor.x;
    const int64_t sy0 = int64_t{rd.top} + srcAnchor.y - dstAnchor.y;
    const auto sx = static_cast<int32_t>(rs.left + FloorMod(sx0 - rs.left, tileW));
    auto sy = static_cast<int32_t>(rs.top + FloorMod(sy0 - rs.top, tileH));
    const auto width = static_cast<int32_t>(rd.Width());

    auto* dstRow = reinterpret_cast<uint8_t*>(dst.At(rd.left, rd.top));
    for (int32_t y = rd.top;;) {
        D* d = reinterpret_cast<D*>(dstRow);
        const S* tileRow = src.At(rs.left, sy);
        int32_t done = 0;
        int32_t column = sx;
        while (done < width) {
            const int32_t run = static_cast<int32_t>(
                std::min<int64_t>(int64_t{rs.right} - column, int64_t{width} - done));
            row(d + done, tileRow + (column - rs.left), run);
            done += run;
            column = rs.left;
        }
        if (++y == rd.bottom)
            break;
        dstRow += dst.stride();
        if (++sy == rs.bottom)
            sy = rs.top;
    }
}

const auto kCopyImageRow = [](uint32_t* d, const uint32_t* s, int32_t n) { CopyRow(d, s, n); };
const auto kOverImageRow = PerPixel([](uint32_t d, uint32_t s) { return composeOver(d, s); });

auto BlendMaskRow(uint32_t colour, uint32_t opacity) {
    return PerPixel([colour, opacity](uint32_t d, uint8_t cov) {
        return composeScaled(d, tintCoverage(cov, colour), opacity);
    });
}

}  // namespace

void copyMask(Mask& dst, const Rect& dstRect, Point dstAnchor, const Mask& src, const Rect& srcRect,
              Point srcAnchor) {
    Composite(dst, dstRect, dstAnchor, src, srcRect, srcAnchor,
              [](uint8_t* d, const uint8_t* s, int32_t n) { CopyRow(d, s, n); });
}

void copyImage(Image& dst, const Rect& dstRect, Point dstAnchor, const Image& src,
               const Rect& srcRect, Point srcAnchor) {
    Composite(dst, dstRect, dstAnchor, src, srcRect, srcAnchor, kCopyImageRow);
}

void overImage(Image& dst, const Rect& dstRect, Point dstAnchor, const Image& src,
               const Rect& srcRect, Point srcAnchor) {
    Composite(dst, dstRect, dstAnchor, src, srcRect, srcAnchor, kOverImageRow);
}

void writeMaskColour(Image& dst, const Rect& dstRect, Point dstAnchor, const Mask& src,
                     const Rect& srcRect, Point srcAnchor, uint32_t colour, uint32_t opacity) {
    if (opacity == 0)
        return;
    if (opacity >= 255) {
        Composite(dst, dstRect, dstAnchor, src, srcRect, srcAnchor,
                  PerPixel([colour](uint32_t, uint8_t cov) { return tintCoverage(cov, colour); }));
        return;
    }
    Composite(dst, dstRect, dstAnchor, src, srcRect, srcAnchor,
              PerPixel([colour, opacity](uint32_t, uint8_t cov) {
                  return composeScaled(0, tintCoverage(cov, colour), opacity);
              }));
}

void overMaskColour(Image& dst, const Rect& dstRect, Point dstAnchor, const Mask& src,
                    const Rect& srcRect, Point srcAnchor, uint32_t colour) {
    Composite(dst, dstRect, dstAnchor, src, srcRect, srcAnchor,
              PerPixel([colour](uint32_t d, uint8_t cov) {
                  return composeOver(d, tintCoverage(cov, colour));
              }));
}

void blendMaskColour(Image& dst, const Rect& dstRect, Point dstAnchor, const Mask& src,
                     const Rect& srcRect, Point srcAnchor, uint32_t colour, uint32_t opacity) {
    Composite(dst, dstRect, dstAnchor, src, srcRect, srcAnchor,
              BlendMaskRow(colour, ClampOpacity(opacity)));
}

void fillRect(Image& image, const Rect& rect, uint32_t value) {
    if (!image.IsWritable())
        return;
    const Rect r = rect.Intersect(image.bounds());
    if (r.IsEmpty())
        return;
    const auto width = static_cast<int32_t>(r.Width());
    auto* row = reinterpret_cast<uint8_t*>(image.At(r.left, r.top));
    for (int32_t y = r.top;;) {
        uint32_t* p = reinterpret_cast<uint32_t*>(row);
        for (int32_t x = 0; x < width; ++x)
            p[x] = value;
        if (++y == r.bottom)
            break;
        row += image.stride();
    }
}

void tiledCopyImage(Image& dst, const Rect& dstRect, Point dstAnchor, const Image& src,
                    const Rect& srcRect, Point srcAnchor) {
    Tile(dst, dstRect, dstAnchor, src, srcRect, srcAnchor, kCopyImageRow);
}

void tiledOverImage(Image& dst, const Rect& dstRect, Point dstAnchor, const Image& src,
                    const Rect& srcRect, Point srcAnchor) {
    Tile(dst, dstRect, dstAnchor, src, srcRect, srcAnchor, kOverImageRow);
}

void tiledBlendMaskColour(Image& dst, const Rect& dstRect, Point dstAnchor, const Mask& src,
                          const Rect& srcRect, Point srcAnchor, uint32_t colour, uint32_t opacity) {
    Tile(dst, dstRect, dstAnchor, src, srcRect, srcAnchor,
         BlendMaskRow(colour, ClampOpacity(opacity)));
}

}  // namespace quil
