#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/SkinArtworkData.h"
#include "gfx/EmbeddedImage.h"

namespace quil {
namespace {

struct Expected {
    const char* name;
    const PixelGrid<uint32_t>* image;
    const PixelGrid<uint8_t>* mask;
    int32_t width;
    int32_t height;
};

std::vector<Expected> Listed(const SkinArtwork& art) {
    return {
        {"linkButtonDark", &art.linkButtonDark, nullptr, 12, 12},
        {"linkButtonLight", &art.linkButtonLight, nullptr, 12, 12},
        {"closeGlyph", nullptr, &art.closeGlyph, 8, 8},
        {"zoomGlyph", nullptr, &art.zoomGlyph, 8, 8},
        {"minimizeGlyph", nullptr, &art.minimizeGlyph, 8, 8},
        {"identifyButton0", &art.identifyButton[0], nullptr, 24, 24},
        {"identifyButton1", &art.identifyButton[1], nullptr, 24, 24},
        {"identifyButton2", &art.identifyButton[2], nullptr, 24, 24},
        {"stopButton0", &art.stopButton[0], nullptr, 24, 24},
        {"stopButton1", &art.stopButton[1], nullptr, 24, 24},
        {"stopButton2", &art.stopButton[2], nullptr, 24, 24},
        {"leftCapMask", nullptr, &art.leftCapMask, 24, 66},
        {"rightCapMask", nullptr, &art.rightCapMask, 24, 66},
        {"leftCapShading", &art.leftCapShading, nullptr, 24, 66},
        {"rightCapShading", &art.rightCapShading, nullptr, 24, 66},
        {"resizeGrip", &art.resizeGrip, nullptr, 16, 16},
    };
}

TEST(SkinArtworkData, EveryImageLoadsWithItsListedSizeAndKind) {
    SkinArtwork art;
    ASSERT_TRUE(LoadSkinArtwork(art));
    EXPECT_EQ(SkinImageFiles().size(), 16u);
    for (const Expected& e : Listed(art)) {
        SCOPED_TRACE(e.name);
        const Rect want{0, 0, e.width, e.height};
        if (e.image) {
            EXPECT_EQ(e.image->bounds(), want);
            EXPECT_TRUE(e.image->HasStorage());
            EXPECT_FALSE(e.image->IsWritable());  // wrapped in place, not copied
        } else {
            EXPECT_EQ(e.mask->bounds(), want);
            EXPECT_TRUE(e.mask->HasStorage());
            EXPECT_FALSE(e.mask->IsWritable());
        }
    }
}

TEST(SkinArtworkData, ImagesArePremultipliedAndNotEmpty) {
    SkinArtwork art;
    ASSERT_TRUE(LoadSkinArtwork(art));
    for (const Expected& e : Listed(art)) {
        SCOPED_TRACE(e.name);
        bool ink = false;
        for (int32_t y = 0; y < e.height; ++y) {
            for (int32_t x = 0; x < e.width; ++x) {
                if (e.mask) {
                    ink |= *e.mask->At(x, y) != 0;
                    continue;
                }
                const uint32_t p = *e.image->At(x, y);
                const uint32_t a = p >> 24;
                ink |= a != 0;
                ASSERT_LE((p >> 16) & 0xFF, a) << x << "," << y;
                ASSERT_LE((p >> 8) & 0xFF, a) << x << "," << y;
                ASSERT_LE(p & 0xFF, a) << x << "," << y;
            }
        }
        EXPECT_TRUE(ink);
    }
}

// The ends hold the window body: 60 rows with 3 free rows above and below,
// 21 columns at mid-height on the left, full at the inner edge.
TEST(SkinArtworkData, CapMasksHaveTheBodyShape) {
    SkinArtwork art;
    ASSERT_TRUE(LoadSkinArtwork(art));
    const Mask& left = art.leftCapMask;
    const Mask& right = art.rightCapMask;
    for (int32_t y : {0, 1, 2, 63, 64, 65}) {
        for (int32_t x = 0; x < 24; ++x) {
            ASSERT_EQ(*left.At(x, y), 0) << x << "," << y;
            ASSERT_EQ(*right.At(x, y), 0) << x << "," << y;
        }
    }
    for (int32_t y : {32, 33}) {
        int width = 0;
        for (int32_t x = 0; x < 24; ++x)
            width += *left.At(x, y) != 0;
        EXPECT_EQ(width, 21) << "row " << y;
        EXPECT_EQ(*left.At(2, y), 0);
        EXPECT_NE(*left.At(3, y), 0);
    }
    // The inner edge (tiled across the middle from the right end) is solid
    // from the first body row (less its top sample row) to the last.
    for (int32_t y = 3; y < 63; ++y) {
        EXPECT_EQ(*left.At(23, y), y == 3 ? 240 : 255) << y;
        EXPECT_EQ(*right.At(0, y), y == 3 ? 240 : 255) << y;
    }
    for (int32_t y = 0; y < 66; ++y) {
        for (int32_t x = 0; x < 24; ++x) {
            ASSERT_EQ(*right.At(x, y), *left.At(23 - x, y)) << x << "," << y;
        }
    }
}

// The middle of the window repeats the right end's first column, so that
// column must run on without a seam into the right end itself.
TEST(SkinArtworkData, RightEndStartsWithPlainBody) {
    SkinArtwork loaded;
    ASSERT_TRUE(LoadSkinArtwork(loaded));
    const SkinArtwork& art = loaded;  // wrapped grids are read through the const accessors
    for (int32_t y = 0; y < 66; ++y) {
        EXPECT_EQ(*art.rightCapShading.At(0, y), *art.rightCapShading.At(1, y)) << y;
        EXPECT_EQ(*art.rightCapShading.At(0, y), *art.leftCapShading.At(23, y)) << y;
    }
}

TEST(SkinArtworkData, DamagedOrMissingBlobsAreRefused) {
    std::vector<EmbeddedFile> files(SkinImageFiles().begin(), SkinImageFiles().end());
    SkinArtwork art;
    ASSERT_TRUE(LoadSkinArtwork(art, files));

    // A blob cut short: its rows no longer fit.
    std::vector<EmbeddedFile> shortened = files;
    for (EmbeddedFile& f : shortened) {
        if (std::strcmp(f.name, "resizeGrip") == 0)
            f.size -= 1;
    }
    SkinArtwork cut;
    EXPECT_FALSE(LoadSkinArtwork(cut, shortened));
    EXPECT_FALSE(cut.resizeGrip.HasStorage());
    EXPECT_TRUE(cut.leftCapMask.HasStorage());

    // A mask where an image belongs (wrong kind), and the wrong size.
    std::vector<EmbeddedFile> swapped = files;
    const EmbeddedFile* glyph = nullptr;
    for (const EmbeddedFile& f : files) {
        if (std::strcmp(f.name, "closeGlyph") == 0)
            glyph = &f;
    }
    ASSERT_NE(glyph, nullptr);
    for (EmbeddedFile& f : swapped) {
        if (std::strcmp(f.name, "linkButtonDark") == 0) {
            f.data = glyph->data;
            f.size = glyph->size;
        }
        if (std::strcmp(f.name, "zoomGlyph") == 0) {
            f.data = nullptr;
            f.size = 0;
        }
    }
    SkinArtwork wrong;
    EXPECT_FALSE(LoadSkinArtwork(wrong, swapped));
    EXPECT_FALSE(wrong.linkButtonDark.HasStorage());
    EXPECT_FALSE(wrong.zoomGlyph.HasStorage());

    // A blob whose header claims a larger picture than the listed one.
    std::vector<uint8_t> bigger(SkinImageFiles()[0].data,
                                SkinImageFiles()[0].data + SkinImageFiles()[0].size);
    Mask probe;
    ASSERT_TRUE(WrapEmbeddedMask(bigger.data(), bigger.size(), probe));  // closeGlyph, 8 x 8
    bigger[7] = 4;  // height 4: a valid blob, but not the listed 8 x 8
    std::vector<EmbeddedFile> resized = files;
    for (EmbeddedFile& f : resized) {
        if (std::strcmp(f.name, "closeGlyph") == 0) {
            f.data = bigger.data();
            f.size = bigger.size();
        }
    }
    SkinArtwork other;
    EXPECT_FALSE(LoadSkinArtwork(other, resized));
    EXPECT_FALSE(other.closeGlyph.HasStorage());
}

}  // namespace
}  // namespace quil
