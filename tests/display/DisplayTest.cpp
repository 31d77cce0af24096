// On a real X display: the native window backend (placement, presentation
// with shaped corners, mouse and keyboard, the popup menu, the settings
// dialog) and the harkbox program itself (where its window opens, what it
// shows, resizing and moving with the mouse, what it stores when it closes).
// Needs DISPLAY (scripts/test starts Xvfb), xdotool and ImageMagick; skips
// otherwise. Every wait has a deadline.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/PlatformWindowSystem.h"
#include "tests/ChildProcess.h"

// Last: Xlib's macros must not meet the project's names.
#include <X11/Xlib.h>

namespace quil {

inline void PrintTo(const Rect& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Output;
using test::ReadFile;
using test::Shell;

constexpr uint32_t kClose = uint32_t('c') << 24 | uint32_t('l') << 16 | uint32_t('o') << 8 | 's';
constexpr uint32_t kBlue = 0xFF2040C0, kRed = 0xFFC04020, kGreen = 0xFF20C040;
constexpr uint32_t kWindowFlags = kWindowLayered | kWindowCustomFrame | kWindowSizingBorder;

// Asks `done` every 20 ms until it holds or `limit` has passed.
bool Poll(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

bool CanDrive() {
    return std::getenv("DISPLAY") &&
           Shell("command -v xdotool >/dev/null && command -v import >/dev/null");
}

std::string Text(int32_t a, int32_t b) {
    return std::to_string(a) + "," + std::to_string(b);
}

// The screen's pixels in `r` as 0xRRGGBB, row by row; empty when the
// capture failed.
std::vector<uint32_t> Screenshot(const Rect& r) {
    const fs::path file = fs::temp_directory_path() / ("harkbox-shot-" + std::to_string(getpid()));
    std::vector<uint32_t> pixels;
    if (Shell("import -window root -crop " + std::to_string(r.Width()) + "x" +
              std::to_string(r.Height()) + "+" + std::to_string(r.left) + "+" +
              std::to_string(r.top) + " +repage -depth 8 rgb:'" + file.string() +
              "' 2>/dev/null")) {
        const std::string b = ReadFile(file);
        for (size_t i = 0; i + 2 < b.size(); i += 3)
            pixels.push_back(uint32_t(uint8_t(b[i])) << 16 | uint32_t(uint8_t(b[i + 1])) << 8 |
                             uint8_t(b[i + 2]));
    }
    std::error_code ignored;
    fs::remove(file, ignored);
    return pixels.size() == size_t(r.Width() * r.Height()) ? pixels : std::vector<uint32_t>{};
}

bool Shows(int32_t x, int32_t y, uint32_t colour) {
    return Screenshot(Rect{x, y, x + 1, y + 1}) == std::vector<uint32_t>{colour & 0xFFFFFF};
}

// Asks the window titled `title` to close as a window manager's close button
// does, with the WM_DELETE_WINDOW message: the test display has no window
// manager to send it.
bool RequestClose(const std::string& title) {
    const unsigned long id =
        std::strtoul(Output("xdotool search --name '" + title + "'").c_str(), nullptr, 10);
    Display* display = id ? XOpenDisplay(nullptr) : nullptr;
    if (!display)
        return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    const bool sent = XSendEvent(display, id, False, NoEventMask, &event) != 0;
    XCloseDisplay(display);
    return sent;
}

// Logs what the window or dialog reports ("down 10,15 1"), from any thread,
// and paints a fixed image. The whole window is client area.
class TestListener : public NativeWindowListener, public SettingsDialogListener {
  public:
    NativeWindow* window = nullptr;
    std::vector<MenuItem> menu;  // opened by a right press when not empty

    void SetImage(int32_t width, int32_t height, const std::function<uint32_t(int, int)>& pixel) {
        std::lock_guard<std::mutex> lock(mutex_);
        width_ = width;
        image_.clear();
        for (int i = 0; i < width * height; ++i)
            image_.push_back(pixel(i % width, i / width));
    }
    int Count(const std::string& entry) {
        std::lock_guard<std::mutex> lock(mutex_);
        return int(std::count(log_.begin(), log_.end(), entry));
    }
    // The entries of one kind ("down"), without it.
    std::vector<std::string> Of(const std::string& kind) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> found;
        for (const std::string& entry : log_) {
            if (entry.rfind(kind + " ", 0) == 0)
                found.push_back(entry.substr(kind.size() + 1));
        }
        return found;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        log_.clear();
    }

    bool sizeChanged(int32_t w, int32_t h) override { return Note("size " + Text(w, h)); }
    bool moved(int32_t x, int32_t y) override { return Note("moved " + Text(x, y)); }
    bool paint() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!image_.empty())
            window->PaintPixels(image_.data(), width_ * 4, width_, int32_t(image_.size()) / width_);
        return true;
    }
    bool mouseDown(int32_t x, int32_t y, int32_t count, int32_t) override {
        return Note("down " + Text(x, y) + " " + std::to_string(count));
    }
    bool mouseUp(int32_t x, int32_t y) override { return Note("up " + Text(x, y)); }
    bool rightMouseDown(int32_t x, int32_t y, int32_t, int32_t) override {
        Note("rdown " + Text(x, y));
        return menu.empty() || Note("menu " + std::to_string(window->PopupMenu(menu, x, y)));
    }
    bool rightMouseUp(int32_t x, int32_t y) override { return Note("rup " + Text(x, y)); }
    bool mouseMoved(int32_t, int32_t) override { return true; }
    bool command(uint32_t code, uint32_t argument) override {
        return Note("command " + Text(int32_t(code), int32_t(argument)));
    }
    bool isResizeArea(int32_t, int32_t) override { return false; }
    bool isClientArea(int32_t, int32_t) override { return true; }
    bool isCaptionArea(int32_t, int32_t) override { return false; }

