// The native window backend on a real X display: placement, presentation
// with shaped corners, mouse and keyboard translation, the popup menu.
// Needs DISPLAY (scripts/test starts Xvfb) and xdotool and ImageMagick's
// import; skips otherwise. Every wait is bounded.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/PlatformWindowSystem.h"

// Last: Xlib's macros must not meet the project's names.
#include <X11/Xlib.h>

// GTK, GLib and fontconfig keep caches and type registrations for the life
// of the process; they are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libgtk-3.so\nleak:libgdk-3.so\nleak:libglib-2.0.so\nleak:libgobject-2.0.so\n"
           "leak:libfontconfig.so\nleak:libpango\nleak:libcairo.so\nleak:libX11.so\n"
           "leak:libatk\nleak:libgio-2.0.so\nleak:libharfbuzz.so\nleak:libdbus-1.so\n";
}

namespace quil {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t kClose = uint32_t('c') << 24 | uint32_t('l') << 16 | uint32_t('o') << 8 | 's';
constexpr uint32_t kBlue = 0xFF2040C0;
constexpr uint32_t kRed = 0xFFC04020;
constexpr uint32_t kGreen = 0xFF20C040;

struct Event {
    std::string kind;
    int32_t a = 0, b = 0, c = 0;
};

// Records what the window reports and paints a fixed image. Hit areas in
// window coordinates: x < 40 is client area, the last 8 columns the sizing
// edge, the rest caption.
class TestListener : public NativeWindowListener {
  public:
    NativeWindow* window = nullptr;
    std::vector<MenuItem> menu;  // opened by a right press when not empty

    void SetImage(int32_t width, int32_t height, const std::function<uint32_t(int, int)>& pixel) {
        std::lock_guard<std::mutex> lock(mutex_);
        width_ = width;
        height_ = height;
        image_.assign(size_t(width) * size_t(height), 0);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                image_[size_t(y) * size_t(width) + x] = pixel(x, y);
        }
    }
    std::vector<Event> Events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    bool Has(const std::string& kind, int32_t a, int32_t b) {
        for (const Event& e : Events()) {
            if (e.kind == kind && e.a == a && e.b == b)
                return true;
        }
        return false;
    }
    int Count(const std::string& kind) {
        int n = 0;
        for (const Event& e : Events())
            n += e.kind == kind;
        return n;
    }
    // The click counts of the left presses.
    std::vector<int32_t> Downs() {
        std::vector<int32_t> counts;
        for (const Event& e : Events()) {
            if (e.kind == "down")
                counts.push_back(e.c);
        }
        return counts;
    }
    std::string Dump() {
        std::string out;
        for (const Event& e : Events()) {
            out += e.kind + "(" + std::to_string(e.a) + "," + std::to_string(e.b) + "," +
                   std::to_string(e.c) + ") ";
        }
        return out;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
    }

    bool sizeChanged(int32_t w, int32_t h) override { return Note("size", w, h); }
    bool moved(int32_t x, int32_t y) override { return Note("moved", x, y); }
    bool paint() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!image_.empty())
            window->PaintPixels(image_.data(), width_ * 4, width_, height_);
        ++paints_;
        return true;
    }
    // Like a window whose controls all lie in the client area: a press
    // elsewhere is declined, so that the system moves or sizes the window.
    bool mouseDown(int32_t x, int32_t y, int32_t count, int32_t) override {
        Note("down", x, y, count);
        return x < 40;
    }
    bool mouseUp(int32_t x, int32_t y) override { return Note("up", x, y); }
    bool rightMouseDown(int32_t x, int32_t y, int32_t count, int32_t) override {
        Note("rdown", x, y, count);
        if (!menu.empty())
            Note("menu", int32_t(window->PopupMenu(menu, x, y)), 0);
        return true;
    }
    bool rightMouseUp(int32_t x, int32_t y) override { return Note("rup", x, y); }
    bool mouseMoved(int32_t, int32_t) override { return true; }
    bool command(uint32_t code, uint32_t argument) override {
        return Note("command", int32_t(code), int32_t(argument));
    }
    bool isResizeArea(int32_t sx, int32_t sy) override {
        const Rect r = window->GetWindowRect();
        return r.Contains(sx, sy) && sx >= r.right - 8;
    }
    bool isClientArea(int32_t sx, int32_t) override {
        return sx - window->GetWindowRect().left < 40;
    }
    bool isCaptionArea(int32_t, int32_t) override {
        Note("caption", 0, 0);
        return true;
    }

  private:
    bool Note(const char* kind, int32_t a, int32_t b, int32_t c = 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(Event{kind, a, b, c});
        return kind != std::string("caption");
    }

    std::mutex mutex_;
    std::vector<uint32_t> image_;
    int32_t width_ = 0, height_ = 0;
    int paints_ = 0;
    std::vector<Event> events_;
};

