#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/gfx/FakeFont.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/ImageCopyView.h"
#include "ui/TextView.h"

namespace quil {
namespace {

using testing::FakeFont;
using testing::SolidImage;
using testing::TestWindow;

// Two threads change text views and update, each under the window lock, while
// the main thread keeps answering paint requests; in the end the screen
// shows exactly the final state.
TEST(WindowThreadsTest, TextChangesFromTwoThreadsWhileTheMainThreadPaints) {
    HeadlessWindowSystem system;
    TestWindow window;
    ASSERT_EQ(window.Create(system, Rect{0, 0, 120, 40}, kWindowCustomFrame | kWindowLayered), 0);
    FakeFont font;
    Image backdrop = SolidImage(Rect{0, 0, 120, 40}, 0xFF302010);
    std::unique_ptr<ImageCopyView> back;
    std::unique_ptr<TextView> line1, line2;
    {
        Window::LockGuard hold(window);
        back =
            std::make_unique<ImageCopyView>(window.viewList(), &backdrop, backdrop.bounds(), 0, 0);
        line1 = std::make_unique<TextView>(window.viewList(), Rect{0, 0, 120, 20}, "", &font, 10, 0,
                                           0, 10, 2, 15, 0, 0xFFFFFFFF, 0x104);
        line2 = std::make_unique<TextView>(window.viewList(), Rect{0, 20, 120, 40}, "", &font, 10,
                                           0, 0, 10, 2, 35, 0, 0xFFFFFFFF, 0x004);
        window.update();
    }

    constexpr int kRounds = 150;
    std::atomic<int> running{2};
    auto writer = [&](TextView& view, const char* prefix) {
        for (int i = 0; i < kRounds; ++i) {
            Window::LockGuard hold(window);
            view.setText(prefix + std::to_string(i) + std::string(size_t(i % 30), 'x'));
            window.update();
        }
        --running;
    };
    std::thread first(writer, std::ref(*line1), "status ");
    std::thread second(writer, std::ref(*line2), "ticker ");
    while (running.load() > 0)
        window.headless().RequestPaint();
    first.join();
    second.join();

    // The screen equals a fresh drawing of the final views.
    Image expected = SolidImage(Rect{0, 0, 120, 40}, 0);
    {
        Window::LockGuard hold(window);
        for (View* view : window.viewList().views())
            view->draw(expected, expected.bounds());
    }
    const std::vector<uint32_t> screen = window.headless().Screen();
    ASSERT_EQ(screen.size(), 120u * 40u);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 120; ++x)
            ASSERT_EQ(screen[size_t(y) * 120 + size_t(x)], *expected.At(x, y)) << x << "," << y;
    EXPECT_EQ(window.headless().paintMisuseCount(), 0);
}

}  // namespace
}  // namespace quil