  private:
    bool Note(const std::string& entry) {
        std::lock_guard<std::mutex> lock(mutex_);
        log_.push_back(entry);
        return true;
    }

    std::mutex mutex_;
    std::vector<uint32_t> image_;
    int32_t width_ = 0;
    std::vector<std::string> log_;
};

class GtkWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!CanDrive())
            GTEST_SKIP() << "no DISPLAY, xdotool or ImageMagick";
        static std::unique_ptr<WindowSystem> system = [] {
            static char name[] = "harkbox-display-test";
            static char* args[] = {name, nullptr};
            int argc = 1;
            char** argv = args;
            return CreatePlatformWindowSystem(argc, argv);
        }();
        system_ = system.get();
        if (!system_)
            GTEST_SKIP() << "the display cannot be opened";
    }

    // Opens a window at `rect` filled with `colour` (none: left to the
    // caller), shows it and waits until the screen shows its corner.
    std::unique_ptr<NativeWindow> Open(TestListener& listener, const Rect& rect, uint32_t colour,
                                       uint32_t flags = kWindowFlags) {
        int error = 0;
        auto window = system_->CreateNativeWindow(rect, flags, listener, error);
        EXPECT_EQ(error, 0);
        if (!window)
            return window;
        listener.window = window.get();
        if (colour == 0)
            return window;
        listener.SetImage(int32_t(rect.Width()), int32_t(rect.Height()),
                          [colour](int, int) { return colour; });
        window->Show(true);
        EXPECT_TRUE(RunUntil([&] { return Shows(rect.left, rect.top, colour); }));
        return window;
    }

    // Runs the main loop while another thread does `action` and then waits
    // for `done`, at most 5 s. Answers whether `done` came true.
    bool RunUntil(const std::function<void()>& action, const std::function<bool()>& done) {
        std::atomic<bool> ok{false};
        std::thread helper([&] {
            action();
            ok = Poll(done);
            system_->PostQuit(0);
        });
        system_->RunMainLoop();
        helper.join();
        return ok;
    }
    bool RunUntil(const std::function<bool()>& done) {
        return RunUntil([] {}, done);
    }
    // RunUntil for an xdotool command.
    bool RunUntil(const std::string& xdotool, const std::function<bool()>& done) {
        return RunUntil([xdotool] { Shell("xdotool " + xdotool + " >/dev/null 2>&1"); }, done);
    }

    WindowSystem* system_ = nullptr;
};

