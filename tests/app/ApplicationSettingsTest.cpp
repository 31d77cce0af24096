// The stored origin and width: read at start with their fallbacks, written
// at shutdown.
#include <gtest/gtest.h>

#include <fstream>

#include "AppTestSupport.h"
#include "app/SettingsStore.h"

namespace quil {
namespace {

using testing::AppTest;

class AppSettingsTest : public AppTest {
  protected:
    const std::string key_ = SettingsStore::BuildSettingsKey(testing::TestProgramPath());
};

TEST_F(AppSettingsTest, WithoutStoredValuesTheWindowOpensAtTheDefaults) {
    ASSERT_EQ(StartApp(), 0);
    EXPECT_EQ(window().GetWindowRect(), (Rect{40, 40, 240, 106}));
}

TEST_F(AppSettingsTest, StoredOriginAndWidthAreUsed) {
    SettingsStore::WritePoint(key_, "HarkboxWindowOrigin", 300, 120);
    SettingsStore::WriteInt(key_, "HarkboxWindowWidth", 333);
    ASSERT_EQ(StartApp(), 0);
    EXPECT_EQ(window().GetWindowRect(), (Rect{300, 120, 633, 186}));
    Window::LockGuard hold(app());
    EXPECT_EQ(app().width(), 333);
    EXPECT_EQ(app().statusLine(0)->frame(), (Rect{40, 13, 300, 31}));
    EXPECT_EQ(app().waveformMask().bounds(), (Rect{0, 0, 260, 40}));
}

TEST_F(AppSettingsTest, UnreadableValuesFallBack) {
    SettingsStore::WriteString(key_, "HarkboxWindowOrigin", "12, 34");
    SettingsStore::WriteString(key_, "HarkboxWindowWidth", "300");
    ASSERT_EQ(StartApp(), 0);
    EXPECT_EQ(window().GetWindowRect(), (Rect{40, 40, 240, 106}));
}

TEST_F(AppSettingsTest, WidthsOutsideTheLimitsFallBack) {
    for (int32_t width : {0, -50, 199, 401, 100000}) {
        SettingsStore::WriteInt(key_, "HarkboxWindowWidth", width);
        ASSERT_EQ(StartApp(), 0);
        EXPECT_EQ(window().GetWindowRect().Width(), 200) << width;
        app_.reset();
    }
}

TEST_F(AppSettingsTest, AnyStoredOriginOpensInsideTheWorkArea) {
    // The one headless monitor is 1920 x 1080.
    struct Case {
        int32_t x, y;
        Rect expected;
    };
    for (const Case& c : {Case{2147483600, 40, {1720, 40, 1920, 106}},
                          Case{-2147483647 - 1, 2147483647, {0, 1014, 200, 1080}},
                          Case{2147483647, -2147483647 - 1, {1720, 0, 1920, 66}}}) {
        SettingsStore::WritePoint(key_, "HarkboxWindowOrigin", c.x, c.y);
        ASSERT_EQ(StartApp(), 0) << c.x << ", " << c.y;
        EXPECT_EQ(window().GetWindowRect(), c.expected) << c.x << ", " << c.y;
        app_.reset();
    }
    // A window that cannot be created where the stored values put it opens
    // at the defaults instead.
    SettingsStore::WritePoint(key_, "HarkboxWindowOrigin", 300, 120);
    SettingsStore::WriteInt(key_, "HarkboxWindowWidth", 333);
    system_.FailNextCreate(22);
    ASSERT_EQ(StartApp(), 0);
    EXPECT_EQ(window().GetWindowRect(), (Rect{40, 40, 240, 106}));
}

TEST_F(AppSettingsTest, ShutdownStoresOriginAndWidth) {
    SettingsStore::WritePoint(key_, "HarkboxWindowOrigin", -5000, -5000);
    ASSERT_EQ(StartApp(), 0);
    // The work-area clamp brought the window onto the screen.
    EXPECT_EQ(window().GetWindowRect().left, 0);
    window().SetWindowRect(Rect{410, 220, 410 + 280, 220 + 66});
    app_.reset();
    int32_t x = 0;
    int32_t y = 0;
    SettingsStore::ReadPoint(key_, "HarkboxWindowOrigin", x, y);
    EXPECT_EQ(x, 410);
    EXPECT_EQ(y, 220);
    EXPECT_EQ(SettingsStore::ReadInt(key_, "HarkboxWindowWidth"), 280);

    // And the next start uses them.
    ASSERT_EQ(StartApp(), 0);
    EXPECT_EQ(window().GetWindowRect(), (Rect{410, 220, 690, 286}));
}

// The settings files can be blocked by a file in their folder's place; the
// user's registry cannot be made unwritable from here.
#ifndef _WIN32
TEST_F(AppSettingsTest, AFailedWriteIsIgnored) {
    ASSERT_EQ(StartApp(), 0);
    window().SetWindowRect(Rect{100, 100, 350, 166});
    // The configuration folder's place is taken by a file: nothing can be
    // written, and shutdown goes on.
    std::filesystem::create_directories(root_ / "config");
    std::filesystem::create_directories(root_ / "config" / "Harkbox Project");
    std::filesystem::remove_all(root_ / "config" / "Harkbox Project");
    { std::ofstream(root_ / "config" / "Harkbox Project") << "in the way"; }
    app_.reset();
    std::filesystem::remove(root_ / "config" / "Harkbox Project");
    EXPECT_THROW(SettingsStore::ReadInt(key_, "HarkboxWindowWidth"), SettingsError);
}
#endif

}  // namespace
}  // namespace quil
