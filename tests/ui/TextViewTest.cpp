#include "ui/TextView.h"

#include <gtest/gtest.h>

#include <cmath>

#include "gfx/RenderText.h"
#include "tests/gfx/FakeFont.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ViewList.h"

namespace quil {
namespace {

using testing::FakeFont;
using testing::SolidImage;

const Rect kFrame{4, 2, 60, 20};
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBackground = 0xFF102030;

TextView MakeText(ViewList& list, const Font& font, uint32_t flags, const char* text,
                  const Rect& frame = kFrame) {
    return TextView(list, frame, text, &font, 10, 0, 0, 10, 6, 15, 0, kWhite, flags);
}

bool SameImages(const Image& a, const Image& b) {
    if (a.bounds() != b.bounds())
        return false;
    for (int32_t y = a.bounds().top; y < a.bounds().bottom; ++y)
        for (int32_t x = a.bounds().left; x < a.bounds().right; ++x)
            if (*a.At(x, y) != *b.At(x, y))
                return false;
    return true;
}

TEST(TextViewTest, CachedDrawEqualsDirectRendering) {
    FakeFont font;
    ViewList list;
    // A long text that ends in an ellipsis, so the cut is exercised too.
    const char* text = "Identifying song, please wait";
    TextView cached = MakeText(list, font, 0x104, text);
    TextView direct = MakeText(list, font, 0x004, text);
    const Rect whole{0, 0, 64, 24};
    Image a = SolidImage(whole, kBackground);
    Image b = SolidImage(whole, kBackground);
    cached.draw(a, whole);
    direct.draw(b, whole);
    EXPECT_TRUE(SameImages(a, b));
    EXPECT_NE(*a.At(10, 12), kBackground);  // something was drawn
    EXPECT_EQ(*a.At(2, 12), kBackground);   // nothing outside the frame

    // The cache holds exactly what RenderText puts in a mask.
    Mask reference;
    ASSERT_TRUE(reference.SetBounds(kFrame));
    RenderText(reference, kFrame, text, cached.style(), kFrame);
    for (int32_t y = kFrame.top; y < kFrame.bottom; ++y)
        for (int32_t x = kFrame.left; x < kFrame.right; ++x)
            ASSERT_EQ(*cached.cache().At(x, y), *reference.At(x, y)) << x << "," << y;
}

TEST(TextViewTest, PartialRepaintChangesOnlyTheClip) {
    FakeFont font;
    ViewList list;
    for (uint32_t flags : {0x100u, 0u}) {
        TextView view = MakeText(list, font, flags, "abcdefgh");
        const Rect whole{0, 0, 64, 24};
        Image full = SolidImage(whole, kBackground);
        view.draw(full, whole);
        const Rect clip{13, 5, 29, 17};
        Image part = SolidImage(whole, kBackground);
        view.draw(part, clip);
        for (int32_t y = whole.top; y < whole.bottom; ++y) {
            for (int32_t x = whole.left; x < whole.right; ++x) {
                const uint32_t expected = clip.Contains(x, y) ? *full.At(x, y) : kBackground;
                ASSERT_EQ(*part.At(x, y), expected) << flags << ": " << x << "," << y;
            }
        }
    }
}

TEST(TextViewTest, ChangesRebuildTheCache) {
    FakeFont font;
    ViewList list;
    TextView view = MakeText(list, font, 0x100, "ab");
    EXPECT_EQ(view.cache().bounds(), kFrame);
    // "ab" covers x 6..16 at most; after setText the fourth glyph is there.
    EXPECT_EQ(*view.cache().At(23, 12), 0);
    view.setText("abcd");
    EXPECT_EQ(*view.cache().At(23, 12), 255);

    view.resizeBy(10, 4);
    EXPECT_EQ(view.cache().bounds(), (Rect{4, 2, 70, 24}));
    EXPECT_EQ(*view.cache().At(23, 12), 255);

    // A frame squeezed to nothing draws nothing, not the old text.
    view.resizeBy(-100, 0);
    Image target = SolidImage(Rect{0, 0, 80, 30}, kBackground);
    view.draw(target, target.bounds());
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 80; ++x)
            ASSERT_EQ(*target.At(x, y), kBackground);
    view.resizeBy(100, 0);
    view.draw(target, target.bounds());
    EXPECT_NE(*target.At(23, 12), kBackground);
}

TEST(TextViewTest, HiddenTextDrawsNothingAndMeasureFollowsTheMatrix) {
    FakeFont font;  // every glyph advances 0.5 em
    ViewList list;
    TextView view = MakeText(list, font, 0x100, "abcd");
    EXPECT_FLOAT_EQ(view.MeasureText(), 20.0f);
    TextView slanted(list, kFrame, "abcd", &font, 3, 0, 4, 10, 6, 15, 0, kWhite, 0);
    EXPECT_FLOAT_EQ(slanted.MeasureText(), 10.0f);  // |(3, 4)| * 2 em

    view.setVisible(false);
    Image target = SolidImage(Rect{0, 0, 64, 24}, kBackground);
    view.draw(target, target.bounds());
    EXPECT_EQ(*target.At(10, 12), kBackground);
}

}  // namespace
}  // namespace quil