TEST_F(GtkWindowTest, ShowsTheImageAtItsPlaceWithTransparentCornersShowingWhatIsBelow) {
    // A green backdrop, then the test window above it: a blue left half and
    // a red right half, with 8 x 8 transparent corners.
    const Rect rect{100, 120, 220, 180};
    TestListener backdropListener, listener;
    auto backdrop = Open(backdropListener, Rect{90, 110, 230, 190}, kGreen, 0);
    ASSERT_TRUE(backdrop);
    auto window = Open(listener, rect, 0);
    ASSERT_TRUE(window);
    const auto corner = [](int x, int y) { return (x < 8 || x >= 112) && (y < 8 || y >= 52); };
    listener.SetImage(120, 60, [&](int x, int y) {
        return corner(x, y) ? 0 : x < 60 ? kBlue : kRed;
    });
    EXPECT_EQ(window->IsLayered(), system_->LayeredAvailable());
    window->Show(true);
    window->Present(nullptr, 480, 120, 60, {});
    const std::tuple<int, int, uint32_t> probes[] = {
        {8, 0, kBlue},  {119, 30, kRed}, {0, 0, kGreen},   {119, 59, kGreen}, {59, 30, kBlue},
        {60, 30, kRed}, {7, 7, kGreen},  {112, 0, kGreen}, {0, 8, kBlue}};
    std::string wrong;
    EXPECT_TRUE(RunUntil([&] {
        const auto shot = Screenshot(rect);
        wrong.clear();
        for (const auto& [x, y, colour] : probes) {
            if (shot.empty() || shot[size_t(y * 120 + x)] != (colour & 0xFFFFFF))
                wrong += Text(x, y) + " ";
        }
        return wrong.empty();
    })) << "not as drawn at "
        << wrong;
    EXPECT_EQ(window->GetWindowRect(), rect);
    EXPECT_EQ(window->GetClientRect(), (Rect{0, 0, 120, 60}));

    // A partial present reaches the screen too.
    listener.SetImage(120, 60, [&](int x, int y) { return corner(x, y) ? 0 : kGreen; });
    window->Present(nullptr, 480, 120, 60, {Rect{10, 10, 20, 20}});
    EXPECT_TRUE(RunUntil([&] { return Shows(110, 130, kGreen); }));
}

// Presses, the popup menu and a close request reach the listener; placing
// the window keeps to its tracking limits.
TEST_F(GtkWindowTest, InputReachesTheListenerAndPlacementKeepsTheLimits) {
    TestListener listener;
    listener.menu = {
        {"First Item", 0x54575757, false}, {"", 0, true}, {"Second", 0x71756974, false}};
    auto window = Open(listener, Rect{300, 300, 420, 360}, kBlue);
    ASSERT_TRUE(window);
    window->SetTitle("Harkbox display test");
    window->SetTrackingLimits(100, 60, 160, 60);
    // A left click, then a double click.
    EXPECT_TRUE(RunUntil("mousemove 310 315 click 1", [&] { return listener.Count("up 10,15"); }));
    EXPECT_EQ(listener.Of("down"), std::vector<std::string>{"10,15 1"});
    listener.Clear();
    EXPECT_TRUE(RunUntil("mousemove 312 316 sleep 0.5 click --repeat 2 --delay 60 1",
                         [&] { return listener.Of("up").size() == 2; }));
    EXPECT_EQ(listener.Of("down"), (std::vector<std::string>{"12,16 1", "12,16 2"}));

    // A right press opens the menu, which answers the chosen code or 0. The
    // keys are sent until the menu has answered: keys that arrive before the
    // menu holds the keyboard go to the window and do nothing.
    for (const std::pair<std::string, int> step :
         {std::pair{"Escape", 0}, {"Down Down Return", 0x71756974}}) {
        listener.Clear();
        EXPECT_TRUE(RunUntil(
            [&] {
                Shell("xdotool mousemove 380 350 click 3");
                Poll([&] {
                    std::this_thread::sleep_for(300ms);
                    if (!listener.Of("menu").empty())
                        return true;
                    Shell("xdotool key " + step.first);
                    return false;
                });
            },
            [&] { return !listener.Of("menu").empty(); }));
        EXPECT_EQ(listener.Of("menu"), std::vector<std::string>{std::to_string(step.second)})
            << step.first;
        EXPECT_EQ(listener.Count("rdown 80,50"), 1);
    }

    // A close request becomes a command; the window stays: its owner
    // decides about closing.
    EXPECT_TRUE(RunUntil([] { RequestClose("Harkbox display test"); },
                         [&] { return listener.Count("command " + Text(int32_t(kClose), 0)); }));

    // Placing the window reports at once and keeps the limits, and the
    // system agrees once it has placed the window.
    listener.Clear();
    window->SetWindowRect(Rect{320, 310, 370, 400});
    EXPECT_EQ(window->GetWindowRect(), (Rect{320, 310, 420, 370}));
    EXPECT_TRUE(listener.Count("moved 320,310") && listener.Count("size 100,60"));
    EXPECT_TRUE(RunUntil([&] { return Shows(419, 310, kBlue) && !Shows(420, 310, kBlue); }));
    EXPECT_EQ(window->GetWindowRect(), (Rect{320, 310, 420, 370}));
}

