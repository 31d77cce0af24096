#include "ui/Button.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/UiTestSupport.h"

namespace quil {
namespace {

using testing::DiscImage;
using testing::FourCC;
using testing::TestWindow;

constexpr uint32_t kNormal = 0xFF202020;
constexpr uint32_t kPressed = 0xFF404040;
constexpr uint32_t kDisabled = 0xFF606060;
constexpr uint32_t kHover = 0xFF808080;

// A 60 × 40 window with a round 24-pixel find button at (10, 8): its centre
// is (22, 20), its top-left pixel (10, 8) is transparent.
class ButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(window.Create(system, Rect{100, 100, 160, 140}, kWindowCustomFrame), 0);
    }

    Button& MakeButton(uint32_t flags, bool withHover = true) {
        Window::LockGuard hold(window);
        buttons.push_back(std::make_unique<Button>(&window, window.viewList(), FourCC("FIND"),
                                                   &normal, &pressed, &disabled,
                                                   withHover ? &hover : nullptr, 10, 8, flags));
        window.AddControl(*buttons.back());
        return *buttons.back();
    }

    uint32_t Shown(int32_t x, int32_t y) { return window.headless().ScreenPixel(x, y); }

    HeadlessWindowSystem system;
    TestWindow window;
    Image normal = DiscImage(24, kNormal);
    Image pressed = DiscImage(24, kPressed);
    Image disabled = DiscImage(24, kDisabled);
    Image hover = DiscImage(24, kHover);
    std::vector<std::unique_ptr<Button>> buttons;
};

TEST_F(ButtonTest, FourLooksFollowTheState) {
    Button& button = MakeButton(0);
    EXPECT_EQ(button.currentImage(), &normal);
    EXPECT_EQ(Shown(22, 20), kNormal);

    window.mouseMoved(22, 20);
    EXPECT_TRUE(button.hover());
    EXPECT_EQ(Shown(22, 20), kHover);

    EXPECT_TRUE(window.mouseDown(22, 20, 1, 0));
    EXPECT_TRUE(button.pressed());
    EXPECT_EQ(Shown(22, 20), kPressed);

    // Released over the button: it fires and shows hover again.
    EXPECT_TRUE(window.mouseUp(22, 20));
    EXPECT_FALSE(button.pressed());
    EXPECT_EQ(window.commands, std::vector<uint32_t>{FourCC("FIND")});
    EXPECT_EQ(window.arguments, std::vector<uint32_t>{0});
    EXPECT_EQ(Shown(22, 20), kHover);

    // Disabled beats hover; enabled again shows hover.
    button.setEnabled(false);
    EXPECT_EQ(Shown(22, 20), kDisabled);
    button.setEnabled(true);
    EXPECT_EQ(Shown(22, 20), kHover);
    window.mouseMoved(50, 2);
    EXPECT_EQ(Shown(22, 20), kNormal);

    // New images: null keeps the old one.
    Image stop = DiscImage(24, 0xFFAA0000);
    button.setImages(&stop, nullptr, nullptr, nullptr);
    EXPECT_EQ(Shown(22, 20), 0xFFAA0000u);
    EXPECT_EQ(Shown(10, 8), 0u);  // still transparent in the corner
}

TEST_F(ButtonTest, HitOnlyOnOpaquePixelsUnlessRectangular) {
    Button& round = MakeButton(0);
    EXPECT_TRUE(round.hitTest(22, 20));
    EXPECT_FALSE(round.hitTest(10, 8));   // transparent corner inside the rectangle
    EXPECT_FALSE(round.hitTest(34, 20));  // just right of the image
    EXPECT_FALSE(round.hitTest(9, 20));

    // A press on the corner is no press: the window leaves it to the system.
    EXPECT_FALSE(window.mouseDown(10, 8, 1, 0));
    EXPECT_FALSE(round.pressed());
    EXPECT_EQ(window.capturedControl(), nullptr);

    round.setVisible(false);
    EXPECT_FALSE(round.hitTest(22, 20));
    EXPECT_FALSE(round.face().visible());

    Button& square = MakeButton(kButtonRectangular);
    EXPECT_TRUE(square.hitTest(10, 8));
    EXPECT_TRUE(square.hitTest(33, 31));
    EXPECT_FALSE(square.hitTest(34, 31));
}

TEST_F(ButtonTest, DragOffAndReleaseSendsNothingDragBackSends) {
    Button& button = MakeButton(0);
    window.mouseDown(22, 20, 1, 0);
    EXPECT_TRUE(window.headless().mouseCaptured());
    window.mouseMoved(50, 20);
    EXPECT_FALSE(button.pressed());
    EXPECT_EQ(Shown(22, 20), kNormal);
    window.mouseUp(50, 20);
    EXPECT_TRUE(window.commands.empty());
    EXPECT_FALSE(window.headless().mouseCaptured());
    EXPECT_EQ(window.capturedControl(), nullptr);

    window.mouseDown(22, 20, 1, 0);
    window.mouseMoved(50, 20);
    window.mouseMoved(23, 21);
    EXPECT_TRUE(button.pressed());
    EXPECT_EQ(Shown(22, 20), kPressed);
    window.mouseUp(23, 21);
    EXPECT_EQ(window.commands, std::vector<uint32_t>{FourCC("FIND")});

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
    EXPECT_EQ(Shown(22, 20), kHover);
    EXPECT_FALSE(window.mouseUp(23, 21));
    EXPECT_TRUE(window.commands.empty());
}