constexpr uint32_t kWindowFlags = kWindowLayered | kWindowCustomFrame | kWindowSizingBorder;

bool Tool(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// The screen's pixels in `r` as 0xRRGGBB, or empty when the capture failed.
std::vector<uint32_t> Screenshot(const Rect& r) {
    char path[] = "/tmp/harkbox-shot-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return {};
    close(fd);
    const std::string command = "import -window root -crop " + std::to_string(r.Width()) + "x" +
                                std::to_string(r.Height()) + "+" + std::to_string(r.left) + "+" +
                                std::to_string(r.top) + " -depth 8 rgb:" + path;
    std::vector<uint32_t> pixels;
    if (Tool(command)) {
        if (FILE* f = std::fopen(path, "rb")) {
            std::vector<uint8_t> bytes(size_t(r.Width() * r.Height() * 3));
            if (std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size()) {
                for (size_t i = 0; i < bytes.size(); i += 3) {
                    pixels.push_back(uint32_t(bytes[i]) << 16 | uint32_t(bytes[i + 1]) << 8 |
                                     bytes[i + 2]);
                }
            }
            std::fclose(f);
        }
    }
    std::remove(path);
    return pixels;
}

// Whether the screen's pixel at (x, y) is `colour`.
bool Shows(int32_t x, int32_t y, uint32_t colour) {
    const auto shot = Screenshot(Rect{x, y, x + 1, y + 1});
    return !shot.empty() && shot[0] == (colour & 0xFFFFFF);
}

// Asks the window named `title` to close, as a window manager's close button
// does: the WM_DELETE_WINDOW protocol message. The test display has no window
// manager to send it.
bool RequestClose(const std::string& title) {
    FILE* search = popen(("xdotool search --name '" + title + "'").c_str(), "r");
    if (!search)
        return false;
    unsigned long id = 0;
    const bool found = std::fscanf(search, "%lu", &id) == 1;
    pclose(search);
    if (!found)
        return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(display, id, False, NoEventMask, &event) != 0;
    XCloseDisplay(display);
    return sent;
}

class GtkWindowTest : public ::testing::Test {
  protected:
    static WindowSystem* System() {
        static std::unique_ptr<WindowSystem> system = [] {
            static char name[] = "harkbox-display-test";
            static char* args[] = {name, nullptr};
            int argc = 1;
            char** argv = args;
            return CreatePlatformWindowSystem(argc, argv);
        }();
        return system.get();
    }

    void SetUp() override {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display)
            GTEST_SKIP() << "no DISPLAY";
        if (!Tool("command -v xdotool") || !Tool("command -v import")) {
            GTEST_SKIP() << "xdotool or import missing";
        }
        system_ = System();
        if (!system_)
            GTEST_SKIP() << "the display cannot be opened";
    }

    std::unique_ptr<NativeWindow> Open(TestListener& listener, const Rect& rect, uint32_t flags) {
        int error = 0;
        auto window = system_->CreateNativeWindow(rect, flags, listener, error);
        EXPECT_NE(window, nullptr);
        EXPECT_EQ(error, 0);
        if (window)
            listener.window = window.get();
        return window;
    }

    // Opens a window at `rect` filled with `colour`, `prepare`s it, shows it
    // and waits until the screen shows its corner.
    std::unique_ptr<NativeWindow> OpenFilled(
        TestListener& listener, const Rect& rect, uint32_t colour,
        const std::function<void(NativeWindow&)>& prepare = [](NativeWindow&) {}) {
        auto window = Open(listener, rect, kWindowFlags);
        if (!window)
            return window;
        prepare(*window);
        listener.SetImage(rect.Width(), rect.Height(), [colour](int, int) { return colour; });
        window->Show(true);
        EXPECT_TRUE(RunUntil([&] { return Shows(rect.left, rect.top, colour); }));
        return window;
    }

    // Runs the main loop while another thread does `action` and then waits
    // for `done`, at most `timeout`. Answers whether `done` came true.
    bool RunUntil(const std::function<void()>& action, const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = 5000ms) {
        std::atomic<bool> ok{false};
        std::thread helper([&] {
            action();
            const auto deadline = std::chrono::steady_clock::now() + timeout;
            while (!(ok = done()) && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(20ms);
            }
            system_->PostQuit(0);
        });
        system_->RunMainLoop();
        helper.join();
        return ok;
    }
    bool RunUntil(const std::function<bool()>& done) {
        return RunUntil([] {}, done);
    }

    WindowSystem* system_ = nullptr;
};

