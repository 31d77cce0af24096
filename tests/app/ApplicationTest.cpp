// The main window on the headless backend: start-up and its failures, the
// stored origin and width, the layout and its width changes, the hit areas,
// the commands and the popup menu, and the idle window against the committed
// reference picture. After a change of the artwork, the layout or the text
// drawing, look at the new picture and regenerate the reference:
//   HARKBOX_UPDATE_REFERENCE=1 build/dev/tests/harkbox_app_tests
//       --gtest_filter='AppTest.StartsWithoutInputAndMatchesTheReferencePicture'
#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <cstdlib>

#include "AppTestSupport.h"
#include "app/SettingsStore.h"

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

// The frames Frames() lists at the width 200 + `d`: the right end's elements
// move, all but the left end and the find button stretch.
std::vector<Rect> Layout(int32_t d) {
    std::vector<Rect> frames = {{0, 0, 24, 66},    {24, 0, 176, 66},  {176, 0, 200, 66},
                                {182, 8, 190, 16}, {173, 8, 181, 16}, {164, 8, 172, 16},
                                {40, 13, 167, 53}, {10, 21, 34, 45},  {176, 27, 188, 39},
                                {40, 13, 167, 31}, {40, 31, 167, 46}, {40, 46, 167, 59},
                                {178, 44, 194, 60}};
    for (size_t i : {2u, 3u, 4u, 5u, 8u, 12u})
        frames[i] = frames[i].Offset(d, 0);
    for (size_t i : {1u, 6u, 9u, 10u, 11u})
        frames[i].right += d;
    return frames;
}

TEST_F(AppTest, StartFailuresStoreNothing) {
    // The fonts removed, the window creation's error, Start's result and
    // what it says.
    const std::tuple<std::vector<const char*>, int, int, const char*> cases[] = {
        {{}, 7, 7, "Harkbox: cannot create the main window (error 7)\n"},
        {{"Arial.ttf", "LastResort.ttf"}, 0, -1, "Harkbox: no font found\n"},
        {{"Arial.ttf"}, 0, 0, ""},  // the second font alone is enough
    };
    for (const auto& [fonts, failCreate, result, said] : cases) {
        SCOPED_TRACE(said);
        TearDown();
        SetUp();
        for (const char* font : fonts)
            std::filesystem::remove(root_ / "windows" / "Fonts" / font);
        system_.FailNextCreate(failCreate);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(StartApp(), result);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), said);
        if (result == 0) {
            Window::LockGuard hold(app());
            EXPECT_GT(app().statusLine(0)->MeasureText(), 50.0f);
            continue;
        }
        app_.reset();
        EXPECT_FALSE(std::filesystem::exists(root_ / "config"));
    }
}

TEST_F(AppTest, StoredOriginAndWidthAreUsedOrFallBack) {
    // Each case has settings of its own: a fresh folder here, another key
    // in the registry of Windows.
    int n = 0;
    const Rect home{40, 40, 240, 106};
    // The stored origin (null: none) and width, the window creation's error
    // and where the window opens: where it cannot be made at the stored
    // place, at the defaults. A far origin kept on the screen is the display
    // test's, on the real program.
    const std::tuple<const char*, int32_t, int, Rect> cases[] = {
        {"(300, 120)", 400, 0, {300, 120, 700, 186}},
        {nullptr, 199, 0, home},
        {nullptr, 401, 0, home},
        {"(300, 120)", 400, 22, home},
    };
    for (const auto& [origin, width, failCreate, expected] : cases) {
        SCOPED_TRACE(std::string(origin ? origin : "-") + " " + std::to_string(width));
        std::filesystem::remove_all(root_ / "config");
        const std::string variant = std::to_string(++n);
        const std::string key = SettingsStore::BuildSettingsKey(testing::TestProgramPath(variant));
        if (origin)
            SettingsStore::WriteString(key, "HarkboxWindowOrigin", origin);
        SettingsStore::WriteInt(key, "HarkboxWindowWidth", width);
        system_.FailNextCreate(failCreate);
        ASSERT_EQ(StartApp(variant), 0);
        EXPECT_EQ(window().GetWindowRect(), expected);
        app_.reset();
    }
}

