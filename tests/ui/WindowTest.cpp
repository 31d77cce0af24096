// Windows on the headless window system: creation, placement and zoom,
// drawing and presenting their views, the mouse routed to controls and
// buttons, and threads updating while the main thread paints.
#include "ui/Window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/headless/HeadlessWindow.h"
#include "platform/headless/HeadlessWindowSystem.h"
#include "tests/gfx/FakeFont.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/Button.h"
#include "ui/ImageCopyView.h"
#include "ui/ImageView.h"
#include "ui/TextView.h"
#include "ui/WorkAreaClamp.h"

namespace quil {
namespace {

using testing::SolidImage;

constexpr uint32_t kFlags = kWindowCustomFrame | kWindowLayered;
constexpr uint32_t kRed = 0xFFFF0000, kBlue = 0xFF0000FF;
constexpr uint32_t kFind = 0x46494E44;  // "FIND"

// Records the commands it receives and, like the main window, refreshes its
// stored window rectangle on every move. With `destroyOnSize` it destroys
// itself on a new size, as an owner's handler may.
class TestWindow : public Window {
  public:
    bool command(uint32_t code, uint32_t argument) override {
        commands.push_back(code + argument);
        return true;
    }
    bool moved(int32_t, int32_t) override {
        RefreshWindowRect();
        return true;
    }
    bool sizeChanged(int32_t width, int32_t height) override {
        return destroyOnSize ? Destroy() == 0 : Window::sizeChanged(width, height);
    }
    HeadlessWindow& headless() { return *static_cast<HeadlessWindow*>(nativeWindow()); }
    uint32_t Stored(int32_t x, int32_t y) const { return *backingStore().At(x, y); }

