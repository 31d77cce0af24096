#include "platform/headless/HeadlessWindowSystem.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/headless/HeadlessWindow.h"
#include "tests/ui/UiTestSupport.h"

namespace quil {
namespace {

using testing::TestWindow;

TEST(HeadlessWindowSystemTest, MainLoopRunsPostedTasksUntilQuit) {
    HeadlessWindowSystem system;
    std::vector<int> ran;
    std::thread poster([&] {
        for (int i = 0; i < 5; ++i)
            system.Post([&ran, i] { ran.push_back(i); });
        system.Post([&system] { system.PostQuit(3); });
        system.Post([&ran] { ran.push_back(99); });  // after the quit: not run now
    });
    EXPECT_EQ(system.RunMainLoop(), 3);
    poster.join();
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(system.RunPendingTasks(), 1);
    EXPECT_EQ(ran.back(), 99);

    // A quit from another thread ends a loop that waits for work.
    std::thread quitter([&] { system.PostQuit(0); });
    EXPECT_EQ(system.RunMainLoop(), 0);
    quitter.join();
}

TEST(HeadlessWindowSystemTest, WorkAreaOfTheMonitorWithTheMostOfTheRect) {
    HeadlessWindowSystem system({Rect{0, 0, 1000, 700}, Rect{1000, 0, 2000, 800}});
    EXPECT_EQ(system.WorkAreaFor(Rect{900, 0, 1200, 50}), (Rect{1000, 0, 2000, 800}));
    EXPECT_EQ(system.WorkAreaFor(Rect{800, 0, 1050, 50}), (Rect{0, 0, 1000, 700}));
    EXPECT_EQ(system.WorkAreaFor(Rect{-500, -500, -400, -400}), (Rect{0, 0, 1000, 700}));
    EXPECT_EQ(system.WorkAreaFor(Rect{2100, 900, 2200, 950}), (Rect{1000, 0, 2000, 800}));
}

TEST(HeadlessWindowSystemTest, WindowRecordsWhatTheToolkitAsks) {
    HeadlessWindowSystem system;
    system.SetLayeredAvailable(false);
    TestWindow window;
    ASSERT_EQ(window.Create(system, Rect{10, 20, 110, 86}, kWindowLayered), 0);
    HeadlessWindow& native = window.headless();
    EXPECT_FALSE(native.IsLayered());

    native.SetPopupChoice(testing::FourCC("pref"));
    const std::vector<MenuItem> items{{"Preferences", testing::FourCC("pref"), false},
                                      {"", 0, true}};
    EXPECT_EQ(native.PopupMenu(items, 7, 9), testing::FourCC("pref"));
    EXPECT_EQ(native.lastMenuItems().size(), 2u);
    EXPECT_EQ(native.lastMenuPosition(), (Point{7, 9}));

    // Outside a paint, PaintPixels is a misuse and changes nothing.
    const uint32_t pixels[4] = {1, 2, 3, 4};
    native.PaintPixels(pixels, 8, 2, 2);
    EXPECT_EQ(native.paintMisuseCount(), 1);

    // Interactive resizing keeps to the tracking limits.
    window.SetTrackingLimits(50, 66, 150, 66);
    native.ResizeInteractively(500, 90);
    EXPECT_EQ(native.GetWindowRect(), (Rect{10, 20, 160, 86}));
    EXPECT_EQ(window.backingStore().bounds(), (Rect{0, 0, 150, 66}));
    native.ResizeInteractively(10, 66);
    EXPECT_EQ(native.GetWindowRect(), (Rect{10, 20, 60, 86}));

    // A press is routed by the listener's areas: TestWindow claims none.
    EXPECT_EQ(native.Press(15, 25), HeadlessWindow::PressResult::kNone);
}

TEST(HeadlessWindowSystemTest, PresentCopiesOnlyTheGivenRectangles) {
    HeadlessWindowSystem system;
    TestWindow window;
    ASSERT_EQ(window.Create(system, Rect{0, 0, 4, 3}, 0), 0);
    HeadlessWindow& native = window.headless();
    // Rows of 6 pixels (24 bytes) for a 4 × 3 image.
    std::vector<uint32_t> pixels(18);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint32_t(i + 1);
    native.Present(pixels.data(), 24, 4, 3, {Rect{1, 1, 3, 2}, Rect{3, -5, 9, 1}});
    const std::vector<uint32_t> expected{0, 0, 0, 4, 0, 8, 9, 0, 0, 0, 0, 0};
    EXPECT_EQ(native.Screen(), expected);
}

}  // namespace
}  // namespace quil