TEST_F(AppTest, WidthChangesMoveAndStretchAndReverseExactly) {
    ASSERT_EQ(StartApp(), 0);
    Window::LockGuard hold(app());  // keeps the ticker out
    const Mask& mask = app().waveformMask();
    window().ResizeInteractively(300, 66);
    EXPECT_EQ(Frames(app()), Layout(100));
    EXPECT_EQ(mask.bounds(), (Rect{0, 0, 227, 40}));

    // Minimised: the system reports 0 x 0, then the old size again.
    app().sizeChanged(0, 0);
    app().DrawWaveformPass();  // the ticker keeps running meanwhile
    app().sizeChanged(300, 66);
    EXPECT_EQ(Frames(app()), Layout(100));
    EXPECT_EQ(mask.bounds(), (Rect{0, 0, 227, 40}));
    window().ResizeInteractively(200, 66);
    EXPECT_EQ(Frames(app()), Layout(0));
    EXPECT_EQ(mask.bounds(), (Rect{0, 0, 127, 40}));
    // The user cannot drag beyond the limits.
    window().ResizeInteractively(500, 80);
    EXPECT_EQ(window().GetWindowRect(), (Rect{40, 40, 440, 106}));
}

TEST_F(AppTest, AdjustWindowSwitchesToTheWidthTheLongestLineNeedsAndBack) {
    ASSERT_EQ(StartApp(), 0);
    Window::LockGuard hold(app());
    app().statusLine(1)->setText("A rather long artist name, longer than the line");
    const float advance = app().statusLine(1)->MeasureText();
    ASSERT_GT(advance, 126.0f);
    // W + left + advance - right + 1 = advance + 40 + 33 + 1, at any width.
    window().ResizeInteractively(350, 66);
    app().FitWidthToStatus();
    EXPECT_EQ(app().zoomWidth(), int32_t(advance) + 74);

    window().ResizeInteractively(200, 66);
    app().RefreshWindowRect();
    app().command(CommandCode("zoom"), 0);
    EXPECT_EQ(window().GetWindowRect().Width(), int32_t(advance) + 74);
    app().command(CommandCode("zoom"), 0);
    EXPECT_EQ(window().GetWindowRect(), (Rect{40, 40, 240, 106}));
}

TEST_F(AppTest, PressesResizeOnTheRightEdgeHitControlsOnlyOnTheirPixels) {
    ASSERT_EQ(StartApp(), 0);
    // Points in the window at (40, 40).
    const std::tuple<const char*, int32_t, int32_t, HitResult> cases[] = {
        {"grip corner", 180, 50, HitResult::kResize},
        {"round find button's transparent corner", 10, 21, HitResult::kCaption},
        {"close glyph", 186, 12, HitResult::kClient},
    };
    for (const auto& [what, x, y, hit] : cases)
        EXPECT_EQ(window().Press(40 + x, 40 + y), hit) << what;
}

TEST_F(AppTest, CommandsDoWhatTheyNameAndUnknownOnesChangeNothing) {
    ASSERT_EQ(StartApp(), 0);
    // What the window shows and where, compared before and after a command.
    const auto take = [&] {
        return std::tuple(Shows(), window().GetWindowRect(), app().zoomWidth(),
                          window().minimizeCount());
    };
    const auto before = take();
    for (uint32_t code :
         {104u, 0u, CommandCode("INPU"), CommandCode("Quit"), CommandCode("xxxx")}) {
        EXPECT_FALSE(app().command(code, 0)) << code;
        EXPECT_EQ(take(), before) << code;
    }
    // No link before a found song; the website opens in the browser.
    Serve(8080);
    for (uint32_t code : {CommandCode("LINK"), CommandCode("TWWW")}) {
        EXPECT_TRUE(app().command(code, 0)) << code;
        EXPECT_EQ(take(), before) << code;
    }
    EXPECT_EQ(system_.openedUrls(), std::vector<std::string>{"http://127.0.0.1:8080/harkbox/"});
    // The system's close request (the code the backends send) ends the loop
    // with 0; the menu's close and a SIGTERM are the display test's, on the
    // real program.
    system_.PostQuit(55);  // overwritten by the command's own quit
    EXPECT_TRUE(app().command(0x636C6F73u /* 'clos' */, 0));
    EXPECT_EQ(system_.RunMainLoop(), 0);
}

