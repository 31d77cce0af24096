// Views: what their changes mark invalid, and how text views draw.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/gfx/FakeFont.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ImageCopyView.h"
#include "ui/ImageView.h"
#include "ui/MaskView.h"
#include "ui/TextView.h"
#include "ui/ViewList.h"

namespace quil {
namespace {

using testing::Covers;
using testing::FakeFont;
using testing::Pixels;
using testing::SolidImage;

constexpr uint32_t kBackground = 0xFF102030;
constexpr uint32_t kCached = 0x100, kEllipsis = 0x4;

// Text of 10 pixels per em (each fake glyph 5 pixels) on the baseline
// y = 15 from x = 6, in the frame (4, 2, 60, 20).
std::unique_ptr<TextView> MakeText(ViewList& list, const Font& font, uint32_t flags,
                                   const char* text, float m2 = 0) {
    return std::make_unique<TextView>(list, Rect{4, 2, 60, 20}, text, &font, 10, 0, m2, 10, 6, 15,
                                      0, 0xFFFFFFFF, flags);
}

// The view drawn over the background from `clip`.
Image Drawn(View& view, const Rect& clip, const Rect& bounds = Rect{0, 0, 64, 24}) {
    Image image = SolidImage(bounds, kBackground);
    view.draw(image, clip);
    return image;
}

TEST(ViewTest, ChangesInvalidateWhatTheyTouch) {
    FakeFont font;
    ViewList list;
    Image image = SolidImage(Rect{0, 0, 8, 8}, 0xFF000000);
    auto first = std::make_unique<ImageView>(list, &image, image.bounds(), 10, 10);
    auto second = std::make_unique<ImageCopyView>(list, &image, image.bounds(), 30, 10);
    ASSERT_EQ(list.views(), (std::vector<View*>{first.get(), second.get()}));
    EXPECT_TRUE(Covers(list.invalid(), {{10, 10, 18, 18}, {30, 10, 38, 18}}));
    Mask mask;
    ASSERT_TRUE(mask.SetBounds(Rect{0, 0, 127, 40}));
    MaskView wave(list, Rect{40, 13, 167, 53}, &mask, Rect{0, 0, 16000, 40}, Point{0, 0},
                  Point{40, 13}, 0xFFFFFFFF, 63);
    auto text = MakeText(list, font, 0, "Harkbox ready");
    auto cached = MakeText(list, font, kCached | kEllipsis, "Harkbox ready");
    auto plain = MakeText(list, font, kCached, "Harkbox ready");
    const Rect frame{4, 2, 60, 20};
    const std::vector<std::pair<std::function<void()>, std::vector<Rect>>> changes = {
        // A move repaints both frames; a resize what changed.
        {[&] { second->moveBy(100, 0); }, {{30, 10, 38, 18}, {130, 10, 138, 18}}},
        {[&] { wave.resizeBy(100, 0); }, {{167, 13, 267, 53}}},
        {[&] { wave.moveBy(0, 7); }, {{40, 13, 267, 60}}},
        // Hidden views repaint nothing when they go, visible ones their frame.
        {[&] { first->setVisible(false); }, {{10, 10, 18, 18}}},
        {[&] { second.reset(); }, {{130, 10, 138, 18}}},
        // New text repaints the frame.
        {[&] { text->setText("wait"); }, {frame}},
        // Widening repaints the new strip, or with an ellipsis, whose old
        // line end may lie anywhere, the whole frame.
        {[&] { cached->resizeBy(10, 0); }, {{4, 2, 70, 20}}},
        {[&] { plain->resizeBy(10, 0); }, {{60, 2, 70, 20}}},
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        list.invalid().Clear();
        changes[i].first();
        EXPECT_TRUE(Covers(list.invalid(), changes[i].second)) << "change " << i;
    }

    // A list that ends first cuts its views loose; they can still change.
    auto early = std::make_unique<ViewList>();
    ImageView orphan(*early, &image, image.bounds(), 0, 0);
    early.reset();
    orphan.moveBy(5, 5);
    orphan.invalidate();
    EXPECT_EQ(orphan.frame(), (Rect{5, 5, 13, 13}));
}

TEST(ViewTest, TextDrawsAlikeCachedDirectAndInPieces) {
    FakeFont font;
    ViewList list;
    // A long text that ends in an ellipsis, so the cut is drawn too.
    const char* text = "Identifying song, please wait";
    auto cached = MakeText(list, font, kCached | kEllipsis, text);
    auto direct = MakeText(list, font, kEllipsis, text);
    const Rect whole{0, 0, 64, 24}, clip{13, 5, 29, 17};
    const Image full = Drawn(*cached, whole);
    EXPECT_EQ(Pixels(Drawn(*direct, whole)), Pixels(full));
    EXPECT_NE(*full.At(10, 12), kBackground);  // something was drawn
    EXPECT_EQ(*full.At(2, 12), kBackground);   // nothing outside the frame
    // A partial repaint changes only its clip, cached or not.
    for (View* view : {static_cast<View*>(cached.get()), static_cast<View*>(direct.get())}) {
        const std::vector<uint32_t> part = Pixels(Drawn(*view, clip)), all = Pixels(full);
        for (size_t i = 0; i < part.size(); ++i) {
            ASSERT_EQ(part[i],
                      clip.Contains(int32_t(i % 64), int32_t(i / 64)) ? all[i] : kBackground)
                << i % 64 << "," << i / 64;
        }
    }
    // Hidden text draws nothing.
    cached->setVisible(false);
    EXPECT_EQ(Pixels(Drawn(*cached, whole)), Pixels(SolidImage(whole, kBackground)));
}

TEST(ViewTest, TextChangesRebuildTheCache) {
    FakeFont font;
    ViewList list;
    // "ab" covers x 6..16 at most; after setText the fourth glyph is there;
    // a frame squeezed to nothing draws nothing, not the old text.
    auto view = MakeText(list, font, kCached, "ab");
    const Rect all{0, 0, 80, 30};
    EXPECT_EQ(*Drawn(*view, all, all).At(23, 12), kBackground);
    view->setText("abcd");
    EXPECT_EQ(*Drawn(*view, all, all).At(23, 12), 0xFFFFFFFF);
    view->resizeBy(-100, 0);
    EXPECT_EQ(Pixels(Drawn(*view, all, all)), Pixels(SolidImage(all, kBackground)));

    // Measuring follows the baseline direction: |(10, m2)| per em, 2 em here.
    EXPECT_FLOAT_EQ(view->MeasureText(), 20.0f);
    EXPECT_FLOAT_EQ(MakeText(list, font, 0, "abcd", 24)->MeasureText(), 52.0f);
}

}  // namespace
}  // namespace quil
