#include "gfx/PixelArithmetic.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace quil {
namespace {

bool IsPremultiplied(uint32_t p) {
    const uint32_t a = p >> 24;
    return (p >> 16 & 0xFF) <= a && (p >> 8 & 0xFF) <= a && (p & 0xFF) <= a;
}

// A premultiplied pixel whose three channels take different shares of alpha.
uint32_t Sample(uint32_t alpha, uint32_t variant) {
    const uint32_t shares[4][3] = {{255, 255, 255}, {0, 0, 0}, {255, 128, 0}, {1, 254, 77}};
    const uint32_t* s = shares[variant % 4];
    return pixel::Pack(alpha, alpha * s[0] / 255, alpha * s[1] / 255, alpha * s[2] / 255);
}

TEST(PixelArithmeticTest, ComposeOverShortcutsKeepSourceOrDestination) {
    EXPECT_EQ(composeOver(0x80402010u, 0xFF123456u), 0xFF123456u);
    // A transparent source keeps the destination whatever its colour bytes say.
    EXPECT_EQ(composeOver(0x80402010u, 0x00FFFFFFu), 0x80402010u);
    EXPECT_EQ(composeOver(0x80402010u, 0x00000000u), 0x80402010u);
}

TEST(PixelArithmeticTest, ComposeOverTruncatesEachTerm) {
    // src 0x80 alpha over opaque white: channel 0x40 + 127 * 255 / 255.
    EXPECT_EQ(composeOver(0xFFFFFFFFu, 0x80402000u), 0xFFBF9F7Fu);
    // Alpha: 0x80 + 0x80 - 0x80 * 0x80 / 255 = 256 - 64 = 192.
    EXPECT_EQ(composeOver(0x80000000u, 0x80000000u) >> 24, 192u);
}

TEST(PixelArithmeticTest, ComposeScaledEnds) {
    EXPECT_EQ(composeScaled(0, 0xFF5D38C7u, 255), 0xFF5D38C7u);
    EXPECT_EQ(composeScaled(0x80402010u, 0xFF5D38C7u, 0), 0x80402010u);
    // No shortcut for a transparent source: it still keeps dst exactly.
    EXPECT_EQ(composeScaled(0x80402010u, 0x00000000u, 255), 0x80402010u);
    // k = 1 on an opaque source: d = 1; channels 1 * c / 255 = 0 plus 254 * dst / 255.
    EXPECT_EQ(composeScaled(0xFFFFFFFFu, 0xFFFFFFFFu, 1), 0xFFFFFFFFu);
    EXPECT_EQ(composeScaled(0, 0xFFFFFFFFu, 254), 0xFEFEFEFEu);
    EXPECT_EQ(composeScaled(0, 0xFFFFFFFFu, 1), 0x01010101u);
}

TEST(PixelArithmeticTest, TintCoverage) {
    EXPECT_EQ(tintCoverage(128, 0xFF5D38C7u), 0x802E1C63u);
    EXPECT_EQ(tintCoverage(255, 0x7F5D38C7u), 0x7F5D38C7u);  // whole word, alpha included
    EXPECT_EQ(tintCoverage(0, 0xFF5D38C7u), 0u);
    EXPECT_EQ(tintCoverage(1, 0xFFFFFFFFu), 0x01010101u);
    EXPECT_EQ(tintCoverage(254, 0x10FFFFFFu), 0xFEFEFEFEu);  // colour alpha unused
}

TEST(PixelArithmeticTest, ComposeOverStaysPremultiplied) {
    for (uint32_t sa = 0; sa < 256; ++sa) {
        for (uint32_t da = 0; da < 256; ++da) {
            for (uint32_t v = 0; v < 16; ++v) {
                const uint32_t src = Sample(sa, v), dst = Sample(da, v / 4);
                const uint32_t out = composeOver(dst, src);
                ASSERT_TRUE(IsPremultiplied(out)) << std::hex << dst << " " << src;
                ASSERT_GE(out >> 24, std::max(sa, da));
            }
        }
    }
}

TEST(PixelArithmeticTest, ComposeScaledStaysPremultiplied) {
    for (uint32_t k = 0; k < 256; ++k) {
        for (uint32_t sa = 0; sa < 256; ++sa) {
            for (uint32_t da : {0u, 1u, 2u, 63u, 127u, 128u, 200u, 254u, 255u}) {
                for (uint32_t v = 0; v < 4; ++v) {
                    const uint32_t src = Sample(sa, v), dst = Sample(da, 3 - v);
                    const uint32_t out = composeScaled(dst, src, k);
                    ASSERT_TRUE(IsPremultiplied(out)) << std::hex << dst << " " << src << " " << k;
                    ASSERT_GE(out >> 24, da);
                }
            }
        }
    }
    // Opacity 0 keeps any destination; full opacity over nothing keeps any source.
    for (uint32_t a = 0; a < 256; ++a) {
        for (uint32_t v = 0; v < 4; ++v) {
            ASSERT_EQ(composeScaled(Sample(a, v), 0xFF102030u, 0), Sample(a, v));
            ASSERT_EQ(composeScaled(0, Sample(a, v), 255), Sample(a, v));
        }
    }
}

TEST(PixelArithmeticTest, TintCoverageStaysPremultiplied) {
    for (uint32_t cov = 0; cov < 256; ++cov) {
        for (uint32_t a = 0; a < 256; ++a) {
            for (uint32_t v = 0; v < 4; ++v) {
                const uint32_t colour = Sample(a, v);
                const uint32_t out = tintCoverage(cov, colour);
                ASSERT_TRUE(IsPremultiplied(out)) << std::hex << cov << " " << colour;
                if (cov != 255) {
                    ASSERT_EQ(out >> 24, cov);
                }
            }
        }
    }
}

}  // namespace
}  // namespace quil