TEST_F(GtkWindowTest, ShowsTheImageAtItsPlaceWithTransparentCornersShowingWhatIsBelow) {
    // A green backdrop, then the test window above it: a blue left half and
    // a red right half, with 8 x 8 transparent corners.
    const Rect rect{100, 120, 220, 180};
    TestListener backdropListener;
    auto backdrop = Open(backdropListener, Rect{90, 110, 230, 190}, 0);
    ASSERT_TRUE(backdrop);
    backdropListener.SetImage(140, 80, [](int, int) { return kGreen; });
    backdrop->Show(true);
    ASSERT_TRUE(RunUntil([&] { return Shows(90, 110, kGreen); }));

    TestListener listener;
    auto window = Open(listener, rect, kWindowFlags);
    ASSERT_TRUE(window);
    listener.SetImage(120, 60, [](int x, int y) -> uint32_t {
        const bool corner = (x < 8 || x >= 112) && (y < 8 || y >= 52);
        if (corner)
            return 0;
        return x < 60 ? kBlue : kRed;
    });
    EXPECT_EQ(window->IsLayered(), system_->LayeredAvailable());
    window->Show(true);
    window->Present(nullptr, 480, 120, 60, {});
    auto pixelAt = [](const std::vector<uint32_t>& shot, int x, int y) {
        return shot[y * 120 + x];
    };
    std::vector<uint32_t> shot;
    EXPECT_TRUE(RunUntil([&] {
        shot = Screenshot(rect);
        return !shot.empty() && pixelAt(shot, 8, 0) == (kBlue & 0xFFFFFF) &&
               pixelAt(shot, 119, 30) == (kRed & 0xFFFFFF) &&
               pixelAt(shot, 0, 0) == (kGreen & 0xFFFFFF) &&
               pixelAt(shot, 119, 59) == (kGreen & 0xFFFFFF);
    })) << "the window is not shown as drawn";
    ASSERT_FALSE(shot.empty());
    EXPECT_EQ(pixelAt(shot, 59, 30), kBlue & 0xFFFFFF);
    EXPECT_EQ(pixelAt(shot, 60, 30), kRed & 0xFFFFFF);
    EXPECT_EQ(pixelAt(shot, 7, 7), kGreen & 0xFFFFFF);
    EXPECT_EQ(pixelAt(shot, 112, 0), kGreen & 0xFFFFFF);
    EXPECT_EQ(pixelAt(shot, 0, 8), kBlue & 0xFFFFFF);
    EXPECT_EQ(window->GetWindowRect(), rect);
    EXPECT_EQ(window->GetClientRect(), (Rect{0, 0, 120, 60}));

    // A partial present reaches the screen too.
    listener.SetImage(120, 60, [](int x, int y) -> uint32_t {
        const bool corner = (x < 8 || x >= 112) && (y < 8 || y >= 52);
        return corner ? 0 : kGreen;
    });
    window->Present(nullptr, 480, 120, 60, {Rect{10, 10, 20, 20}});
    EXPECT_TRUE(RunUntil([&] { return Shows(110, 130, kGreen); }));
}

TEST_F(GtkWindowTest, PressesReachTheListenerAndTheCaptionMovesTheWindow) {
    TestListener listener;
    auto window = OpenFilled(listener, Rect{300, 300, 420, 360}, kBlue);
    ASSERT_TRUE(window);

    // Client area: a left click, then a double click.
    EXPECT_TRUE(RunUntil([] { Tool("xdotool mousemove 310 315 click 1"); },
                         [&] { return listener.Has("up", 10, 15); }));
    EXPECT_TRUE(listener.Has("down", 10, 15));
    EXPECT_EQ(listener.Downs(), std::vector<int32_t>{1});
    listener.Clear();
    EXPECT_TRUE(
        RunUntil([] { Tool("xdotool mousemove 312 316 sleep 0.5 click --repeat 2 --delay 60 1"); },
                 [&] { return listener.Count("up") == 2; }));
    EXPECT_EQ(listener.Downs(), (std::vector<int32_t>{1, 2}));

    // A right click anywhere, caption included.
    listener.Clear();
    EXPECT_TRUE(RunUntil([] { Tool("xdotool mousemove 380 350 click 3"); },
                         [&] { return listener.Has("rup", 80, 50); }));
    EXPECT_TRUE(listener.Has("rdown", 80, 50));
    EXPECT_EQ(listener.Count("down"), 0);

    // A drag on the caption moves the window; the press is offered to the
    // window first, which declines it here.
    listener.Clear();
    EXPECT_TRUE(RunUntil(
        [&] {
            Tool("xdotool mousemove 380 330 mousedown 1");
            const auto deadline = std::chrono::steady_clock::now() + 3s;
            while (listener.Count("caption") == 0 && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(10ms);
            }
            Tool(
                "xdotool sleep 0.2 mousemove 390 335 sleep 0.05 mousemove 400 340 sleep 0.05 "
                "mousemove 410 350 sleep 0.2 mouseup 1");
        },
        [&] {
            return window->GetWindowRect() == Rect{330, 320, 450, 380};
        }))
        << listener.Dump();
    EXPECT_TRUE(listener.Has("moved", 330, 320));
    EXPECT_TRUE(listener.Count("down")) << "the caption press is offered first";
}