TEST_F(GtkWindowTest, TheSettingsDialogReportsTheUsersActionsOnly) {
    TestListener listener;  // commands: 1 the list, 2 the button, 3 the close box
    int error = -1;
    auto dialog = system_->CreateSettingsDialog(
        {"Harkbox dialog test", "Input device:", "Levels...", 1, 2, 3}, listener, error);
    ASSERT_TRUE(dialog);
    // Changes made by the program deliver nothing.
    dialog->SetItems({"none"}, 0, false);
    dialog->SetItems({"Mic", "Line In", "USB"}, 1, true);
    EXPECT_EQ(dialog->Items(), (std::vector<std::string>{"Mic", "Line In", "USB"}));
    EXPECT_TRUE(dialog->ListEnabled());
    dialog->Show();
    // The list has the focus: Down picks the next entry, one command.
    // Opening and closing the drop-down without a change is one command too,
    // its Escape closing the drop-down only; picking from it changes and
    // closes it, still one command. Escape asks to close.
    struct Step {
        std::string keys;
        int lists, closes, selected;
    };
    const Step steps[] = {
        {"search --sync --onlyvisible --name 'Harkbox dialog test' windowfocus --sync sleep 0.3 "
         "key Down",
         1, 0, 2},
        {"key alt+Down sleep 0.5 key Escape", 2, 0, 2},
        {"key alt+Down sleep 0.5 key Up Return", 3, 0, 1},
        {"key Escape", 3, 1, 1}};
    for (const Step& step : steps) {
        EXPECT_TRUE(RunUntil(step.keys, [&] {
            return listener.Count("command 1,0") >= step.lists &&
                   listener.Count("command 3,0") >= step.closes;
        })) << step.keys;
        EXPECT_EQ(listener.Count("command 1,0"), step.lists) << step.keys;
        EXPECT_EQ(listener.Count("command 3,0"), step.closes) << step.keys;
        EXPECT_EQ(dialog->SelectedItem(), step.selected) << step.keys;
    }
    EXPECT_EQ(listener.Of("command").size(), 4u) << "the button was not pressed";
}

