// The harkbox program itself on a real X display: where its window opens,
// what it shows, resizing and moving with the mouse, the popup menu, and
// what it stores when it closes, also when a signal ends it. Needs DISPLAY (scripts/test starts
// Xvfb), xdotool and ImageMagick; skips otherwise. Every wait has a deadline.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>
#include "tests/ShellCommands.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Asks `done` every 50 ms until it holds or `limit` has passed; answers its last answer.
template <typename Done>
bool Poll(Done done, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

using quil::test::Output;
using quil::test::ReadFile;
using quil::test::Shell;

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Geometry&) const = default;
};

// One run of the program with its own configuration folder and the same
// fonts as the reference picture (Liberation Sans as "Arial", DejaVu Sans as
// "LastResort").
class Harkbox {
  public:
    explicit Harkbox(const fs::path& root) : root_(root) {
        fs::create_directories(root_ / "windows" / "Fonts");
        fs::create_directories(root_ / "config");
        std::error_code ignored;
        fs::create_symlink("/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
                           root_ / "windows" / "Fonts" / "Arial.ttf", ignored);
        fs::create_symlink("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                           root_ / "windows" / "Fonts" / "LastResort.ttf", ignored);
    }
    ~Harkbox() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    fs::path settingsFile() const {
        return root_ / "config" / "Harkbox Project" / "Harkbox" / "Settings.reg";
    }

    void Store(const std::string& text) {
        fs::create_directories(settingsFile().parent_path());
        std::ofstream(settingsFile(), std::ios::binary) << text;
    }

    bool Launch() {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (entry.rfind("XDG_CONFIG_HOME=", 0) != 0 && entry.rfind("SYSTEMROOT=", 0) != 0 &&
                entry.rfind("PULSE_SERVER=", 0) != 0)
                env.push_back(entry);
        }
        env.push_back("XDG_CONFIG_HOME=" + (root_ / "config").string());
        env.push_back("SYSTEMROOT=" + (root_ / "windows").string());
        // No sound server: the window shows the no-input state of the
        // reference picture whatever the machine has.
        env.push_back("PULSE_SERVER=unix:" + (root_ / "no-sound-server").string());
        // No accessibility bus: the bare X server has none, and its client
        // library keeps memory that the leak checker would report.
        env.push_back("NO_AT_BRIDGE=1");
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string program = HARKBOX_PROGRAM;
        char* argv[] = {program.data(), nullptr};
        // The signals at their defaults, whatever this test inherited (a
        // background job ignores SIGINT, and the program keeps that).
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        const bool started =
            posix_spawn(&pid_, program.c_str(), nullptr, &attributes, argv, envp.data()) == 0;
        posix_spawnattr_destroy(&attributes);
        return started;
    }

    // The program's visible top-level window, waited for.
    std::string Window() {
        if (!window_.empty())
            return window_;
        Poll(
            [&] {
                window_ = Output("xdotool search --onlyvisible --pid " + std::to_string(pid_) +
                                 " --name '^Harkbox$' 2>/dev/null | head -n 1");
                while (!window_.empty() && (window_.back() == '\n' || window_.back() == ' '))
                    window_.pop_back();
                return !window_.empty();
            },
            10s);
        return window_;
    }

    Geometry Where() {
        Geometry g;
        const std::string out = Output("xdotool getwindowgeometry --shell " + Window());
        std::sscanf(out.c_str(), "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &g.x, &g.y, &g.width,
                    &g.height);
        return g;
    }

    // Waits until the window's geometry satisfies `ok`; answers the last one.
    template <typename Ok>
    Geometry WaitFor(Ok ok) {
        Geometry g;
        Poll([&] { return ok(g = Where()); }, 5s);
        return g;
    }

    bool Signal(int number) { return pid_ > 0 && kill(pid_, number) == 0; }