TEST_F(AppTest, RightPressOpensTheMenuAndDeliversTheChoice) {
    ASSERT_EQ(StartApp(), 0);
    window().SetPopupChoice(CommandCode("mini"));
    // On the find button: the menu opens, the button is not pressed.
    EXPECT_TRUE(app().rightMouseDown(22, 33, 1, 0));
    EXPECT_FALSE(app().findButton()->pressed());
    ASSERT_EQ(window().menuCount(), 1);
    EXPECT_EQ(window().lastMenuPosition(), (Point{22, 33}));
    std::vector<std::pair<std::string, uint32_t>> menu;
    for (const MenuItem& item : window().lastMenuItems())
        menu.emplace_back(item.text + (item.separator ? "|" : ""), item.code);
    const std::vector<std::pair<std::string, uint32_t>> expected = {
        {"Visit Harkbox Website", CommandCode("TWWW")},
        {"Settings...", CommandCode("pref")},
        {"|", 0u},
        {"Minimize", CommandCode("mini")},
        {"Adjust Window", CommandCode("zoom")},
        {"Close", CommandCode("quit")}};
    EXPECT_EQ(menu, expected);
    EXPECT_EQ(window().minimizeCount(), 1);
}

TEST_F(AppTest, StartsWithoutInputAndMatchesTheReferencePicture) {
    const std::string reference =
        std::string(HARKBOX_SOURCE_DIR) + "/tests/app/reference/idle-window-200.png";
    ASSERT_EQ(StartApp(), 0);
    EXPECT_EQ(Shows(), "No sound input|Check preferences||FIND off");
    EXPECT_EQ(std::pair(window().title(), window().flags()),
              std::pair(std::string("Harkbox"), 0x2035Eu));
    const int32_t* limits = window().trackingLimits();
    EXPECT_EQ(std::vector<int32_t>(limits, limits + 4), (std::vector<int32_t>{200, 66, 400, 66}));
    std::vector<uint8_t> shot;  // straight RGBA, as a PNG stores it
    {
        // One pass of silence for sure, whether the ticker ran yet or not.
        Window::LockGuard hold(app());
        app().DrawWaveformPass();
        ASSERT_EQ(std::pair(window().screenWidth(), window().screenHeight()), std::pair(200, 66));
        for (uint32_t p : window().Screen()) {
            const uint32_t a = p >> 24;
            for (int shift : {16, 8, 0})
                shot.push_back(
                    a == 0 ? 0 : uint8_t(std::min(255u, ((p >> shift & 0xFF) * 255 + a / 2) / a)));
            shot.push_back(uint8_t(a));
        }
    }
    if (std::getenv("HARKBOX_UPDATE_REFERENCE")) {
        ASSERT_NE(stbi_write_png(reference.c_str(), 200, 66, 4, shot.data(), 200 * 4), 0);
        GTEST_SKIP() << "wrote " << reference;
    }
    int w = 0, h = 0, channels = 0;
    stbi_uc* loaded = stbi_load(reference.c_str(), &w, &h, &channels, 4);
    ASSERT_NE(loaded, nullptr) << reference;
    const std::vector<uint8_t> expected(loaded, loaded + size_t(w) * size_t(h) * 4);
    stbi_image_free(loaded);
    if (shot != expected) {
        const std::string actual = std::string(HARKBOX_BINARY_DIR) + "/idle-window-200.png";
        stbi_write_png(actual.c_str(), 200, 66, 4, shot.data(), 200 * 4);
        ADD_FAILURE() << "the idle window differs from " << reference << "; this run's: " << actual;
    }
}

}  // namespace
}  // namespace quil
