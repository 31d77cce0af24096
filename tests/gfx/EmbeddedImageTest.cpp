#include "gfx/EmbeddedImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <utility>

#include "tests/gfx/CompositingTestSupport.h"

namespace quil {
namespace {

using gfxtest::Pixels;

// Embedded data is 16-byte aligned; tests copy blobs into such storage.
struct Blob {
    alignas(16) uint8_t bytes[512] = {};
    size_t size = 0;

    explicit Blob(const std::vector<uint8_t>& from, size_t offset = 0) {
        std::memcpy(bytes + offset, from.data(), from.size());
        size = from.size();
    }
};

std::vector<uint8_t> Header(uint32_t width, uint32_t height, uint32_t stride, uint32_t reserved,
                            size_t rowBytes) {
    std::vector<uint8_t> out;
    for (uint32_t word : {width, height, stride, reserved}) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<uint8_t>(word >> shift));
    }
    out.resize(out.size() + rowBytes, 0x5A);
    return out;
}

TEST(EmbeddedImageTest, ImageRoundTrip) {
    std::mt19937 rng(21);
    const Image source = gfxtest::RandomImage(Rect{-3, 5, 0, 9}, rng);  // 3 x 4, not at 0, 0
    const auto encoded = EncodeEmbeddedImage(source);
    ASSERT_EQ(encoded.size(), 16u + 16 * 4);
    EXPECT_EQ((std::vector<uint8_t>(encoded.begin(), encoded.begin() + 16)),
              (std::vector<uint8_t>{0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 16, 0, 0, 0, 0}));
    // Pixel words are little-endian: blue first.
    const uint32_t first = *source.At(-3, 5);
    EXPECT_EQ(encoded[16], first & 0xFF);
    EXPECT_EQ(encoded[19], first >> 24);
    EXPECT_EQ(encoded[16 + 12], 0);  // padding

    const Blob blob(encoded);
    Image wrapped;
    ASSERT_TRUE(WrapEmbeddedImage(blob.bytes, blob.size, wrapped));
    EXPECT_EQ(wrapped.bounds(), (Rect{0, 0, 3, 4}));
    EXPECT_EQ(wrapped.stride(), 16);
    EXPECT_FALSE(wrapped.IsWritable());
    EXPECT_EQ(Pixels(wrapped), Pixels(source));
    // In place: the rows are the blob's own bytes.
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(std::as_const(wrapped).At(0, 0)), blob.bytes + 16);
}

TEST(EmbeddedImageTest, MaskRoundTrip) {
    std::mt19937 rng(22);
    for (int32_t width : {1, 7, 8, 9, 24}) {
        const Mask source = gfxtest::RandomMask(Rect{2, 2, 2 + width, 5}, rng);
        const auto encoded = EncodeEmbeddedMask(source);
        const uint32_t stride = (static_cast<uint32_t>(width) + 7) / 8 * 8;
        ASSERT_EQ(encoded.size(), 16 + stride * 3);
        const Blob blob(encoded, 1);  // masks need no alignment
        Mask wrapped;
        ASSERT_TRUE(WrapEmbeddedMask(blob.bytes + 1, blob.size, wrapped)) << width;
        EXPECT_EQ(wrapped.bounds(), (Rect{0, 0, width, 3}));
        EXPECT_EQ(Pixels(wrapped), Pixels(source));
    }
    EXPECT_TRUE(EncodeEmbeddedMask(Mask{}).empty());
    EXPECT_TRUE(EncodeEmbeddedImage(Image{}).empty());
}

TEST(EmbeddedImageTest, DamagedBlobsAreRefused) {
    struct Damage {
        const char* what;
        std::vector<uint8_t> bytes;
        bool image;
    };
    const std::vector<Damage> cases = {
        {"shorter than a header", std::vector<uint8_t>(15, 0), false},
        {"truncated rows", Header(4, 2, 8, 0, 15), false},
        {"truncated image rows", Header(2, 2, 8, 0, 15), true},
        {"zero width", Header(0, 2, 8, 0, 16), false},
        {"zero height", Header(2, 0, 8, 0, 16), false},
        {"stride below the row", Header(9, 1, 8, 0, 16), false},
        {"stride below an image row", Header(3, 1, 8, 0, 16), true},
        {"stride of another pixel size", Header(8, 1, 32, 0, 32), false},
        {"image stride not a whole pixel", Header(1, 1, 6, 0, 8), true},
        {"reserved word set", Header(2, 2, 8, 1, 16), false},
        {"rows size overflows", Header(0x10000, 0x10000, 0x10000, 0, 16), false},
        {"huge sides", Header(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0, 16), false},
        {"huge image sides", Header(0x40000000, 4, 0, 0, 16), true},
    };
    for (const Damage& d : cases) {
        const Blob blob(d.bytes);
        if (d.image) {
            Image image;
            image.SetBounds(Rect{0, 0, 2, 2});
            EXPECT_FALSE(WrapEmbeddedImage(blob.bytes, blob.size, image)) << d.what;
            EXPECT_FALSE(image.HasStorage()) << d.what;
            EXPECT_TRUE(image.bounds().IsEmpty()) << d.what;
        } else {
            Mask mask;
            mask.SetBounds(Rect{0, 0, 2, 2});
            EXPECT_FALSE(WrapEmbeddedMask(blob.bytes, blob.size, mask)) << d.what;
            EXPECT_FALSE(mask.HasStorage()) << d.what;
        }
    }
    Mask mask;
    EXPECT_FALSE(WrapEmbeddedMask(nullptr, 100, mask));
}

TEST(EmbeddedImageTest, StrideAndSizeLimits) {
    // Exactly enough bytes, and the unpadded stride, are fine; so is trailing data.
    Blob exact(Header(3, 2, 12, 0, 24));
    Image image;
    EXPECT_TRUE(WrapEmbeddedImage(exact.bytes, exact.size, image));
    EXPECT_TRUE(WrapEmbeddedImage(exact.bytes, exact.size + 100, image));
    EXPECT_FALSE(WrapEmbeddedImage(exact.bytes, exact.size - 1, image));
    Blob padded(Header(3, 2, 16, 0, 32));
    EXPECT_TRUE(WrapEmbeddedImage(padded.bytes, padded.size, image));
    EXPECT_EQ(image.stride(), 16);
    // A stride beyond the padding up to 8 does not describe these pixels.
    Blob wide(Header(3, 2, 20, 0, 40));
    EXPECT_FALSE(WrapEmbeddedImage(wide.bytes, wide.size, image));
}

TEST(EmbeddedImageTest, UnalignedImageRowsAreRefused) {
    Image source;
    source.SetBounds(Rect{0, 0, 2, 2});
    source.Fill(0xFF102030);
    const auto encoded = EncodeEmbeddedImage(source);
    for (size_t offset = 1; offset < 4; ++offset) {
        const Blob blob(encoded, offset);
        Image image;
        EXPECT_FALSE(WrapEmbeddedImage(blob.bytes + offset, blob.size, image)) << offset;
    }
    const Blob aligned(encoded, 4);
    Image image;
    EXPECT_TRUE(WrapEmbeddedImage(aligned.bytes + 4, aligned.size, image));
    EXPECT_EQ(*image.At(1, 1), 0xFF102030u);
}

}  // namespace
}  // namespace quil