    // The exit status, or nullopt when the program still runs at the deadline.
    std::optional<int> WaitForExit() {
        int status = 0;
        if (!Poll([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, 10s))
            return std::nullopt;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // The screen's pixels under the window as RGB bytes.
    std::vector<uint8_t> Screenshot(const Geometry& g) {
        const fs::path out = root_ / "shot.rgb";
        const std::string crop = std::to_string(g.width) + "x" + std::to_string(g.height) + "+" +
                                 std::to_string(g.x) + "+" + std::to_string(g.y);
        if (!Shell("import -window root -crop " + crop + " +repage -depth 8 rgb:'" + out.string() +
                   "'"))
            return {};
        const std::string bytes = ReadFile(out);
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    }

  private:
    fs::path root_;
    pid_t pid_ = -1;
    std::string window_;
};

class HarkboxWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no DISPLAY";
        if (!Shell("command -v xdotool >/dev/null && command -v import >/dev/null"))
            GTEST_SKIP() << "xdotool or ImageMagick missing";
        std::string pattern = (fs::temp_directory_path() / "harkbox-display-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        program_.emplace(root_);
    }
    void TearDown() override {
        program_.reset();
        std::error_code ignored;
        if (!root_.empty())
            fs::remove_all(root_, ignored);
    }

    // Starts the program and waits for its window.
    Geometry Start() {
        EXPECT_TRUE(program_->Launch());
        EXPECT_FALSE(program_->Window().empty()) << "no window appeared";
        return program_->WaitFor([](const Geometry& g) { return g.width > 0; });
    }

    // Right-clicks at window position (x, y) and picks the menu's `item`-th
    // entry (1-based, the separator not counted) with the keyboard.
    void ChooseFromMenu(const Geometry& g, int x, int y, int item) {
        Shell("xdotool mousemove " + std::to_string(g.x + x) + " " + std::to_string(g.y + y) +
              " click 3");
        // The menu takes the keyboard once it is mapped.
        std::this_thread::sleep_for(300ms);
        std::string keys;
        for (int i = 0; i < item; ++i)
            keys += " Down";
        Shell("xdotool key --delay 60" + keys + " Return");
    }

    fs::path root_;
    std::optional<Harkbox> program_;
};

TEST_F(HarkboxWindowTest, OpensAtTheDefaultPlaceAndLooksLikeTheReference) {
    const Geometry g = Start();
    EXPECT_EQ(g, (Geometry{40, 40, 200, 66}));

    // The reference picture of the headless tests, as straight RGBA.
    const fs::path reference =
        fs::path(HARKBOX_SOURCE_DIR) / "tests/app/reference/idle-window-200.png";
    const fs::path raw = root_ / "reference.rgba";
    ASSERT_TRUE(Shell("convert '" + reference.string() + "' -depth 8 rgba:'" + raw.string() + "'"));
    const std::string ref = ReadFile(raw);
    ASSERT_EQ(ref.size(), size_t(200 * 66 * 4));

    // Give the window time to draw, then compare every opaque pixel; the
    // transparent corners show the root window, whatever it is.
    std::vector<uint8_t> shot;
    size_t worst = 0;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    do {
        std::this_thread::sleep_for(200ms);
        shot = program_->Screenshot(g);
        ASSERT_EQ(shot.size(), size_t(200 * 66 * 3));
        worst = 0;
        for (size_t i = 0; i < size_t(200 * 66); ++i) {
            if (uint8_t(ref[i * 4 + 3]) != 255)
                continue;
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(int(uint8_t(ref[i * 4 + c])) - int(shot[i * 3 + c]));
                worst = std::max(worst, size_t(d));
            }
        }
    } while (worst > 2 && std::chrono::steady_clock::now() < deadline);
    EXPECT_LE(worst, 2u) << "the window on the screen differs from " << reference;
}

TEST_F(HarkboxWindowTest, OpensWhereItWasClosedAndAdjustsResizesMovesAndStoresTheWindow) {
    program_->Store(
        "Harkbox Settings 1\n"
        "\"HarkboxWindowOrigin\"=\"(120, 90)\"\r\n"
        "\"HarkboxWindowWidth\"=dword:0000012c\r\n");
    Geometry g = Start();
    ASSERT_EQ(g, (Geometry{120, 90, 300, 66})) << ReadFile(program_->settingsFile());

    // "Adjust Window": the idle texts need only the narrowest width; again
    // restores the width.
    for (const int width : {200, 300}) {
        ChooseFromMenu(g, 100, 20, 4);
        g = program_->WaitFor([&](const Geometry& r) { return r.width == width; });
        EXPECT_EQ(g, (Geometry{120, 90, width, 66}));
    }

    // The right edge: drag 60 pixels wider, then far beyond the maximum.
    std::this_thread::sleep_for(200ms);
    Shell("xdotool mousemove 417 120 mousedown 1 mousemove 440 120 mousemove 477 120 mouseup 1");
    g = program_->WaitFor([](const Geometry& r) { return r.width == 360; });
    EXPECT_EQ(g, (Geometry{120, 90, 360, 66}));
    std::this_thread::sleep_for(200ms);
    Shell(
        "xdotool mousemove 477 120 sleep 0.1 mousedown 1 sleep 0.1 mousemove 520 120 sleep 0.1 "
        "mousemove 600 120 sleep 0.1 mousemove 800 120 sleep 0.1 mouseup 1");
    g = program_->WaitFor([](const Geometry& r) { return r.width == 400; });
    EXPECT_EQ(g, (Geometry{120, 90, 400, 66}));

    // The body between the texts and the buttons: the whole window moves.
    std::this_thread::sleep_for(200ms);
    Shell("xdotool mousemove 300 150 mousedown 1 mousemove 320 170 mousemove 350 200 mouseup 1");
    g = program_->WaitFor([](const Geometry& r) { return r.x == 170 && r.y == 140; });
    EXPECT_EQ(g, (Geometry{170, 140, 400, 66}));

    ChooseFromMenu(g, 100, 20, 5);  // "Close"
    EXPECT_EQ(program_->WaitForExit(), std::optional<int>(0));
    const std::string stored = ReadFile(program_->settingsFile());
    EXPECT_NE(stored.find("\"HarkboxWindowOrigin\"=\"(170, 140)\""), std::string::npos) << stored;
    EXPECT_NE(stored.find("\"HarkboxWindowWidth\"=dword:00000190"), std::string::npos) << stored;
}