TEST_F(ButtonTest, FireOnPressSendsOnce) {
    Button& button = MakeButton(kButtonFireOnPress);
    window.mouseDown(22, 20, 1, 0);
    EXPECT_EQ(window.commands.size(), 1u);
    window.mouseUp(22, 20);
    EXPECT_EQ(window.commands.size(), 1u);
    EXPECT_FALSE(button.pressed());
}

TEST_F(ButtonTest, HoverWithoutHoverImageChangesNothing) {
    Button& button = MakeButton(0, /*withHover=*/false);
    window.update();
    ASSERT_TRUE(window.viewList().invalid().IsEmpty());
    window.headless().ClearPresentations();
    button.setHover(true);
    EXPECT_FALSE(button.hover());
    EXPECT_TRUE(window.viewList().invalid().IsEmpty());
    EXPECT_TRUE(window.headless().Presentations().empty());
    EXPECT_EQ(Shown(22, 20), kNormal);
}

TEST_F(ButtonTest, DisabledPressIsConsumedButNotCaptured) {
    Button& button = MakeButton(0);
    button.setEnabled(false);
    EXPECT_TRUE(window.mouseDown(22, 20, 1, 0));
    EXPECT_EQ(window.capturedControl(), nullptr);
    EXPECT_FALSE(window.headless().mouseCaptured());
    EXPECT_FALSE(button.pressed());
    EXPECT_FALSE(window.mouseUp(22, 20));
    EXPECT_TRUE(window.commands.empty());
}

// Logs what the window sends; hit on a fixed rectangle.
class RecordingControl : public Control {
  public:
    RecordingControl(std::string name, const Rect& area, std::vector<std::string>& log)
        : Control(nullptr, 0), name_(std::move(name)), area_(area), log_(log) {}
    bool hitTest(int32_t x, int32_t y) const override { return area_.Contains(x, y); }
    bool mouseDown(int32_t x, int32_t y) override {
        log_.push_back(name_ + " down " + Where(x, y));
        return false;
    }
    bool mouseUp(int32_t x, int32_t y) override {
        log_.push_back(name_ + " up " + Where(x, y));
        return false;
    }
    void mouseDragged(int32_t x, int32_t y) override {
        log_.push_back(name_ + " drag " + Where(x, y));
    }
    void setHover(bool hover) override { log_.push_back(name_ + (hover ? " hover" : " leave")); }
    void notify(int32_t value) override {
        log_.push_back(name_ + " notify " + std::to_string(value));
    }

  private:
    static std::string Where(int32_t x, int32_t y) {
        return std::to_string(x) + "," + std::to_string(y);
    }
    std::string name_;
    Rect area_;
    std::vector<std::string>& log_;
};

TEST_F(ButtonTest, ReleaseOverAnotherControlGoesToTheCapturedOneThenMovesHover) {
    std::vector<std::string> log;
    RecordingControl a("a", Rect{0, 0, 10, 10}, log);
    RecordingControl b("b", Rect{20, 0, 30, 10}, log);
    window.AddControl(a);
    window.AddControl(b);
    EXPECT_EQ(a.owner(), static_cast<WindowOwner*>(&window));

    window.mouseMoved(5, 5);
    window.mouseDown(5, 5, 1, 0);
    window.mouseMoved(25, 5);
    window.mouseUp(25, 5);
    EXPECT_EQ(log, (std::vector<std::string>{"a hover", "a down 5,5", "a drag 25,5", "a up 25,5",
                                             "a leave", "b hover"}));
    EXPECT_EQ(window.hoveredControl(), &b);
    EXPECT_EQ(window.capturedControl(), nullptr);
}

TEST_F(ButtonTest, TopmostControlTakesThePressAndNotifyRunsInListOrder) {
    std::vector<std::string> log;
    RecordingControl under("under", Rect{0, 0, 20, 20}, log);
    RecordingControl over("over", Rect{10, 10, 30, 30}, log);
    window.AddControl(under);
    window.AddControl(over);
    window.mouseDown(15, 15, 1, 0);
    window.mouseUp(15, 15);
    EXPECT_EQ(log, (std::vector<std::string>{"over down 15,15", "over up 15,15", "over hover"}));
    log.clear();
    window.notifyControls(7);
    EXPECT_EQ(log, (std::vector<std::string>{"under notify 7", "over notify 7"}));
    EXPECT_EQ(window.HitControl(15, 15), &over);
    EXPECT_EQ(window.HitControl(5, 5), &under);
    EXPECT_EQ(window.HitControl(35, 5), nullptr);
}

}  // namespace
}  // namespace quil
