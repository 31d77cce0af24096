#include "ui/Window.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/ui/UiTestSupport.h"
#include "ui/ImageCopyView.h"
#include "ui/ImageView.h"
#include "ui/WorkAreaClamp.h"

namespace quil {
namespace {

using testing::RectanglesOf;
using testing::RegionOf;
using testing::SolidImage;
using testing::TestWindow;

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kBlue = 0xFF0000FF;
constexpr uint32_t kHalfGreen = 0x80008000;  // premultiplied
constexpr uint32_t kFlags = kWindowCustomFrame | kWindowLayered;

uint32_t StorePixel(const Window& window, int32_t x, int32_t y) {
    return *window.backingStore().At(x, y);
}

TEST(WindowTest, CreateAndDestroy) {
    HeadlessWindowSystem system;
    TestWindow window;
    EXPECT_EQ(window.Destroy(), -1);
    window.SetTrackingLimits(200, 66, 400, 66);
    ASSERT_EQ(window.Create(system, Rect{100, 50, 300, 116}, kFlags), 0);
    EXPECT_EQ(window.Create(system, Rect{0, 0, 10, 10}, kFlags), -1);
    EXPECT_EQ(system.windowsCreated(), 1);
    EXPECT_EQ(window.zoomWidth(), 200);
    EXPECT_EQ(window.zoomHeight(), 66);
    EXPECT_EQ(window.windowRect(), (Rect{100, 50, 300, 116}));
    EXPECT_EQ(window.creationFlags(), kFlags);
    EXPECT_TRUE(window.headless().IsLayered());
    EXPECT_EQ(window.headless().trackingLimits()[2], 400);
    // Opening sized the image and presented all of it.
    EXPECT_EQ(window.backingStore().bounds(), (Rect{0, 0, 200, 66}));
    ASSERT_EQ(window.headless().Presentations().size(), 1u);
    EXPECT_EQ(window.headless().Presentations()[0], (std::vector<Rect>{{0, 0, 200, 66}}));

    window.SetTitle("Harkbox");
    window.Show(true);
    window.Minimize();
    EXPECT_EQ(window.headless().title(), "Harkbox");
    EXPECT_TRUE(window.headless().visible());
    EXPECT_EQ(window.headless().minimizeCount(), 1);

    EXPECT_EQ(window.Destroy(), 0);
    EXPECT_EQ(window.nativeWindow(), nullptr);
    EXPECT_EQ(window.Destroy(), -1);
    window.update();  // no window: nothing to present, nothing breaks

    system.FailNextCreate(1400);
    TestWindow failing;
    EXPECT_EQ(failing.Create(system, Rect{0, 0, 10, 10}, kFlags), 1400);
    EXPECT_EQ(failing.nativeWindow(), nullptr);
    EXPECT_EQ(failing.Create(system, Rect{0, 0, 10, 10}, kFlags), 0);
}

TEST(WindowTest, CommandMapping) {
    WindowEvents events;
    events.SetCommandMapping(1001, testing::FourCC("OKAY"));
    EXPECT_EQ(events.MappedCommand(1001), testing::FourCC("OKAY"));
    EXPECT_EQ(events.MappedCommand(7), 0u);
    Rect client;
    EXPECT_FALSE(events.adjustClientRect(client, Rect{1, 2, 3, 4}));
    EXPECT_EQ(client, (Rect{1, 2, 3, 4}));
}

// A 60 × 40 window with a red copy view on the left, a blue one on the
// right and a half-transparent green view over the middle of both.
class FlushTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(window.Create(system, Rect{0, 0, 60, 40}, kFlags), 0);
        Window::LockGuard hold(window);
        left = std::make_unique<ImageCopyView>(window.viewList(), &red, red.bounds(), 0, 0);
        right = std::make_unique<ImageCopyView>(window.viewList(), &blue, blue.bounds(), 30, 0);
        middle = std::make_unique<ImageView>(window.viewList(), &green, green.bounds(), 20, 10);
        window.update();
        window.headless().ClearPresentations();
    }

    HeadlessWindowSystem system;
    TestWindow window;
    Image red = SolidImage(Rect{0, 0, 30, 40}, kRed);
    Image blue = SolidImage(Rect{0, 0, 30, 40}, kBlue);
    Image green = SolidImage(Rect{0, 0, 20, 20}, kHalfGreen);
    std::unique_ptr<ImageCopyView> left, right;
    std::unique_ptr<ImageView> middle;
};

TEST_F(FlushTest, ViewsDrawInListOrder) {
    EXPECT_EQ(StorePixel(window, 5, 5), kRed);
    EXPECT_EQ(StorePixel(window, 55, 5), kBlue);
    // Green composed over red and over blue: the later view lies on top.
    EXPECT_EQ(StorePixel(window, 25, 15), 0xFF7F8000u);
    EXPECT_EQ(StorePixel(window, 35, 15), 0xFF00807Fu);
    EXPECT_EQ(window.headless().ScreenPixel(35, 15), 0xFF00807Fu);
}