TEST_F(HarkboxWindowTest, TerminateAndInterruptCloseLikeTheMenu) {
    // Nothing stored before: what the file holds afterwards the close stored.
    for (const int number : {SIGTERM, SIGINT}) {
        std::error_code ignored;
        fs::remove(program_->settingsFile(), ignored);
        program_.emplace(root_);
        ASSERT_EQ(Start(), (Geometry{40, 40, 200, 66})) << number;
        ASSERT_TRUE(program_->Signal(number));
        EXPECT_EQ(program_->WaitForExit(), std::optional<int>(0)) << number;
        const std::string stored = ReadFile(program_->settingsFile());
        EXPECT_NE(stored.find("\"HarkboxWindowOrigin\"=\"(40, 40)\""), std::string::npos) << stored;
        EXPECT_NE(stored.find("\"HarkboxWindowWidth\"=dword:000000c8"), std::string::npos)
            << stored;
    }
}

TEST_F(HarkboxWindowTest, HostileSettingsNeitherStopNorHangTheProgram) {
    int screenWidth = 0;
    int screenHeight = 0;
    std::sscanf(Output("xdotool getdisplaygeometry").c_str(), "%d %d", &screenWidth, &screenHeight);
    ASSERT_GT(screenWidth, 200);
    const std::string clampedOrigin =
        "\"HarkboxWindowOrigin\"=\"(" + std::to_string(screenWidth - 200) + ", 40)\"";
    const fs::path file = program_->settingsFile();
    const fs::path leftover = file.parent_path() / "Settings.reg.new-Ab12Cd";
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::function<void()> check;  // after the program closed
    };
    const Case cases[] = {
        {"origin near the integer limit",
         [&] {
             program_->Store("Harkbox Settings 1\n\"HarkboxWindowOrigin\"=\"(2147483600, 40)\"\n");
         },
         [&] {
             const std::string stored = ReadFile(file);
             EXPECT_NE(stored.find(clampedOrigin), std::string::npos) << stored;
         }},
        {"FIFO at the settings file",
         [&] {
             fs::create_directories(file.parent_path());
             ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
         },
         [&] { EXPECT_TRUE(fs::is_fifo(file)); }},
        {"leftover of a write cut off",
         [&] {
             program_->Store("Harkbox Settings 1\n");
             std::ofstream(leftover) << "Harkbox Settings 1\n";
         },
         [&] {
             EXPECT_FALSE(fs::exists(leftover));
             EXPECT_NE(ReadFile(file).find("HarkboxWindowWidth"), std::string::npos);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::error_code ignored;
        fs::remove_all(file.parent_path(), ignored);
        c.prepare();
        program_.emplace(root_);
        const Geometry g = Start();
        EXPECT_TRUE(g.x >= 0 && g.y >= 0 && g.x + g.width <= screenWidth &&
                    g.y + g.height <= screenHeight)
            << g.x << "," << g.y << " " << g.width << "x" << g.height;
        if (g.width == 0)
            continue;
        ChooseFromMenu(g, 100, 20, 5);  // "Close"
        EXPECT_EQ(program_->WaitForExit(), std::optional<int>(0));
        c.check();
    }
}

}  // namespace
