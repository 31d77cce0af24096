// The command table, the popup menu, the no-input state and the start-up
// failures of the main window.
#include <gtest/gtest.h>

#include "AppTestSupport.h"

namespace quil {
namespace {

using testing::AppTest;

struct Snapshot {
    std::string lines[3];
    bool findEnabled;
    uint32_t findCommand;
    bool linkVisible;
    Rect rect;
    int32_t zoomWidth;
    int minimizes;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(Application& app, HeadlessWindow& window) {
    Window::LockGuard hold(app);
    return {{app.statusLine(0)->text(), app.statusLine(1)->text(), app.statusLine(2)->text()},
            app.findButton()->isEnabled(),
            app.findButton()->commandCode(),
            app.linkButton()->isVisible(),
            window.GetWindowRect(),
            app.zoomWidth(),
            window.minimizeCount()};
}

TEST_F(AppTest, StartsInTheNoInputState) {
    ASSERT_EQ(StartApp(), 0);
    const Snapshot s = Take(app(), window());
    EXPECT_EQ(s.lines[0], "No sound input");
    EXPECT_EQ(s.lines[1], "Check preferences");
    EXPECT_EQ(s.lines[2], "");
    EXPECT_FALSE(s.findEnabled);
    EXPECT_EQ(s.findCommand, CommandCode("FIND"));
    EXPECT_FALSE(s.linkVisible);
}

TEST_F(AppTest, KnownCodesAreHandledUnknownOnesChangeNothing) {
    ASSERT_EQ(StartApp(), 0);
    const Snapshot before = Take(app(), window());
    for (uint32_t code :
         {104u, 0u, CommandCode("INPU"), CommandCode("Quit"), CommandCode("xxxx")}) {
        EXPECT_FALSE(app().command(code, 0)) << code;
        EXPECT_EQ(Take(app(), window()), before) << code;
    }
    // Handled codes that change nothing on the window: no link before a
    // found song, the website opens in the browser.
    Application::Service service;
    service.webHost = "songs.example.org";
    service.webPort = 8080;
    app().SetService(service);
    for (uint32_t code : {CommandCode("LINK"), CommandCode("TWWW")}) {
        EXPECT_TRUE(app().command(code, 0)) << code;
        EXPECT_EQ(Take(app(), window()), before) << code;
    }
    EXPECT_EQ(system_.openedUrls(),
              std::vector<std::string>{"http://songs.example.org:8080/harkbox/"});

    // "STOP" returns to the idle state from anything the lines show.
    {
        Window::LockGuard hold(app());
        app().statusLine(0)->setText("Identifying song");
        app().statusLine(2)->setText("x");
        app().linkButton()->setVisible(true);
    }
    EXPECT_TRUE(app().command(CommandCode("STOP"), 0));
    EXPECT_EQ(Take(app(), window()), before);

    EXPECT_TRUE(app().command(CommandCode("mini"), 0));
    EXPECT_EQ(window().minimizeCount(), 1);
}

TEST_F(AppTest, QuitCloseAndEndRequestsEndTheLoopWithZero) {
    ASSERT_EQ(StartApp(), 0);
    for (uint32_t code : {CommandCode("quit"), CommandCode("clos"), uint32_t{0}}) {
        system_.PostQuit(55);  // overwritten by the command's own quit
        if (code == 0) {
            system_.RequestEnd();  // a SIGTERM
            EXPECT_EQ(system_.RunPendingTasks(), 1);
        } else {
            EXPECT_TRUE(app().command(code, 0));
        }
        EXPECT_EQ(system_.RunMainLoop(), 0) << code;
    }
    // The close button sends 'quit' through the same handler.
    EXPECT_EQ(app().closeButton()->commandCode(), CommandCode("quit"));
    EXPECT_EQ(app().zoomButton()->commandCode(), CommandCode("zoom"));
    EXPECT_EQ(app().minimizeButton()->commandCode(), CommandCode("mini"));
}

TEST_F(AppTest, RightPressOpensTheMenuAndDeliversTheChoice) {
    ASSERT_EQ(StartApp(), 0);
    window().SetPopupChoice(CommandCode("mini"));
    // On the find button: the menu opens, the button is not pressed.
    EXPECT_TRUE(app().rightMouseDown(22, 33, 1, 0));
    EXPECT_FALSE(app().findButton()->pressed());
    ASSERT_EQ(window().menuCount(), 1);
    EXPECT_EQ(window().lastMenuPosition(), (Point{22, 33}));
    const std::vector<MenuItem>& items = window().lastMenuItems();
    ASSERT_EQ(items.size(), 6u);
    const char* texts[] = {"Visit Harkbox Website", "Settings...", "", "Minimize",
                           "Adjust Window",         "Close"};
    const uint32_t codes[] = {CommandCode("TWWW"), CommandCode("pref"), 0,
                              CommandCode("mini"), CommandCode("zoom"), CommandCode("quit")};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(items[i].text, texts[i]) << i;
        EXPECT_EQ(items[i].code, codes[i]) << i;
        EXPECT_EQ(items[i].separator, i == 2) << i;
    }
    EXPECT_EQ(window().minimizeCount(), 1);

    // Dismissed: nothing happens.
    window().SetPopupChoice(0);
    const Snapshot before = Take(app(), window());
    EXPECT_TRUE(app().rightMouseDown(150, 10, 1, 0));
    EXPECT_EQ(window().menuCount(), 2);
    EXPECT_EQ(Take(app(), window()), before);

    // "Close" ends the program like the close button.
    window().SetPopupChoice(CommandCode("quit"));
    system_.PostQuit(55);
    app().rightMouseDown(100, 50, 1, 0);
    EXPECT_EQ(system_.RunMainLoop(), 0);
}

TEST_F(AppTest, StartFailsWhenTheWindowCannotBeCreated) {
    system_.FailNextCreate(7);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(StartApp(), 7);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(app().nativeWindow(), nullptr);
    // Nothing is stored for a window that never was.
    app_.reset();
    EXPECT_FALSE(std::filesystem::exists(root_ / "config"));
}

TEST_F(AppTest, StartFailsWithoutAnyFont) {
    std::filesystem::remove(root_ / "windows" / "Fonts" / "Arial.ttf");
    std::filesystem::remove(root_ / "windows" / "Fonts" / "LastResort.ttf");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(StartApp(), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Harkbox: no font found\n");
    app_.reset();
    EXPECT_FALSE(std::filesystem::exists(root_ / "config"));
}

TEST_F(AppTest, TheSecondFontAloneIsEnough) {
    std::filesystem::remove(root_ / "windows" / "Fonts" / "Arial.ttf");
    ASSERT_EQ(StartApp(), 0);
    Window::LockGuard hold(app());
    EXPECT_GT(app().statusLine(0)->MeasureText(), 50.0f);
}

}  // namespace
}  // namespace quil