    std::vector<uint32_t> commands;
    bool destroyOnSize = false;
};

TEST(WindowTest, CreateAndDestroy) {
    HeadlessWindowSystem system;
    TestWindow window;
    ASSERT_EQ(window.Create(system, Rect{100, 50, 300, 116}, kFlags), 0);
    EXPECT_TRUE(window.headless().IsLayered());
    window.Minimize();
    EXPECT_EQ(window.headless().minimizeCount(), 1);
    EXPECT_EQ(window.Destroy(), 0);
    EXPECT_EQ(window.Destroy(), -1);
    window.update();  // no window: nothing to present, nothing breaks
}

TEST(WindowTest, ClampToWorkArea) {
    const Rect area{0, 0, 1000, 700}, offset{1920, 30, 3000, 1080};
    for (const auto& [rect, workArea, want] : {
             std::tuple{Rect{-50, -10, 150, 56}, area, Rect{0, 0, 200, 66}},
             {Rect{900, 680, 1100, 746}, area, Rect{800, 634, 1000, 700}},
             {Rect{-100, 5, 1200, 71}, area, Rect{0, 5, 1000, 71}},
             {Rect{2950, 0, 3150, 66}, offset, Rect{2800, 30, 3000, 96}},
         }) {
        EXPECT_EQ(ClampToWorkArea(rect, workArea), want) << rect.left << "," << rect.top;
    }
}

// A window that had to move into the work area to zoom stays there when
// zoomed back; zooming in place and back the application's tests show.
TEST(WindowTest, ZoomTogglesBack) {
    HeadlessWindowSystem system({Rect{0, 0, 1000, 700}});
    TestWindow window;
    ASSERT_EQ(window.Create(system, Rect{750, 200, 950, 266}, kFlags), 0);
    window.SetZoomSize(320, 66);
    window.ToggleZoom();
    EXPECT_EQ(window.GetWindowRect(), (Rect{680, 200, 1000, 266}));
    EXPECT_EQ(window.backingStore().bounds(), (Rect{0, 0, 320, 66}));
    window.ToggleZoom();
    EXPECT_EQ(window.GetWindowRect(), (Rect{680, 200, 1000, 266}));
    // An owner that destroys the window on the new size ends the zoom there.
    TestWindow closing;
    ASSERT_EQ(closing.Create(system, Rect{750, 200, 950, 266}, kFlags), 0);
    closing.SetZoomSize(320, 66);
    closing.destroyOnSize = true;
    closing.ToggleZoom();
    EXPECT_EQ(closing.nativeWindow(), nullptr);
}

// A 60 × 40 window with a red copy view on the left, a blue one on the
// right and a half-transparent green view over the middle of both.
TEST(WindowTest, OnlyInvalidRectanglesAreRedrawnAndPresented) {
    HeadlessWindowSystem system;
    TestWindow window;
    ASSERT_EQ(window.Create(system, Rect{0, 0, 60, 40}, kFlags), 0);
    Image red = SolidImage(Rect{0, 0, 30, 40}, kRed), blue = SolidImage(Rect{0, 0, 30, 40}, kBlue),
          green = SolidImage(Rect{0, 0, 20, 20}, 0x80008000);
    Window::LockGuard hold(window);
    ImageCopyView left(window.viewList(), &red, red.bounds(), 0, 0);
    auto right = std::make_unique<ImageCopyView>(window.viewList(), &blue, blue.bounds(), 30, 0);
    ImageView middle(window.viewList(), &green, green.bounds(), 20, 10);
    window.update();
    window.headless().ClearPresentations();

    // Swap the images behind the window's back and invalidate two spots:
    // only they take the new pixels.
    left.setImage(&blue);
    right->setImage(&red);
    window.viewList().Invalidate(Rect{2, 2, 6, 6});
    window.viewList().Invalidate(Rect{50, 30, 58, 38});
    window.update();
    for (const auto& [x, y, colour] :
         {std::tuple{3, 3, kBlue}, {6, 6, kRed}, {1, 1, kRed}, {55, 35, kRed}, {49, 35, kBlue}})
        EXPECT_EQ(window.headless().ScreenPixel(x, y), colour) << x << "," << y;
    // Beyond the window's edge: cut.
    window.headless().ClearPresentations();
    window.viewList().Invalidate(Rect{50, -10, 90, 5});
    window.update();
    EXPECT_EQ(window.headless().Presentations(),
              (std::vector<std::vector<Rect>>{{{50, 0, 60, 5}}}));

    // A hidden view reveals what lies below; where no view draws, clear.
    middle.setVisible(false);
    right.reset();
    window.update();
    EXPECT_EQ(window.Stored(25, 15), kBlue);
    EXPECT_EQ(window.Stored(45, 5), 0u);

    // A paint hands over the whole image.
    window.viewList().Invalidate(Rect{0, 0, 4, 4});
    EXPECT_TRUE(window.headless().RequestPaint());
    EXPECT_TRUE(window.headless().paintCount() == 1 && window.headless().paintMisuseCount() == 0);

    // A new size recreates the image, clears it and redraws all of it, the
    // views in list order: green over blue.
    window.headless().ClearPresentations();
    middle.setVisible(true);
    window.headless().SetWindowRect(Rect{0, 0, 80, 50});
    EXPECT_EQ(window.backingStore().bounds(), (Rect{0, 0, 80, 50}));
    for (const auto& [x, y, colour] :
         {std::tuple{5, 45, 0u}, {70, 5, 0u}, {25, 15, 0xFF00807Fu}, {5, 5, kBlue}})
        EXPECT_EQ(window.Stored(x, y), colour) << x << "," << y;
    EXPECT_EQ(window.headless().Presentations(),
              (std::vector<std::vector<Rect>>{{{0, 0, 80, 50}}}));
    // A minimised window reports 0 × 0: no image, nothing presented.
    window.sizeChanged(0, 0);
    EXPECT_EQ(window.headless().Presentations().size(), 1u);
    EXPECT_TRUE(window.headless().RequestPaint() && window.headless().paintCount() == 1);
    window.sizeChanged(60, 40);
    EXPECT_EQ(window.Stored(5, 5), kBlue);
}

// A disc of `colour` filling a size × size square; its corners transparent.
Image DiscImage(int32_t size, uint32_t colour) {
    Image image = SolidImage(Rect{0, 0, size, size}, 0);
    for (int32_t i = 0; i < size * size; ++i) {
        const int32_t dx = 2 * (i % size) + 1 - size, dy = 2 * (i / size) + 1 - size;
        if (dx * dx + dy * dy <= size * size)
            *image.At(i % size, i / size) = colour;
    }
    return image;
}

constexpr uint32_t kNormal = 0xFF202020, kPressed = 0xFF404040, kDisabled = 0xFF606060,
                   kHover = 0xFF808080;

// A 60 × 40 window with round 24-pixel buttons at (10, 8): the centre is
// (22, 20), the top-left pixel (10, 8) is transparent.
class ButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(window.Create(system, Rect{100, 100, 160, 140}, kWindowCustomFrame), 0);
    }