TEST_F(GtkWindowTest, TheRightEdgeResizesWithinTheTrackingLimits) {
    TestListener listener;
    auto window = OpenFilled(listener, Rect{500, 100, 620, 160}, kRed,
                             [](NativeWindow& w) { w.SetTrackingLimits(100, 60, 160, 60); });
    ASSERT_TRUE(window);
    EXPECT_TRUE(RunUntil(
        [] {
            Tool(
                "xdotool mousemove 617 130 mousedown 1 sleep 0.3 mousemove 640 132 sleep 0.05 "
                "mousemove 700 135 sleep 0.05 mousemove 760 140 sleep 0.3 mouseup 1");
        },
        [&] { return listener.Has("size", 160, 60); }))
        << listener.Dump();
    EXPECT_EQ(window->GetWindowRect(), (Rect{500, 100, 660, 160}));
    for (const Event& e : listener.Events()) {
        if (e.kind == "size") {
            EXPECT_LE(e.a, 160);
            EXPECT_GE(e.a, 100);
            EXPECT_EQ(e.b, 60);
        }
    }

    // Placing the window programmatically reports at once and keeps the
    // limits.
    listener.Clear();
    window->SetWindowRect(Rect{520, 110, 570, 200});
    EXPECT_EQ(window->GetWindowRect(), (Rect{520, 110, 620, 170}));
    EXPECT_TRUE(listener.Has("moved", 520, 110));
    EXPECT_TRUE(listener.Has("size", 100, 60));
    // ...and the system agrees once it has placed the window.
    listener.Clear();
    EXPECT_TRUE(RunUntil([&] { return Shows(619, 110, kRed) && !Shows(620, 110, kRed); }));
    EXPECT_EQ(window->GetWindowRect(), (Rect{520, 110, 620, 170}));
}

TEST_F(GtkWindowTest, PopupMenuAnswersTheChosenCodeOrZero) {
    TestListener listener;
    listener.menu = {
        {"First Item", 0x54575757, false}, {"", 0, true}, {"Second", 0x71756974, false}};
    auto window = OpenFilled(listener, Rect{200, 400, 320, 460}, kBlue);
    ASSERT_TRUE(window);

    // The keys are sent until the menu has answered: keys that arrive before
    // the menu holds the keyboard go to the window and do nothing.
    auto openAndType = [&](const char* keys) {
        return [this, &listener, keys] {
            Tool("xdotool mousemove 250 420 click 3");
            const auto deadline = std::chrono::steady_clock::now() + 5s;
            while (listener.Count("menu") == 0 && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(300ms);
                if (listener.Count("menu") == 0)
                    Tool(std::string("xdotool key ") + keys);
            }
        };
    };
    EXPECT_TRUE(RunUntil(openAndType("Escape"), [&] { return listener.Count("menu"); }));
    EXPECT_TRUE(listener.Has("menu", 0, 0));
    listener.Clear();
    EXPECT_TRUE(RunUntil(openAndType("Down Down Return"), [&] { return listener.Count("menu"); }));
    EXPECT_TRUE(listener.Has("menu", 0x71756974, 0)) << "the separator is skipped";
    listener.Clear();
    EXPECT_TRUE(RunUntil(openAndType("Down Return"), [&] { return listener.Count("menu"); }));
    EXPECT_TRUE(listener.Has("menu", 0x54575757, 0));
}

