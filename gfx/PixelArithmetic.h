#pragma once

#include <cstdint>

// The exact per-pixel arithmetic of compositing. Pixels are 0xAARRGGBB words
// with premultiplied alpha (no colour channel above alpha). Every division by
// 255 truncates, and every term is truncated on its own before the sum, so
// results match bit for bit on every platform.

namespace quil {

namespace pixel {
inline uint32_t Channel(uint32_t p, int shift) { return (p >> shift) & 0xFF; }
inline uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | r << 16 | g << 8 | b;
}
}  // namespace pixel

// src over dst; an opaque source replaces, a transparent source keeps dst.
inline uint32_t composeOver(uint32_t dst, uint32_t src) {
    const uint32_t srcA = src >> 24;
    if (srcA == 255) return src;
    if (srcA == 0) return dst;
    const uint32_t inv = 255 - srcA;
    uint32_t out[4];
    for (int i = 0; i < 3; ++i) {
        const int shift = i * 8;
        out[i] = pixel::Channel(src, shift) + inv * pixel::Channel(dst, shift) / 255;
    }
    const uint32_t dstA = dst >> 24;
    out[3] = dstA + srcA - dstA * srcA / 255;
    return pixel::Pack(out[3], out[2], out[1], out[0]);
}

// src at opacity k (0..255) over dst. No shortcut for k = 255 or srcA = 0.
inline uint32_t composeScaled(uint32_t dst, uint32_t src, uint32_t k) {
    const uint32_t d = k * (src >> 24) / 255;
    uint32_t out[4];
    for (int i = 0; i < 3; ++i) {
        const int shift = i * 8;
        out[i] = k * pixel::Channel(src, shift) / 255 + (255 - d) * pixel::Channel(dst, shift) / 255;
    }
    const uint32_t dstA = dst >> 24;
    out[3] = d + dstA - dstA * d / 255;
    return pixel::Pack(out[3], out[2], out[1], out[0]);
}

// The colour at coverage cov (0..255); full coverage keeps the colour word
// whole, alpha byte included; partial coverage ignores the colour's alpha.
inline uint32_t tintCoverage(uint32_t cov, uint32_t colour) {
    if (cov == 255) return colour;
    if (cov == 0) return 0;
    return pixel::Pack(cov, pixel::Channel(colour, 16) * cov / 255,
                       pixel::Channel(colour, 8) * cov / 255, pixel::Channel(colour, 0) * cov / 255);
}

}  // namespace quil