    Button& MakeButton(uint32_t flags, bool withHover = true) {
        Window::LockGuard hold(window);
        buttons.push_back(std::make_unique<Button>(&window, window.viewList(), kFind, &normal,
                                                   &pressed, &disabled,
                                                   withHover ? &hover : nullptr, 10, 8, flags));
        window.AddControl(*buttons.back());
        return *buttons.back();
    }
    uint32_t Shown() { return window.headless().ScreenPixel(22, 20); }

    HeadlessWindowSystem system;
    TestWindow window;
    Image normal = DiscImage(24, kNormal), pressed = DiscImage(24, kPressed),
          disabled = DiscImage(24, kDisabled), hover = DiscImage(24, kHover);
    std::vector<std::unique_ptr<Button>> buttons;
};

// Steps of the mouse and the program, each with the look it leaves and the
// commands fired so far.
TEST_F(ButtonTest, LooksAndCommandsFollowPressesDragsAndLostCaptures) {
    Button& button = MakeButton(0);
    Image stop = DiscImage(24, 0xFFAA0000);
    struct Step {
        const char* name;
        std::function<void()> step;
        uint32_t shown;
        size_t commands;
        bool captured;
    };
    const Step steps[] = {
        {"opened", [] {}, kNormal, 0, false},
        {"hovered", [&] { window.mouseMoved(22, 20); }, kHover, 0, false},
        {"pressed", [&] { EXPECT_TRUE(window.mouseDown(22, 20, 1, 0)); }, kPressed, 0, true},
        // Released over the button: it fires and shows hover again.
        {"released", [&] { EXPECT_TRUE(window.mouseUp(22, 20)); }, kHover, 1, false},
        // Disabled beats hover; enabled again shows hover.
        {"disabled", [&] { button.setEnabled(false); }, kDisabled, 1, false},
        {"enabled", [&] { button.setEnabled(true); }, kHover, 1, false},
        {"left", [&] { window.mouseMoved(50, 2); }, kNormal, 1, false},
        // Dragged off and released: nothing; dragged back: it fires.
        {"pressed again", [&] { window.mouseDown(22, 20, 1, 0); }, kPressed, 1, true},
        {"dragged off", [&] { window.mouseMoved(50, 20); }, kNormal, 1, true},
        {"released off", [&] { window.mouseUp(50, 20); }, kNormal, 1, false},
        {"dragged back",
         [&] {
             window.mouseDown(22, 20, 1, 0), window.mouseMoved(50, 20), window.mouseMoved(23, 21);
         },
         kPressed, 1, true},
        {"released back", [&] { window.mouseUp(23, 21); }, kHover, 2, false},
        // The system takes the pointer away during a press: the release
        // never comes, later moves are no drags, and a later release fires
        // nothing.
        {"capture lost", [&] { window.mouseDown(22, 20, 1, 0), window.headless().LoseCapture(); },
         kHover, 2, false},
        {"moved and released after the loss",
         [&] { window.mouseMoved(50, 20), window.mouseMoved(23, 21), window.mouseUp(23, 21); },
         kHover, 2, false},
        // New images: null keeps the old one.
        {"new images", [&] { button.setImages(&stop, nullptr, nullptr, nullptr); }, kHover, 2,
         false},
        {"left again", [&] { window.mouseMoved(50, 2); }, 0xFFAA0000u, 2, false},
    };
    for (const Step& s : steps) {
        s.step();
        EXPECT_EQ(Shown(), s.shown) << s.name;
        EXPECT_EQ(window.commands.size(), s.commands) << s.name;
        EXPECT_EQ(window.headless().mouseCaptured(), s.captured) << s.name;
    }
    EXPECT_EQ(window.headless().ScreenPixel(10, 8), 0u);  // the corner still transparent

    // A disabled button takes the press, without capture or command.
    button.setEnabled(false);
    EXPECT_TRUE(window.mouseDown(22, 20, 1, 0));
    EXPECT_FALSE(window.headless().mouseCaptured());
    EXPECT_FALSE(window.mouseUp(22, 20));
    EXPECT_EQ(window.commands, std::vector<uint32_t>(2, kFind));

    // Without a hover image hovering changes nothing.
    Button& plain = MakeButton(0, /*withHover=*/false);
    plain.setHover(true);
    window.update();
    EXPECT_EQ(Shown(), kNormal);
}

