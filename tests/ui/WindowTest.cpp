// Windows on the headless window system: creation, placement and zoom,
// drawing and presenting their views, the mouse routed to controls and
// buttons, and threads updating while the main thread paints.
#include "ui/Window.h"

#include <gtest/gtest.h>

#include <atomic>
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

using testing::RectanglesOf;
using testing::SolidImage;

constexpr uint32_t kFlags = kWindowCustomFrame | kWindowLayered;
constexpr uint32_t kRed = 0xFFFF0000, kBlue = 0xFF0000FF, kHalfGreen = 0x80008000;
constexpr uint32_t kFind = 0x46494E44;  // "FIND"

// Records the commands it receives and, like the main window, refreshes its
// stored window rectangle on every move.
class TestWindow : public Window {
  public:
    bool command(uint32_t code, uint32_t argument) override {
        commands.push_back(code);
        EXPECT_EQ(argument, 0u);
        return true;
    }
    bool moved(int32_t, int32_t) override {
        RefreshWindowRect();
        ++moves;
        return true;
    }
    HeadlessWindow& headless() { return *static_cast<HeadlessWindow*>(nativeWindow()); }
    uint32_t Stored(int32_t x, int32_t y) const { return *backingStore().At(x, y); }

    std::vector<uint32_t> commands;
    int moves = 0;
};

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
    EXPECT_TRUE(window.headless().IsLayered());
    EXPECT_EQ(window.headless().trackingLimits()[2], 400);
    // Opening sized the image and presented all of it.
    EXPECT_EQ(window.backingStore().bounds(), (Rect{0, 0, 200, 66}));
    EXPECT_EQ(window.headless().Presentations(),
              (std::vector<std::vector<Rect>>{{{0, 0, 200, 66}}}));
    // Interactive resizing keeps to the tracking limits.
    window.headless().ResizeInteractively(500, 90);
    EXPECT_EQ(window.backingStore().bounds(), (Rect{0, 0, 400, 66}));
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

    WindowEvents events;
    events.SetCommandMapping(1001, kFind);
    EXPECT_EQ(events.MappedCommand(1001), kFind);
    EXPECT_EQ(events.MappedCommand(7), 0u);
}

TEST(WindowTest, PlacementInTheWorkArea) {
    const Rect area{0, 0, 1000, 700}, offset{1920, 30, 3000, 1080};
    for (const auto& [rect, workArea, want] : {
             std::tuple{Rect{10, 10, 210, 76}, area, Rect{10, 10, 210, 76}},
             {Rect{-50, -10, 150, 56}, area, Rect{0, 0, 200, 66}},
             {Rect{900, 680, 1100, 746}, area, Rect{800, 634, 1000, 700}},
             {Rect{-100, 5, 1200, 71}, area, Rect{0, 5, 1000, 71}},
             {Rect{300, 100, 500, 900}, area, Rect{300, 0, 500, 700}},
             {Rect{2950, 0, 3150, 66}, offset, Rect{2800, 30, 3000, 96}},
             {Rect{INT32_MIN, 0, INT32_MIN + 10, 5}, area, Rect{0, 0, 10, 5}},
         }) {
        EXPECT_EQ(ClampToWorkArea(rect, workArea), want) << rect.left << "," << rect.top;
    }

    // Created into the monitor with most of the window, else the nearest.
    HeadlessWindowSystem system({area, Rect{1000, 0, 2000, 800}});
    for (const auto& [rect, flags, want] : {
             std::tuple<Rect, uint32_t, Rect>{Rect{1900, 100, 2100, 166}, kWindowClampToWorkArea,
                                              Rect{1800, 100, 2000, 166}},
             {Rect{-100, 10, 1100, 76}, kWindowClampToWorkArea, Rect{0, 10, 1000, 76}},
             {Rect{2500, 900, 2700, 966}, kWindowClampToWorkArea, Rect{1800, 734, 2000, 800}},
             {Rect{-50, 0, 150, 66}, 0u, Rect{-50, 0, 150, 66}},
         }) {
        TestWindow window;
        ASSERT_EQ(window.Create(system, rect, kFlags | flags), 0);
        EXPECT_EQ(window.GetWindowRect(), want);
        EXPECT_EQ(window.windowRect(), want);
        EXPECT_EQ(window.backingStore().bounds(), (Rect{0, 0, want.right - want.left, 66}));
    }
}

