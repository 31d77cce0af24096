#include <gtest/gtest.h>

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

using testing::FakeFont;
using testing::RegionOf;
using testing::SamePixels;
using testing::SolidImage;

const Rect kFrame{40, 13, 167, 31};

std::unique_ptr<TextView> MakeText(ViewList& list, const Font& font, uint32_t flags,
                                   const char* text = "Harkbox ready") {
    return std::make_unique<TextView>(list, kFrame, text, &font, 14, 0, 0, 14, 40, 28, 0,
                                      0xFFFFFFFF, flags);
}

TEST(ViewInvalidationTest, ConstructionAppendsAndInvalidates) {
    ViewList list;
    Image image = SolidImage(Rect{0, 0, 8, 8}, 0xFF000000);
    ImageView first(list, &image, image.bounds(), 10, 10);
    ImageCopyView second(list, &image, image.bounds(), 30, 10);
    ASSERT_EQ(list.views().size(), 2u);
    EXPECT_EQ(list.views()[0], &first);
    EXPECT_EQ(list.views()[1], &second);
    EXPECT_TRUE(SamePixels(list.invalid(), RegionOf({{10, 10, 18, 18}, {30, 10, 38, 18}})));
    EXPECT_EQ(second.destinationAnchor(), (Point{30, 10}));
    EXPECT_EQ(second.sourceAnchor(), (Point{0, 0}));
}

TEST(ViewInvalidationTest, SameTextInvalidatesNothing) {
    FakeFont font;
    ViewList list;
    for (uint32_t flags : {0u, 0x104u}) {
        auto view = MakeText(list, font, flags);
        list.invalid().Clear();
        view->setText("Harkbox ready");
        EXPECT_TRUE(list.invalid().IsEmpty()) << flags;
        view->setText("Please wait");
        EXPECT_TRUE(SamePixels(list.invalid(), Region(kFrame))) << flags;
        EXPECT_EQ(view->text(), "Please wait");
    }
}

TEST(ViewInvalidationTest, WideningATextView) {
    FakeFont font;
    ViewList list;
    const Rect wider{40, 13, 177, 31};

    auto ellipsis = MakeText(list, font, 0x104);
    list.invalid().Clear();
    ellipsis->resizeBy(10, 0);
    EXPECT_EQ(ellipsis->frame(), wider);
    EXPECT_TRUE(SamePixels(list.invalid(), Region(wider)));
    EXPECT_EQ(ellipsis->cache().bounds(), wider);

    auto plain = MakeText(list, font, 0x100);
    list.invalid().Clear();
    plain->resizeBy(10, 0);
    EXPECT_TRUE(SamePixels(list.invalid(), Region(Rect{167, 13, 177, 31})));

    // Narrowing with an ellipsis also repaints the strip the frame gave up,
    // where the old line's end was drawn.
    list.invalid().Clear();
    ellipsis->resizeBy(-20, 0);
    EXPECT_TRUE(SamePixels(list.invalid(), Region(wider)));
}

TEST(ViewInvalidationTest, ImageViewsMoveAndResize) {
    ViewList list;
    Image image = SolidImage(Rect{0, 0, 24, 66}, 0xFF112233);
    ImageCopyView end(list, &image, image.bounds(), 176, 0);
    list.invalid().Clear();
    end.moveBy(100, 0);
    EXPECT_EQ(end.frame(), (Rect{276, 0, 300, 66}));
    EXPECT_EQ(end.destinationAnchor(), (Point{276, 0}));
    EXPECT_TRUE(SamePixels(list.invalid(), RegionOf({{176, 0, 200, 66}, {276, 0, 300, 66}})));

    // Overlapping frames: the union.
    list.invalid().Clear();
    end.moveBy(-10, 0);
    EXPECT_TRUE(SamePixels(list.invalid(), Region(Rect{266, 0, 300, 66})));

    Mask mask;
    ASSERT_TRUE(mask.SetBounds(Rect{0, 0, 127, 40}));
    MaskView wave(list, Rect{40, 13, 167, 53}, &mask, Rect{0, 0, 16000, 40}, Point{0, 0},
                  Point{40, 13}, 0xFFFFFFFF, 63);
    list.invalid().Clear();
    wave.resizeBy(100, 0);
    EXPECT_EQ(wave.frame(), (Rect{40, 13, 267, 53}));
    EXPECT_TRUE(SamePixels(list.invalid(), Region(Rect{167, 13, 267, 53})));
    list.invalid().Clear();
    wave.resizeBy(-100, 0);
    EXPECT_TRUE(SamePixels(list.invalid(), Region(Rect{167, 13, 267, 53})));
}

TEST(ViewInvalidationTest, DestroyedViewsLeaveTheListAndRepaintTheirPlace) {
    ViewList list;
    Image image = SolidImage(Rect{0, 0, 8, 8}, 0xFF000000);
    auto shown = std::make_unique<ImageView>(list, &image, image.bounds(), 0, 0);
    auto hidden = std::make_unique<ImageView>(list, &image, image.bounds(), 20, 0);
    hidden->setVisible(false);
    list.invalid().Clear();
    hidden.reset();
    EXPECT_TRUE(list.invalid().IsEmpty());
    shown.reset();
    EXPECT_TRUE(SamePixels(list.invalid(), Region(Rect{0, 0, 8, 8})));
    EXPECT_TRUE(list.views().empty());

    // A list that ends first cuts its views loose; they can still change.
    auto early = std::make_unique<ViewList>();
    ImageView orphan(*early, &image, image.bounds(), 0, 0);
    early.reset();
    orphan.moveBy(5, 5);
    orphan.invalidate();
    EXPECT_EQ(orphan.frame(), (Rect{5, 5, 13, 13}));
}

TEST(ViewInvalidationTest, ExtremeFramesSaturate) {
    ViewList list;
    Image image = SolidImage(Rect{0, 0, 8, 8}, 0xFF000000);
    ImageView view(list, Rect{INT32_MAX - 4, 0, INT32_MAX, 8}, &image, image.bounds(), Point{0, 0},
                   Point{INT32_MAX - 4, 0});
    view.moveBy(100, 0);
    view.resizeBy(INT32_MAX, 0);
    EXPECT_EQ(view.frame().right, INT32_MAX);
}

}  // namespace
}  // namespace quil