TEST_F(ButtonTest, HitOnlyOnOpaquePixelsUnlessRectangular) {
    Button& round = MakeButton(0);
    const std::tuple<int, int, bool> hits[] = {{22, 20, true},  {10, 8, false}, {33, 20, true},
                                               {34, 20, false}, {9, 20, false}, {22, 31, true},
                                               {22, 32, false}, {22, 7, false}};
    for (const auto& [x, y, hit] : hits)
        EXPECT_EQ(round.hitTest(x, y), hit) << x << "," << y;
    // A press on the corner is no press: the window leaves it to the system.
    EXPECT_FALSE(window.mouseDown(10, 8, 1, 0));
    EXPECT_TRUE(MakeButton(kButtonRectangular).hitTest(10, 8));
    round.setVisible(false);
    EXPECT_FALSE(round.hitTest(22, 20));
}

// Two threads change text views and update, each under the window lock, while
// the main thread keeps answering paint requests; in the end the screen
// shows exactly the final state.
TEST(WindowThreadsTest, TextChangesFromTwoThreadsWhileTheMainThreadPaints) {
    HeadlessWindowSystem system;
    TestWindow window;
    ASSERT_EQ(window.Create(system, Rect{0, 0, 120, 40}, kFlags), 0);
    testing::FakeFont font;
    Image backdrop = SolidImage(Rect{0, 0, 120, 40}, 0xFF302010);
    std::unique_ptr<View> views[3];
    {
        Window::LockGuard hold(window);
        views[0] =
            std::make_unique<ImageCopyView>(window.viewList(), &backdrop, backdrop.bounds(), 0, 0);
        for (int i = 1; i <= 2; ++i) {
            views[i] = std::make_unique<TextView>(
                window.viewList(), Rect{0, 20 * i - 20, 120, 20 * i}, "", &font, 10, 0, 0, 10, 2,
                20 * i - 5, 0, 0xFFFFFFFF, i == 1 ? 0x104 : 0x004);
        }
        window.update();
    }
    std::atomic<int> running{2};
    auto writer = [&](View* view, const std::string& prefix) {
        for (int i = 0; i < 150; ++i) {
            Window::LockGuard hold(window);
            static_cast<TextView*>(view)->setText(prefix + std::to_string(i) +
                                                  std::string(size_t(i % 30), 'x'));
            window.update();
        }
        --running;
    };
    std::thread first(writer, views[1].get(), "status ");
    std::thread second(writer, views[2].get(), "ticker ");
    while (running.load() > 0)
        window.headless().RequestPaint();
    first.join();
    second.join();

    Image expected = SolidImage(Rect{0, 0, 120, 40}, 0);
    for (auto& view : views)
        view->draw(expected, expected.bounds());
    EXPECT_TRUE(window.headless().Screen() == testing::Pixels(expected));
    EXPECT_EQ(window.headless().paintMisuseCount(), 0);
}

}  // namespace
}  // namespace quil