TEST_F(GtkWindowTest, CloseRequestAndAcceleratorsBecomeCommands) {
    TestListener listener;
    auto window = OpenFilled(listener, Rect{600, 400, 720, 460}, kRed,
                             [](NativeWindow& w) { w.SetTitle("Harkbox display test"); });
    ASSERT_TRUE(window);
    EXPECT_TRUE(RunUntil(
        [] {
            Tool(
                "xdotool mousemove 650 430 search --name 'Harkbox display test' windowfocus --sync "
                "key alt+slash alt+question");
        },
        [&] {
            int hits = 0;
            for (const Event& e : listener.Events())
                hits += e.kind == "command" && e.a == 104;
            return hits == 2;
        }));
    EXPECT_TRUE(RunUntil([] { RequestClose("Harkbox display test"); },
                         [&] { return listener.Has("command", int32_t(kClose), 0); }));
    // The window is still there: the owner decides about closing.
    EXPECT_EQ(window->GetWindowRect(), (Rect{600, 400, 720, 460}));
}

// Counts the settings dialog's commands; read from any thread.
class DialogListener : public SettingsDialogListener {
  public:
    bool command(uint32_t code, uint32_t) override {
        std::lock_guard<std::mutex> lock(mutex_);
        ++counts_[code];
        return true;
    }
    int Count(uint32_t code) {
        std::lock_guard<std::mutex> lock(mutex_);
        return counts_[code];
    }

  private:
    std::mutex mutex_;
    std::map<uint32_t, int> counts_;
};

TEST_F(GtkWindowTest, TheSettingsDialogReportsTheUsersActionsOnly) {
    constexpr uint32_t kList = 1, kButton = 2, kCloseBox = 3;
    DialogListener listener;
    int error = -1;
    auto dialog = system_->CreateSettingsDialog(
        {"Harkbox dialog test", "Input device:", "Levels...", kList, kButton, kCloseBox}, listener,
        error);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(error, 0);
    EXPECT_FALSE(dialog->IsVisible());
    // Changes made by the program deliver nothing.
    dialog->SetItems({"none"}, 0, false);
    dialog->SetItems({"Mic", "Line In", "USB"}, 1, true);
    EXPECT_EQ(dialog->Items(), (std::vector<std::string>{"Mic", "Line In", "USB"}));
    EXPECT_EQ(dialog->SelectedItem(), 1);
    EXPECT_TRUE(dialog->ListEnabled());
    dialog->Show();
    EXPECT_TRUE(dialog->IsVisible());

    // The list has the focus: Down picks the next entry, one command.
    EXPECT_TRUE(RunUntil(
        [] {
            Tool(
                "xdotool search --sync --onlyvisible --name 'Harkbox dialog test' "
                "windowfocus --sync sleep 0.3 key Down");
        },
        [&] { return listener.Count(kList) > 0; }));
    EXPECT_EQ(listener.Count(kList), 1);
    EXPECT_EQ(dialog->SelectedItem(), 2);
    // Opening and closing the drop-down without a change is one command too;
    // its Escape closes the drop-down only.
    EXPECT_TRUE(RunUntil([] { Tool("xdotool key alt+Down sleep 0.5 key Escape"); },
                         [&] { return listener.Count(kList) > 1; }));
    EXPECT_EQ(listener.Count(kList), 2);
    EXPECT_EQ(listener.Count(kCloseBox), 0);
    EXPECT_EQ(dialog->SelectedItem(), 2);
    // Picking from the drop-down changes and closes it: still one command.
    EXPECT_TRUE(RunUntil([] { Tool("xdotool key alt+Down sleep 0.5 key Up Return"); },
                         [&] { return listener.Count(kList) > 2; }));
    EXPECT_EQ(listener.Count(kList), 3);
    EXPECT_EQ(dialog->SelectedItem(), 1);
    EXPECT_TRUE(RunUntil([] { Tool("xdotool key Escape"); },
                         [&] { return listener.Count(kCloseBox) == 1; }));
    EXPECT_TRUE(RunUntil([] { RequestClose("Harkbox dialog test"); },
                         [&] { return listener.Count(kCloseBox) == 2; }));
    // The owner decides about hiding.
    EXPECT_TRUE(dialog->IsVisible());
    dialog->SetItems({"none"}, 0, false);
    EXPECT_FALSE(dialog->ListEnabled());
    dialog->Hide();
    EXPECT_FALSE(dialog->IsVisible());
    EXPECT_EQ(listener.Count(kList), 3);
    EXPECT_EQ(listener.Count(kButton), 0);
}

}  // namespace
}  // namespace quil