// Zoom toggles between the zoom size and the rectangle before; a window
// that had to move to zoom stays there, unless it does not record moves.
TEST(WindowTest, ZoomTogglesBack) {
    HeadlessWindowSystem system({Rect{0, 0, 1000, 700}});
    for (const auto& [left, recordsMoves, zoomed, back, moves] : {
             std::tuple{100, true, Rect{100, 200, 420, 266}, Rect{100, 200, 300, 266}, 0},
             {750, true, Rect{680, 200, 1000, 266}, Rect{680, 200, 1000, 266}, 1},
             {750, false, Rect{680, 200, 1000, 266}, Rect{750, 200, 950, 266}, 0},
         }) {
        TestWindow recording;
        Window plain;
        Window& window = recordsMoves ? recording : plain;
        ASSERT_EQ(window.Create(system, Rect{left, 200, left + 200, 266}, kFlags), 0);
        window.SetZoomSize(320, 66);
        window.ToggleZoom();
        EXPECT_EQ(window.GetWindowRect(), zoomed) << left;
        EXPECT_EQ(window.backingStore().bounds(), (Rect{0, 0, 320, 66}));
        EXPECT_EQ(recording.moves, moves) << left;
        window.ToggleZoom();
        EXPECT_EQ(window.GetWindowRect(), back) << left;
        window.ToggleZoom();
        EXPECT_EQ(window.GetWindowRect(), zoomed) << left;
    }
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

TEST_F(FlushTest, OnlyInvalidRectanglesAreRedrawnAndPresented) {
    // Views draw in list order: green over red, and over blue.
    EXPECT_EQ(window.Stored(5, 5), kRed);
    EXPECT_EQ(window.Stored(25, 15), 0xFF7F8000u);
    EXPECT_EQ(window.Stored(35, 15), 0xFF00807Fu);
    EXPECT_EQ(window.headless().ScreenPixel(35, 15), 0xFF00807Fu);

    Window::LockGuard hold(window);
    // Swap the images behind the window's back and invalidate two spots:
    // only they take the new pixels.
    left->setImage(&blue);
    right->setImage(&red);
    window.viewList().Invalidate(Rect{2, 2, 6, 6});
    window.viewList().Invalidate(Rect{50, 30, 58, 38});
    const std::vector<Rect> expected = RectanglesOf(window.viewList().invalid());
    window.update();
    for (const auto& [x, y, colour] :
         {std::tuple{3, 3, kBlue}, {6, 6, kRed}, {1, 1, kRed}, {55, 35, kRed}, {49, 35, kBlue}}) {
        EXPECT_EQ(window.Stored(x, y), colour) << x << "," << y;
        EXPECT_EQ(window.headless().ScreenPixel(x, y), colour) << x << "," << y;
    }
    EXPECT_EQ(window.headless().Presentations(), (std::vector<std::vector<Rect>>{expected}));
    EXPECT_TRUE(window.viewList().invalid().IsEmpty());
    EXPECT_TRUE(window.presentRegion().IsEmpty());
    // Nothing invalid: nothing presented. Beyond the window's edge: cut.
    window.update();
    EXPECT_EQ(window.headless().Presentations().size(), 1u);
    window.viewList().Invalidate(Rect{50, -10, 90, 5});
    window.update();
    EXPECT_EQ(window.headless().Presentations().back(), (std::vector<Rect>{{50, 0, 60, 5}}));

    // A hidden view reveals what lies below; where no view draws, clear.
    middle->setVisible(false);
    right.reset();
    window.update();
    EXPECT_EQ(window.Stored(25, 15), kBlue);
    EXPECT_EQ(window.Stored(45, 5), 0u);

    // A paint hands over the whole image and empties the present region.
    window.viewList().Invalidate(Rect{0, 0, 4, 4});
    EXPECT_TRUE(window.headless().RequestPaint());
    EXPECT_EQ(window.headless().paintCount(), 1);
    EXPECT_EQ(window.headless().paintMisuseCount(), 0);
    EXPECT_TRUE(window.presentRegion().IsEmpty());
}

TEST_F(FlushTest, NewSizeRecreatesClearsAndRedrawsEverything) {
    window.headless().SetWindowRect(Rect{0, 0, 80, 50});
    EXPECT_EQ(window.backingStore().bounds(), (Rect{0, 0, 80, 50}));
    EXPECT_EQ(window.Stored(5, 45), 0u);  // below the views: cleared
    EXPECT_EQ(window.Stored(70, 5), 0u);
    EXPECT_EQ(window.Stored(35, 15), 0xFF00807Fu);
    EXPECT_EQ(window.headless().Presentations(),
              (std::vector<std::vector<Rect>>{{{0, 0, 80, 50}}}));
    EXPECT_EQ(window.headless().screenWidth(), 80);
    // A minimised window reports 0 × 0: no image, nothing presented.
    window.sizeChanged(0, 0);
    EXPECT_FALSE(window.backingStore().HasStorage());
    EXPECT_EQ(window.headless().Presentations().size(), 1u);
    EXPECT_TRUE(window.headless().RequestPaint());
    EXPECT_EQ(window.headless().paintCount(), 0);
    window.sizeChanged(60, 40);
    EXPECT_EQ(window.Stored(55, 5), kBlue);
}

// A disc of `colour` filling a size × size square; its corners transparent.
Image DiscImage(int32_t size, uint32_t colour) {
    Image image = SolidImage(Rect{0, 0, size, size}, 0);
    for (int32_t y = 0; y < size; ++y) {
        for (int32_t x = 0; x < size; ++x) {
            if ((2 * x + 1 - size) * (2 * x + 1 - size) + (2 * y + 1 - size) * (2 * y + 1 - size) <=
                size * size) {
                *image.At(x, y) = colour;
            }
        }
    }
    return image;
}

constexpr uint32_t kNormal = 0xFF202020, kPressed = 0xFF404040, kDisabled = 0xFF606060,
                   kHover = 0xFF808080;

// A 60 × 40 window with a round 24-pixel find button at (10, 8): its centre
// is (22, 20), its top-left pixel (10, 8) is transparent.
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

TEST_F(ButtonTest, LooksFollowTheState) {
    Button& button = MakeButton(0);
    EXPECT_EQ(button.currentImage(), &normal);
    EXPECT_EQ(Shown(), kNormal);
    window.mouseMoved(22, 20);
    EXPECT_TRUE(button.hover());
    EXPECT_EQ(Shown(), kHover);
    EXPECT_TRUE(window.mouseDown(22, 20, 1, 0));
    EXPECT_TRUE(button.pressed());
    EXPECT_EQ(Shown(), kPressed);
    // Released over the button: it fires and shows hover again.
    EXPECT_TRUE(window.mouseUp(22, 20));
    EXPECT_FALSE(button.pressed());
    EXPECT_EQ(window.commands, std::vector<uint32_t>{kFind});
    EXPECT_EQ(Shown(), kHover);
    // Disabled beats hover; enabled again shows hover.
    button.setEnabled(false);
    EXPECT_EQ(Shown(), kDisabled);
    button.setEnabled(true);
    EXPECT_EQ(Shown(), kHover);
    window.mouseMoved(50, 2);
    EXPECT_EQ(Shown(), kNormal);
    // New images: null keeps the old one.
    Image stop = DiscImage(24, 0xFFAA0000);
    button.setImages(&stop, nullptr, nullptr, nullptr);
    EXPECT_EQ(Shown(), 0xFFAA0000u);
    EXPECT_EQ(window.headless().ScreenPixel(10, 8), 0u);  // the corner still transparent

    // Without a hover image hovering changes nothing, not even the region.
    Button& plain = MakeButton(0, /*withHover=*/false);
    window.update();
    window.headless().ClearPresentations();
    plain.setHover(true);
    EXPECT_FALSE(plain.hover());
    EXPECT_TRUE(window.viewList().invalid().IsEmpty());
    EXPECT_TRUE(window.headless().Presentations().empty());
}

TEST_F(ButtonTest, HitOnlyOnOpaquePixelsUnlessRectangular) {
    Button& round = MakeButton(0);
    Button& square = MakeButton(kButtonRectangular);
    square.setVisible(false);
    for (const auto& [x, y, hit] : {std::tuple{22, 20, true},
                                    {10, 8, false},
                                    {33, 20, true},
                                    {34, 20, false},
                                    {9, 20, false},
                                    {22, 31, true},
                                    {22, 32, false},
                                    {22, 7, false}}) {
        EXPECT_EQ(round.hitTest(x, y), hit) << x << "," << y;
        EXPECT_FALSE(square.hitTest(x, y));  // hidden
    }
    // A press on the corner is no press: the window leaves it to the system.
    EXPECT_FALSE(window.mouseDown(10, 8, 1, 0));
    EXPECT_EQ(window.capturedControl(), nullptr);
    square.setVisible(true);
    EXPECT_TRUE(square.hitTest(10, 8));
    EXPECT_TRUE(square.hitTest(33, 31));
    EXPECT_FALSE(square.hitTest(34, 31));
    EXPECT_FALSE(square.hitTest(33, 32));
    round.setVisible(false);
    EXPECT_FALSE(round.hitTest(22, 20));
    EXPECT_FALSE(round.face().visible());
}

TEST_F(ButtonTest, PressesDragsAndLostCaptures) {
    Button& button = MakeButton(0);
    // Dragged off and released: nothing; dragged back: it fires.
    window.mouseDown(22, 20, 1, 0);
    EXPECT_TRUE(window.headless().mouseCaptured());
    window.mouseMoved(50, 20);
    EXPECT_FALSE(button.pressed());
    EXPECT_EQ(Shown(), kNormal);
    window.mouseUp(50, 20);
    EXPECT_TRUE(window.commands.empty());
    EXPECT_FALSE(window.headless().mouseCaptured());
    window.mouseDown(22, 20, 1, 0);
    window.mouseMoved(50, 20);
    window.mouseMoved(23, 21);
    EXPECT_EQ(Shown(), kPressed);
    window.mouseUp(23, 21);
    EXPECT_EQ(window.commands, std::vector<uint32_t>{kFind});

    // The system takes the pointer away during a press: the release never
    // comes, later moves are no drags, and a later release fires nothing.
    window.commands.clear();
    window.mouseDown(22, 20, 1, 0);
    window.headless().LoseCapture();
    EXPECT_EQ(window.capturedControl(), nullptr);
    EXPECT_FALSE(button.pressed());
    window.mouseMoved(50, 20);
    window.mouseMoved(23, 21);
    EXPECT_FALSE(button.pressed());
    EXPECT_EQ(Shown(), kHover);
    EXPECT_FALSE(window.mouseUp(23, 21));
    EXPECT_TRUE(window.commands.empty());

    // A disabled button takes the press, without capture or command.
    button.setEnabled(false);
    EXPECT_TRUE(window.mouseDown(22, 20, 1, 0));
    EXPECT_EQ(window.capturedControl(), nullptr);
    EXPECT_FALSE(window.headless().mouseCaptured());
    EXPECT_FALSE(window.mouseUp(22, 20));
    // Firing on the press sends once.
    Button& early = MakeButton(kButtonFireOnPress);
    window.mouseDown(22, 20, 1, 0);
    window.mouseUp(22, 20);
    EXPECT_EQ(window.commands, std::vector<uint32_t>{kFind});
    EXPECT_FALSE(early.pressed());
}

// Logs what the window sends; hit on a fixed rectangle.
class RecordingControl : public Control {
  public:
    RecordingControl(std::string name, const Rect& area, std::vector<std::string>& log)
        : Control(nullptr, 0), name_(std::move(name)), area_(area), log_(log) {}
    bool hitTest(int32_t x, int32_t y) const override { return area_.Contains(x, y); }
    bool mouseDown(int32_t x, int32_t y) override { return Log(" down ", x, y); }
    bool mouseUp(int32_t x, int32_t y) override { return Log(" up ", x, y); }
    void mouseDragged(int32_t x, int32_t y) override { Log(" drag ", x, y); }
    void setHover(bool hover) override { log_.push_back(name_ + (hover ? " hover" : " leave")); }
    void notify(int32_t value) override { Log(" notify ", value, value); }

  private:
    bool Log(const char* what, int32_t x, int32_t y) {
        log_.push_back(name_ + what + std::to_string(x) + "," + std::to_string(y));
        return false;
    }
    std::string name_;
    Rect area_;
    std::vector<std::string>& log_;
};

TEST_F(ButtonTest, TheCapturedControlGetsTheReleaseThenHoverMoves) {
    std::vector<std::string> log;
    RecordingControl a("a", Rect{0, 0, 10, 10}, log), b("b", Rect{20, 0, 30, 10}, log),
        over("over", Rect{5, 5, 25, 25}, log);
    window.AddControl(a);
    window.AddControl(b);
    EXPECT_EQ(a.owner(), static_cast<WindowOwner*>(&window));
    window.mouseMoved(2, 2);
    window.mouseDown(2, 2, 1, 0);
    window.mouseMoved(25, 5);
    window.mouseUp(25, 5);
    EXPECT_EQ(log, (std::vector<std::string>{"a hover", "a down 2,2", "a drag 25,5", "a up 25,5",
                                             "a leave", "b hover"}));
    EXPECT_EQ(window.hoveredControl(), &b);
    EXPECT_EQ(window.capturedControl(), nullptr);

    // The topmost (last added) control takes the press; notify goes to all
    // in list order.
    log.clear();
    window.AddControl(over);
    window.mouseDown(22, 8, 1, 0);
    window.mouseUp(22, 8);
    window.notifyControls(7);
    EXPECT_EQ(log,
              (std::vector<std::string>{"over down 22,8", "over up 22,8", "b leave", "over hover",
                                        "a notify 7,7", "b notify 7,7", "over notify 7,7"}));
    EXPECT_EQ(window.HitControl(8, 8), &over);
    EXPECT_EQ(window.HitControl(2, 2), &a);
    EXPECT_EQ(window.HitControl(35, 5), nullptr);
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
    const std::vector<uint32_t> screen = window.headless().Screen();
    ASSERT_EQ(screen.size(), 120u * 40u);
    for (int32_t y = 0; y < 40; ++y) {
        for (int32_t x = 0; x < 120; ++x)
            ASSERT_EQ(screen[size_t(y) * 120 + size_t(x)], *expected.At(x, y)) << x << "," << y;
    }
    EXPECT_EQ(window.headless().paintMisuseCount(), 0);
}

// The headless system itself, as far as the window tests lean on it.
TEST(HeadlessWindowSystemTest, MainLoopWorkAreasAndPresenting) {
    HeadlessWindowSystem system({Rect{0, 0, 1000, 700}, Rect{1000, 0, 2000, 800}});
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
    std::thread quitter([&] { system.PostQuit(0); });  // ends a loop that waits
    EXPECT_EQ(system.RunMainLoop(), 0);
    quitter.join();

    EXPECT_EQ(system.WorkAreaFor(Rect{900, 0, 1200, 50}), (Rect{1000, 0, 2000, 800}));
    EXPECT_EQ(system.WorkAreaFor(Rect{-500, -500, -400, -400}), (Rect{0, 0, 1000, 700}));

    // Present copies only the given rectangles, clipped to the image: rows
    // of 6 pixels (24 bytes) for a 4 × 3 image.
    TestWindow window;
    ASSERT_EQ(window.Create(system, Rect{0, 0, 4, 3}, 0), 0);
    std::vector<uint32_t> pixels(18);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint32_t(i + 1);
    window.headless().Present(pixels.data(), 24, 4, 3, {Rect{1, 1, 3, 2}, Rect{3, -5, 9, 1}});
    EXPECT_EQ(window.headless().Screen(),
              (std::vector<uint32_t>{0, 0, 0, 4, 0, 8, 9, 0, 0, 0, 0, 0}));
    // Outside a paint, PaintPixels is a misuse and changes nothing.
    window.headless().PaintPixels(pixels.data(), 24, 4, 3);
    EXPECT_EQ(window.headless().paintMisuseCount(), 1);
}

}  // namespace
}  // namespace quil