TEST_F(FlushTest, OnlyInvalidRectanglesAreRedrawnAndPresented) {
    Window::LockGuard hold(window);
    // Swap the images behind the window's back, then invalidate two spots:
    // only they take the new pixels.
    left->setImage(&blue);
    right->setImage(&red);
    window.viewList().Invalidate(Rect{2, 2, 6, 6});
    window.viewList().Invalidate(Rect{50, 30, 58, 38});
    const std::vector<Rect> expected = RectanglesOf(window.viewList().invalid());
    window.update();
    EXPECT_EQ(StorePixel(window, 3, 3), kBlue);
    EXPECT_EQ(StorePixel(window, 6, 6), kRed);
    EXPECT_EQ(StorePixel(window, 1, 1), kRed);
    EXPECT_EQ(StorePixel(window, 55, 35), kRed);
    EXPECT_EQ(StorePixel(window, 49, 35), kBlue);
    ASSERT_EQ(window.headless().Presentations().size(), 1u);
    EXPECT_EQ(window.headless().Presentations()[0], expected);
    EXPECT_EQ(window.headless().ScreenPixel(3, 3), kBlue);
    EXPECT_EQ(window.headless().ScreenPixel(1, 1), kRed);
    EXPECT_TRUE(window.viewList().invalid().IsEmpty());
    EXPECT_TRUE(window.presentRegion().IsEmpty());

    // Nothing invalid: nothing presented.
    window.update();
    EXPECT_EQ(window.headless().Presentations().size(), 1u);

    // A region beyond the window's edge is cut to the image.
    window.viewList().Invalidate(Rect{50, -10, 90, 5});
    window.update();
    EXPECT_EQ(window.headless().Presentations().back(), (std::vector<Rect>{{50, 0, 60, 5}}));
}

TEST_F(FlushTest, HiddenViewRevealsWhatLiesBelow) {
    Window::LockGuard hold(window);
    middle->setVisible(false);
    window.update();
    EXPECT_EQ(StorePixel(window, 25, 15), kRed);
    // Cleared where no view draws.
    right.reset();
    window.update();
    EXPECT_EQ(StorePixel(window, 45, 5), 0u);
}

TEST_F(FlushTest, NewSizeRecreatesClearsAndRedrawsEverything) {
    window.headless().SetWindowRect(Rect{0, 0, 80, 50});
    EXPECT_EQ(window.backingStore().bounds(), (Rect{0, 0, 80, 50}));
    EXPECT_EQ(StorePixel(window, 5, 45), 0u);  // below the views: cleared
    EXPECT_EQ(StorePixel(window, 70, 5), 0u);
    EXPECT_EQ(StorePixel(window, 5, 5), kRed);
    EXPECT_EQ(StorePixel(window, 35, 15), 0xFF00807Fu);
    ASSERT_EQ(window.headless().Presentations().size(), 1u);
    EXPECT_EQ(window.headless().Presentations()[0], (std::vector<Rect>{{0, 0, 80, 50}}));
    EXPECT_EQ(window.headless().screenWidth(), 80);

    // A minimised window reports 0 × 0: no image, nothing presented.
    window.sizeChanged(0, 0);
    EXPECT_FALSE(window.backingStore().HasStorage());
    EXPECT_EQ(window.headless().Presentations().size(), 1u);
    EXPECT_TRUE(window.headless().RequestPaint());
    EXPECT_EQ(window.headless().paintCount(), 0);
    window.sizeChanged(60, 40);
    EXPECT_EQ(StorePixel(window, 55, 5), kBlue);
}

TEST_F(FlushTest, PaintHandsOverTheWholeImage) {
    Window::LockGuard hold(window);
    window.viewList().Invalidate(Rect{0, 0, 4, 4});
    // Present region not yet empty when the system asks for a paint.
    EXPECT_TRUE(window.headless().RequestPaint());
    EXPECT_EQ(window.headless().paintCount(), 1);
    EXPECT_EQ(window.headless().paintMisuseCount(), 0);
    EXPECT_TRUE(window.presentRegion().IsEmpty());
    EXPECT_EQ(window.headless().Screen().size(), 60u * 40u);
    EXPECT_EQ(window.headless().ScreenPixel(55, 35), kBlue);
}

