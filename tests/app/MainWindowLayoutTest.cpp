// The main window's layout on the headless backend: positions at creation,
// width changes and their exact reversal, the zoom size, the hit areas.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "AppTestSupport.h"

namespace quil {
namespace {

using testing::AppTest;
using HitResult = HeadlessWindow::PressResult;

// Every element's frame, in paint order.
std::vector<Rect> Frames(Application& app) {
    Window::LockGuard hold(app);
    return {app.leftEndView()->frame(),       app.middleView()->frame(),
            app.rightEndView()->frame(),      app.closeButton()->face().frame(),
            app.zoomButton()->face().frame(), app.minimizeButton()->face().frame(),
            app.waveformView()->frame(),      app.findButton()->face().frame(),
            app.linkButton()->face().frame(), app.statusLine(0)->frame(),
            app.statusLine(1)->frame(),       app.statusLine(2)->frame(),
            app.gripView()->frame()};
}

TEST_F(AppTest, LayoutAtTheNarrowestWidth) {
    ASSERT_EQ(StartApp(), 0);
    EXPECT_EQ(window().GetWindowRect(), (Rect{40, 40, 240, 106}));
    EXPECT_EQ(window().title(), "Harkbox");
    EXPECT_EQ(window().flags(), 0x2035Eu);
    const int32_t* limits = window().trackingLimits();
    EXPECT_EQ(limits[0], 200);
    EXPECT_EQ(limits[1], 66);
    EXPECT_EQ(limits[2], 400);
    EXPECT_EQ(limits[3], 66);

    const std::vector<Rect> f = Frames(app());
    EXPECT_EQ(f[0], (Rect{0, 0, 24, 66}));
    EXPECT_EQ(f[1], (Rect{24, 0, 176, 66}));
    EXPECT_EQ(f[2], (Rect{176, 0, 200, 66}));
    EXPECT_EQ(f[3].left, 182);  // close
    EXPECT_EQ(f[4].left, 173);  // zoom
    EXPECT_EQ(f[5].left, 164);  // minimise
    EXPECT_EQ(f[3].top, 8);
    EXPECT_EQ(f[6], (Rect{40, 13, 167, 53}));
    EXPECT_EQ(f[7], (Rect{10, 21, 34, 45}));
    EXPECT_EQ(f[8], (Rect{176, 27, 188, 39}));
    EXPECT_EQ(f[9], (Rect{40, 13, 167, 31}));
    EXPECT_EQ(f[10], (Rect{40, 31, 167, 46}));
    EXPECT_EQ(f[11], (Rect{40, 46, 167, 59}));
    EXPECT_EQ(f[12], (Rect{178, 44, 194, 60}));
    EXPECT_EQ(app().waveformMask().bounds(), (Rect{0, 0, 127, 40}));

    // Controls in the order close, zoom, minimise, find, link.
    const std::vector<Control*>& controls = app().controls();
    ASSERT_EQ(controls.size(), 5u);
    EXPECT_EQ(controls[0], app().closeButton());
    EXPECT_EQ(controls[2], app().minimizeButton());
    EXPECT_EQ(controls[3], app().findButton());
    EXPECT_EQ(controls[4], app().linkButton());
    EXPECT_FALSE(app().linkButton()->isVisible());
}

TEST_F(AppTest, WidthChangesMoveAndStretchAndReverseExactly) {
    ASSERT_EQ(StartApp(), 0);
    const std::vector<Rect> at200 = Frames(app());

    window().ResizeInteractively(300, 66);
    ASSERT_EQ(app().width(), 300);
    const std::vector<Rect> at300 = Frames(app());
    for (size_t i : {0u, 7u})  // left end, find button
        EXPECT_EQ(at300[i], at200[i]) << i;
    for (size_t i : {2u, 3u, 4u, 5u, 8u, 12u})  // moved
        EXPECT_EQ(at300[i], at200[i].Offset(100, 0)) << i;
    for (size_t i : {1u, 6u, 9u, 10u, 11u}) {  // stretched
        Rect expected = at200[i];
        expected.right += 100;
        EXPECT_EQ(at300[i], expected) << i;
    }
    EXPECT_EQ(app().waveformMask().bounds(), (Rect{0, 0, 227, 40}));

    // Minimised: the system reports 0 × 0, then the old size again.
    app().sizeChanged(0, 0);
    app().DrawWaveformPass();  // the ticker keeps running meanwhile
    app().sizeChanged(300, 66);
    EXPECT_EQ(Frames(app()), at300);
    EXPECT_EQ(app().waveformMask().bounds(), (Rect{0, 0, 227, 40}));

    window().ResizeInteractively(200, 66);
    EXPECT_EQ(Frames(app()), at200);
    EXPECT_EQ(app().waveformMask().bounds(), (Rect{0, 0, 127, 40}));

    // The user cannot drag beyond the limits.
    window().ResizeInteractively(500, 80);
    EXPECT_EQ(window().GetWindowRect().Width(), 400);
    EXPECT_EQ(window().GetWindowRect().Height(), 66);
    window().ResizeInteractively(100, 66);
    EXPECT_EQ(window().GetWindowRect().Width(), 200);
}

TEST_F(AppTest, WideningKeepsTheDrawnWaveformOnTheLeft) {
    ASSERT_EQ(StartApp(), 0);
    app().SetWaveformSamples([](int32_t count, float* out, int32_t) {
        for (int32_t k = 0; k < count; ++k)
            out[k] = 0.8f * float(std::sin(k * 0.15));
        return 0;
    });
    Window::LockGuard hold(app());  // keeps the ticker out
    app().DrawWaveformPass();
    const Mask& mask = app().waveformMask();
    std::vector<uint8_t> before;
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t x = 0; x < 127; ++x)
            before.push_back(*mask.At(x, y));
    }
    window().ResizeInteractively(300, 66);
    ASSERT_EQ(mask.bounds(), (Rect{0, 0, 227, 40}));
    std::vector<uint8_t> after;
    int32_t added = 0;
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t x = 0; x < 227; ++x) {
            if (x < 127)
                after.push_back(*mask.At(x, y));
            else
                added += *mask.At(x, y);
        }
    }
    EXPECT_EQ(after, before);
    EXPECT_EQ(added, 0);
}