// The harkbox program in its own configuration folder, with the fonts of the
// reference picture (Liberation Sans as "Arial", DejaVu Sans as
// "LastResort") and no sound server, so that the window shows the no-input
// state of the reference picture whatever the machine has.
class HarkboxWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!CanDrive())
            GTEST_SKIP() << "no DISPLAY, xdotool or ImageMagick";
        std::string pattern = (fs::temp_directory_path() / "harkbox-display-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        fs::create_directories(root_ / "windows" / "Fonts");
        fs::create_symlink("/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
                           root_ / "windows" / "Fonts" / "Arial.ttf");
        fs::create_symlink("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                           root_ / "windows" / "Fonts" / "LastResort.ttf");
    }
    void TearDown() override {
        program_.reset();
        std::error_code ignored;
        if (!root_.empty())
            fs::remove_all(root_, ignored);
    }

    fs::path Settings() const {
        return root_ / "config" / "Harkbox Project" / "Harkbox" / "Settings.reg";
    }
    void Store(const std::string& text) {
        fs::create_directories(Settings().parent_path());
        std::ofstream(Settings(), std::ios::binary) << text;
    }

    // Starts the program and waits for its window; answers where it is.
    Rect Start() {
        // SIGTERM and SIGINT at their defaults, whatever this test inherited
        // (a background job ignores SIGINT): the program keeps an ignored
        // signal ignored.
        const auto terminate = std::signal(SIGTERM, SIG_DFL),
                   interrupt = std::signal(SIGINT, SIG_DFL);
        // No accessibility bus: the bare X server has none, and its client
        // library keeps memory that the leak checker would report.
        program_.emplace(HARKBOX_PROGRAM, std::vector<std::string>{},
                         std::vector<std::string>{"XDG_CONFIG_HOME=" + (root_ / "config").string(),
                                                  "SYSTEMROOT=" + (root_ / "windows").string(),
                                                  "PULSE_SERVER=unix:" + (root_ / "none").string(),
                                                  "NO_AT_BRIDGE=1"},
                         (root_ / "log").string());
        std::signal(SIGTERM, terminate);
        std::signal(SIGINT, interrupt);
        window_.clear();
        Poll(
            [&] {
                window_ =
                    Output("xdotool search --onlyvisible --pid " + std::to_string(program_->pid()) +
                           " --name '^Harkbox$' 2>/dev/null | head -n 1");
                window_.erase(window_.find_last_not_of(" \n") + 1);
                return !window_.empty();
            },
            10s);
        EXPECT_FALSE(window_.empty()) << "no window appeared";
        return WaitFor([](const Rect& r) { return r.right > r.left; });
    }

    // The window's place once it satisfies `ok` (at most 5 s), else its last.
    Rect WaitFor(const std::function<bool(const Rect&)>& ok) {
        Rect r;
        Poll([&] {
            int x = 0, y = 0, width = 0, height = 0;
            std::sscanf(Output("xdotool getwindowgeometry --shell " + window_).c_str(),
                        "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &x, &y, &width, &height);
            return ok(r = Rect{x, y, x + width, y + height});
        });
        return r;
    }

    // Compares the window at `r` with the reference picture of the headless
    // tests, every opaque pixel once the window has drawn; the transparent
    // corners show the root window, whatever it is.
    void ExpectLooksLikeTheReference(const Rect& r) {
        const fs::path reference =
            fs::path(HARKBOX_SOURCE_DIR) / "tests/app/reference/idle-window-200.png";
        const fs::path raw = root_ / "reference.rgba";
        ASSERT_TRUE(
            Shell("convert '" + reference.string() + "' -depth 8 rgba:'" + raw.string() + "'"));
        const std::string ref = ReadFile(raw);
        ASSERT_EQ(ref.size(), size_t(200 * 66 * 4));
        int worst = 0;
        Poll([&] {
            std::this_thread::sleep_for(200ms);
            const std::vector<uint32_t> shot = Screenshot(r);
            worst = shot.empty() ? 255 : 0;
            for (size_t i = 0; i < shot.size(); ++i) {
                for (int c = 0; c < 3 && uint8_t(ref[i * 4 + 3]) == 255; ++c) {
                    worst = std::max(worst, std::abs(int(uint8_t(ref[i * 4 + c])) -
                                                     int((shot[i] >> (16 - 8 * c)) & 0xFF)));
                }
            }
            return worst <= 2;
        });
        EXPECT_LE(worst, 2) << "the window on the screen differs from " << reference;
    }

    // Right-clicks at window position (100, 20) of `r` and picks "Close",
    // the menu's fifth entry (the separator not counted), with the keyboard
    // once the menu has taken it.
    void CloseFromMenu(const Rect& r) {
        Shell("xdotool mousemove " + std::to_string(r.left + 100) + " " +
              std::to_string(r.top + 20) + " click 3");
        std::this_thread::sleep_for(300ms);
        Shell("xdotool key --delay 60 Down Down Down Down Down Return");
    }

    fs::path root_;
    std::optional<test::ChildProcess> program_;
    std::string window_;
};

TEST_F(HarkboxWindowTest, OpensWhereItWasClosedAndResizesMovesAndStoresTheWindow) {
    Store(
        "Harkbox Settings 1\n\"HarkboxWindowOrigin\"=\"(120, 90)\"\r\n"
        "\"HarkboxWindowWidth\"=dword:0000012c\r\n");
    Rect r = Start();
    ASSERT_EQ(r, (Rect{120, 90, 420, 156})) << ReadFile(Settings());
    // The right edge dragged far beyond the maximum width, then the body
    // between the texts and the buttons: the whole window moves.
    const std::tuple<const char*, Rect> steps[] = {
        {"mousemove 417 120 sleep 0.1 mousedown 1 sleep 0.1 mousemove 440 120 sleep 0.1 "
         "mousemove 600 120 sleep 0.1 mousemove 800 120 sleep 0.1 mouseup 1",
         Rect{120, 90, 520, 156}},
        {"mousemove 300 150 mousedown 1 mousemove 320 170 mousemove 350 200 mouseup 1",
         Rect{170, 140, 570, 206}}};
    for (const auto& [drag, want] : steps) {
        std::this_thread::sleep_for(200ms);
        Shell(std::string("xdotool ") + drag);
        r = WaitFor([&](const Rect& now) { return now == want; });
        EXPECT_EQ(r, want) << drag;
    }
    CloseFromMenu(r);
    EXPECT_EQ(program_->Wait(10), 0);
    const std::string stored = ReadFile(Settings());
    EXPECT_NE(stored.find("\"HarkboxWindowOrigin\"=\"(170, 140)\""), std::string::npos) << stored;
    EXPECT_NE(stored.find("\"HarkboxWindowWidth\"=dword:00000190"), std::string::npos) << stored;
}

// A terminate request or Ctrl-C closes like the menu, and hostile settings
// neither stop nor hang the program; what the file holds afterwards the
// close stored.
TEST_F(HarkboxWindowTest, TerminateClosesLikeTheMenuAndHostileSettingsDoNoHarm) {
    int screenWidth = 0, screenHeight = 0;
    std::sscanf(Output("xdotool getdisplaygeometry").c_str(), "%d %d", &screenWidth, &screenHeight);
    ASSERT_GT(screenWidth, 200);
    const std::string clamped = "(" + std::to_string(screenWidth - 200) + ", 40)";
    // Signal (0: closed by the menu), what the settings file holds before
    // (null: nothing, "": a FIFO), and what the file must hold afterwards.
    // With nothing stored the window opens at the default place and looks
    // like the reference picture.
    const std::string idle = "Origin\"=\"(40, 40)\"\n\"HarkboxWindowWidth\"=dword:000000c8";
    const std::tuple<int, const char*, std::string> cases[] = {
        {SIGTERM, nullptr, idle},
        {SIGINT, "", ""},                                                // Ctrl-C, over a FIFO
        {0, "\"HarkboxWindowOrigin\"=\"(2147483600, 40)\"\n", clamped},  // near the limit
    };
    for (const auto& [signal, settings, stored] : cases) {
        SCOPED_TRACE(::testing::Message() << signal << " " << (settings ? settings : "none"));
        std::error_code ignored;
        fs::remove_all(Settings().parent_path(), ignored);
        if (settings && !*settings) {
            fs::create_directories(Settings().parent_path());
            ASSERT_EQ(mkfifo(Settings().c_str(), 0600), 0);
        } else if (settings) {
            Store(std::string("Harkbox Settings 1\n") + settings);
        }
        const Rect r = Start();
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= screenWidth &&
                    r.bottom <= screenHeight && r.right > r.left);
        if (signal == SIGTERM)
            ExpectLooksLikeTheReference(r);
        EXPECT_TRUE(!signal || r == (Rect{40, 40, 240, 106}));
        signal ? (void)program_->Signal(signal) : CloseFromMenu(r);
        EXPECT_EQ(program_->Wait(10), 0);
        const bool fifo = fs::is_fifo(Settings());
        EXPECT_EQ(fifo, settings && !*settings);
        const std::string text = fifo ? "" : ReadFile(Settings());
        EXPECT_NE(text.find(stored), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace quil