TEST(WorkAreaClampTest, Cases) {
    const Rect area{0, 0, 1000, 700};
    EXPECT_EQ(ClampToWorkArea(Rect{10, 10, 210, 76}, area), (Rect{10, 10, 210, 76}));
    EXPECT_EQ(ClampToWorkArea(Rect{-50, -10, 150, 56}, area), (Rect{0, 0, 200, 66}));
    EXPECT_EQ(ClampToWorkArea(Rect{900, 680, 1100, 746}, area), (Rect{800, 634, 1000, 700}));
    EXPECT_EQ(ClampToWorkArea(Rect{-100, 5, 1200, 71}, area), (Rect{0, 5, 1000, 71}));
    EXPECT_EQ(ClampToWorkArea(Rect{300, 100, 500, 900}, area), (Rect{300, 0, 500, 700}));
    const Rect offset{1920, 30, 3000, 1080};
    EXPECT_EQ(ClampToWorkArea(Rect{2950, 0, 3150, 66}, offset), (Rect{2800, 30, 3000, 96}));
    EXPECT_EQ(ClampToWorkArea(Rect{INT32_MIN, 0, INT32_MIN + 10, 5}, area), (Rect{0, 0, 10, 5}));
}

TEST(WindowCreationTest, ClampedIntoTheNearestMonitor) {
    HeadlessWindowSystem system({Rect{0, 0, 1000, 700}, Rect{1000, 0, 2000, 800}});
    TestWindow partly;
    // Mostly on the second monitor, hanging off its right edge.
    ASSERT_EQ(partly.Create(system, Rect{1900, 100, 2100, 166}, kFlags | kWindowClampToWorkArea),
              0);
    EXPECT_EQ(partly.GetWindowRect(), (Rect{1800, 100, 2000, 166}));
    EXPECT_EQ(partly.windowRect(), (Rect{1800, 100, 2000, 166}));

    TestWindow wide;
    ASSERT_EQ(wide.Create(system, Rect{-100, 10, 1100, 76}, kFlags | kWindowClampToWorkArea), 0);
    EXPECT_EQ(wide.GetWindowRect(), (Rect{0, 10, 1000, 76}));
    EXPECT_EQ(wide.zoomWidth(), 1000);
    EXPECT_EQ(wide.backingStore().bounds(), (Rect{0, 0, 1000, 66}));

    // Off every monitor: the nearest one takes it.
    TestWindow lost;
    ASSERT_EQ(lost.Create(system, Rect{2500, 900, 2700, 966}, kFlags | kWindowClampToWorkArea), 0);
    EXPECT_EQ(lost.GetWindowRect(), (Rect{1800, 734, 2000, 800}));

    TestWindow unclamped;
    ASSERT_EQ(unclamped.Create(system, Rect{-50, 0, 150, 66}, kFlags), 0);
    EXPECT_EQ(unclamped.GetWindowRect(), (Rect{-50, 0, 150, 66}));
}

TEST(ZoomTest, TwoTogglesReturnWhenTheFirstDidNotMove) {
    HeadlessWindowSystem system({Rect{0, 0, 1000, 700}});
    TestWindow window;
    ASSERT_EQ(window.Create(system, Rect{100, 200, 300, 266}, kFlags), 0);
    window.SetZoomSize(320, 66);
    window.ToggleZoom();
    EXPECT_EQ(window.GetWindowRect(), (Rect{100, 200, 420, 266}));
    EXPECT_EQ(window.backingStore().bounds(), (Rect{0, 0, 320, 66}));
    EXPECT_EQ(window.moves, 0);
    window.ToggleZoom();
    EXPECT_EQ(window.GetWindowRect(), (Rect{100, 200, 300, 266}));
    EXPECT_EQ(window.backingStore().bounds(), (Rect{0, 0, 200, 66}));
    // And again: the toggle works both ways indefinitely.
    window.ToggleZoom();
    EXPECT_EQ(window.GetWindowRect(), (Rect{100, 200, 420, 266}));
}

TEST(ZoomTest, SecondToggleStaysWhenTheFirstHadToMove) {
    HeadlessWindowSystem system({Rect{0, 0, 1000, 700}});
    TestWindow window;
    ASSERT_EQ(window.Create(system, Rect{750, 200, 950, 266}, kFlags), 0);
    window.SetZoomSize(320, 66);
    window.ToggleZoom();
    EXPECT_EQ(window.GetWindowRect(), (Rect{680, 200, 1000, 266}));
    EXPECT_EQ(window.moves, 1);
    EXPECT_EQ(window.windowRect(), (Rect{680, 200, 1000, 266}));
    window.ToggleZoom();
    EXPECT_EQ(window.GetWindowRect(), (Rect{680, 200, 1000, 266}));
}

TEST(ZoomTest, WindowsThatDoNotRecordMovesReturnToTheSavedRect) {
    HeadlessWindowSystem system({Rect{0, 0, 1000, 700}});
    Window window;
    ASSERT_EQ(window.Create(system, Rect{750, 200, 950, 266}, kFlags), 0);
    window.SetZoomSize(320, 66);
    window.ToggleZoom();
    EXPECT_EQ(window.GetWindowRect(), (Rect{680, 200, 1000, 266}));
    EXPECT_EQ(window.windowRect(), (Rect{750, 200, 950, 266}));
    window.ToggleZoom();
    EXPECT_EQ(window.GetWindowRect(), (Rect{750, 200, 950, 266}));
}

}  // namespace
}  // namespace quil