TEST_F(AppTest, ZoomSizeIsTheWidthTheLongestLineNeeds) {
    ASSERT_EQ(StartApp(), 0);
    Window::LockGuard hold(app());
    // The idle texts are all shorter than the 127-pixel lines.
    EXPECT_EQ(app().zoomWidth(), 200);
    EXPECT_EQ(app().zoomHeight(), 66);

    app().statusLine(1)->setText("A rather long artist name, longer than the line");
    app().FitWidthToStatus();
    const float advance = app().statusLine(1)->MeasureText();
    ASSERT_GT(advance, 126.0f);
    // W + left + advance - right + 1 = advance + 40 + 33 + 1.
    EXPECT_EQ(app().zoomWidth(), int32_t(advance) + 74);

    // The same need at any width: the lines stretch with the window.
    window().ResizeInteractively(350, 66);
    app().FitWidthToStatus();
    EXPECT_EQ(app().zoomWidth(), int32_t(advance) + 74);

    // "Adjust Window" switches to it and back.
    window().ResizeInteractively(200, 66);
    app().RefreshWindowRect();
    app().command(CommandCode("zoom"), 0);
    EXPECT_EQ(window().GetWindowRect().Width(), int32_t(advance) + 74);
    app().command(CommandCode("zoom"), 0);
    EXPECT_EQ(window().GetWindowRect(), (Rect{40, 40, 240, 106}));
}

TEST_F(AppTest, PressesResizeOnTheRightEdgeHitControlsOnlyOnTheirPixels) {
    ASSERT_EQ(StartApp(), 0);
    // Window at (40, 40), 200 × 66.
    EXPECT_EQ(window().Press(40 + 199, 40 + 5), HitResult::kResize);  // right strip
    EXPECT_EQ(window().Press(40 + 192, 40 + 5), HitResult::kResize);
    EXPECT_EQ(window().Press(40 + 180, 40 + 50), HitResult::kResize);   // grip corner
    EXPECT_EQ(window().Press(40 + 177, 40 + 43), HitResult::kCaption);  // above the corner
    EXPECT_EQ(window().Press(40 + 100, 40 + 5), HitResult::kCaption);   // body
    // The find button is round: its image's transparent corner drags.
    EXPECT_EQ(window().Press(40 + 10, 40 + 21), HitResult::kCaption);
    // Its centre is a control even while disabled (the press is taken).
    EXPECT_EQ(window().Press(40 + 22, 40 + 33), HitResult::kClient);
    // The hidden link button is not hit.
    EXPECT_EQ(window().Press(40 + 182, 40 + 33), HitResult::kCaption);
    // The close glyph is.
    bool closeHit = false;
    for (int32_t y = 8; y < 16 && !closeHit; ++y) {
        for (int32_t x = 182; x < 190 && !closeHit; ++x)
            closeHit = window().Press(40 + x, 40 + y) == HitResult::kClient;
    }
    EXPECT_TRUE(closeHit);
    EXPECT_TRUE(app().isCaptionArea(0, 0));
}

TEST_F(AppTest, MovesRefreshTheStoredRectangle) {
    ASSERT_EQ(StartApp(), 0);
    window().SetWindowRect(Rect{300, 200, 500, 266});
    EXPECT_EQ(app().windowRect(), (Rect{300, 200, 500, 266}));
}

}  // namespace
}  // namespace quil
