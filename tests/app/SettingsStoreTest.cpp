// The settings store over real files in a scratch configuration folder.
#include "app/SettingsStore.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "AppTestSupport.h"
#include "platform/SettingsFiles.h"
#include "tests/ShellCommands.h"

namespace quil {
namespace {

namespace fs = std::filesystem;

const std::string kKey = "SOFTWARE\\Harkbox Project\\Harkbox\\Settings";

// Points XDG_CONFIG_HOME at a fresh folder for one test.
class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(root_.empty()); }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void WriteFile(const std::string& bytes) {
        fs::create_directories(file_.parent_path());
        std::ofstream(file_, std::ios::binary) << bytes;
    }
    std::string FileText() const { return test::ReadFile(file_); }

    // The names in the settings file's folder.
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(file_.parent_path()))
            names.insert(entry.path().filename().string());
        return names;
    }

    template <typename F>
    static int32_t ErrorOf(F&& operation) {
        try {
            operation();
        } catch (const SettingsError& e) {
            return e.code();
        }
        return 0;
    }

    const fs::path root_ = testing::MakeScratchFolder("harkbox-settings");
    const testing::ScopedEnv config_{"XDG_CONFIG_HOME", root_.string()};
    const fs::path file_ = root_ / "Harkbox Project" / "Harkbox" / "Settings.reg";
};

TEST(SettingsKeyTest, NamesFromTheBuildElseFromTheProgramFile) {
    const struct {
        const char* company;
        const char* product;
        const char* program;
        const char* key;
    } cases[] = {
        {"Harkbox Project", "Harkbox", "/usr/bin/harkbox", "Harkbox Project\\Harkbox"},
        {"", "", "C:\\Tools\\hb.exe", "Unknown Company\\hb.exe"},
        {"Co", "", "/opt/x\\y/hb", "Unknown Company\\hb"},
        {"", "Name", "hb", "Unknown Company\\hb"},
        {"", "", "", "Unknown Company\\"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SettingsStore::SettingsKeyFor(c.company, c.product, c.program),
                  std::string("SOFTWARE\\") + c.key + "\\Settings")
            << c.program;
    }
    EXPECT_EQ(SettingsStore::SettingsKeyFor(std::string(300, 'c'), "n", "").size(),
              SettingsStore::kMaxKeyLength);
    EXPECT_EQ(SettingsStore::BuildSettingsKey("/usr/bin/harkbox"), kKey);
}

TEST(SettingsKeyTest, KeyNamesMapToFilesUnderTheConfigFolder) {
    std::optional<testing::ScopedEnv> config;
    config.emplace("XDG_CONFIG_HOME", "/cfg");
    const testing::ScopedEnv home("HOME", "/home/someone");
    const struct {
        std::string key;
        int error;
        const char* path;
    } cases[] = {
        {kKey, 0, "/cfg/Harkbox Project/Harkbox/Settings.reg"},
        {"SOFTWARE\\Unknown Company\\a/b\\\\Settings", 0, "/cfg/Unknown Company/a_b/Settings.reg"},
        {"SOFTWARE\\..\\Settings", EINVAL, ""},
        {"SOFTWARE\\", EINVAL, ""},
    };
    for (const auto& c : cases) {
        std::string path;
        EXPECT_EQ(SettingsFiles::PathForKey(c.key, path), c.error) << c.key;
        if (c.error == 0) {
            EXPECT_EQ(path, c.path);
        }
    }
    // A relative XDG_CONFIG_HOME is ignored, as the base-directory rules ask.
    config.reset();
    config.emplace("XDG_CONFIG_HOME", "relative");
    std::string path;
    EXPECT_EQ(SettingsFiles::PathForKey(kKey, path), 0);
    EXPECT_EQ(path, "/home/someone/.config/Harkbox Project/Harkbox/Settings.reg");
}

TEST_F(SettingsStoreTest, EveryTypeRoundTripsAndKeepsTheOthers) {
    SettingsStore::WriteInt(kKey, "HarkboxWindowWidth", 200);
    SettingsStore::WritePoint(kKey, "HarkboxWindowOrigin", -5000, -5000);
    SettingsStore::WriteString(kKey, "InputDevice", "Built-in Audio \"Analog\" \\ Stereo");
    SettingsStore::WriteText(kKey, "Note", std::string(1023, 'n'));
    SettingsStore::WriteInt(kKey, "Negative", -7);

    EXPECT_EQ(SettingsStore::ReadInt(kKey, "HarkboxWindowWidth"), 200);
    EXPECT_EQ(SettingsStore::ReadInt(kKey, "Negative"), -7);
    int32_t x = 0, y = 0;
    SettingsStore::ReadPoint(kKey, "HarkboxWindowOrigin", x, y);
    EXPECT_EQ(x, -5000);
    EXPECT_EQ(y, -5000);
    char buffer[64];
    SettingsStore::ReadString(kKey, "InputDevice", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Built-in Audio \"Analog\" \\ Stereo");
    EXPECT_EQ(SettingsStore::ReadText(kKey, "Note"), std::string(1023, 'n'));
    EXPECT_NE(FileText().find("\"HarkboxWindowWidth\"=dword:000000c8\n"), std::string::npos);
    EXPECT_NE(FileText().find("\"HarkboxWindowOrigin\"=\"(-5000, -5000)\"\n"), std::string::npos);

    // Rewriting one value replaces it in place.
    SettingsStore::WriteInt(kKey, "HarkboxWindowWidth", 321);
    EXPECT_EQ(SettingsStore::ReadInt(kKey, "HarkboxWindowWidth"), 321);
    SettingsStore::ReadPoint(kKey, "HarkboxWindowOrigin", x, y);
    EXPECT_EQ(x, -5000);
    // Nothing but the file and its update lock is left in the folder.
    EXPECT_EQ(Entries(), (std::set<std::string>{"Settings.reg", "Settings.reg.lock"}));
}

TEST_F(SettingsStoreTest, MissingFileMissingValueWrongTypeAndSmallBuffers) {
    EXPECT_EQ(ErrorOf([] { SettingsStore::ReadInt(kKey, "HarkboxWindowWidth"); }), ENOENT);
    SettingsStore::WriteString(kKey, "HarkboxWindowWidth", "200");
    SettingsStore::WriteInt(kKey, "Number", 5);
    EXPECT_EQ(ErrorOf([] { SettingsStore::ReadInt(kKey, "Other"); }), ENOENT);
    EXPECT_EQ(ErrorOf([] { SettingsStore::ReadInt(kKey, "HarkboxWindowWidth"); }), -1);
    EXPECT_EQ(ErrorOf([] { SettingsStore::ReadText(kKey, "Number"); }), -1);
    int32_t x = 0, y = 0;
    EXPECT_EQ(ErrorOf([&] { SettingsStore::ReadPoint(kKey, "Number", x, y); }), -1);
    char small[3];
    EXPECT_EQ(ErrorOf([&] { SettingsStore::ReadString(kKey, "HarkboxWindowWidth", small, 3); }),
              ERANGE);
    char fits[4];
    SettingsStore::ReadString(kKey, "HarkboxWindowWidth", fits, 4);
    EXPECT_STREQ(fits, "200");
}

TEST_F(SettingsStoreTest, PointsParseLikeTheirPattern) {
    const struct {
        const char* text;
        bool parses;
        int32_t x, y;
    } cases[] = {
        {"(12,34)", true, 12, 34},
        {"(12, 34)", true, 12, 34},
        {"(12,\t\n 34)", true, 12, 34},
        {"( -3 , +4", false, 0, 0},
        {"( -3, +4", true, -3, 4},
        {"(1, 2) trailing", true, 1, 2},
        {"12, 34", false, 0, 0},
        {" (12, 34)", false, 0, 0},
        {"(12; 34)", false, 0, 0},
        {"(12, )", false, 0, 0},
        {"(2147483647, -2147483648)", true, 2147483647, -2147483647 - 1},
        {"(2147483648, 0)", false, 0, 0},
        {"(99999999999999999999, 0)", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const auto& c : cases) {
        SettingsStore::WriteString(kKey, "HarkboxWindowOrigin", c.text);
        int32_t x = 77, y = 77;
        const int32_t error =
            ErrorOf([&] { SettingsStore::ReadPoint(kKey, "HarkboxWindowOrigin", x, y); });
        if (c.parses) {
            EXPECT_EQ(error, 0) << c.text;
            EXPECT_EQ(x, c.x) << c.text;
            EXPECT_EQ(y, c.y) << c.text;
        } else {
            EXPECT_EQ(error, -1) << c.text;
            EXPECT_EQ(x, 77) << c.text;
        }
    }
    // A text that needs more than the 80-byte point buffer is unreadable.
    SettingsStore::WriteString(kKey, "HarkboxWindowOrigin",
                               ("(1, 2)" + std::string(74, ' ')).c_str());
    int32_t x = 0, y = 0;
    EXPECT_EQ(ErrorOf([&] { SettingsStore::ReadPoint(kKey, "HarkboxWindowOrigin", x, y); }), -1);
}

TEST_F(SettingsStoreTest, TextOf1024BytesOrMoreIsUnreadable) {
    SettingsStore::WriteText(kKey, "Long", std::string(1024, 'x'));
    EXPECT_EQ(ErrorOf([] { SettingsStore::ReadText(kKey, "Long"); }), -1);
    SettingsStore::WriteText(kKey, "Long", std::string(5000, 'x'));
    EXPECT_EQ(ErrorOf([] { SettingsStore::ReadText(kKey, "Long"); }), -1);
    // A value that would push the file over its size limit is refused, and
    // the file stays as it was.
    const std::string before = FileText();
    EXPECT_EQ(ErrorOf([] { SettingsStore::WriteText(kKey, "Huge", std::string(70000, 'h')); }),
              EFBIG);
    EXPECT_EQ(FileText(), before);
}

TEST_F(SettingsStoreTest, DamagedFilesReadAsAbsentAndAWriteReplacesThem) {
    std::string garbage = "Harkbox Settings 1\n\"HarkboxWindowWidth\"=dword:000000c8\n";
    const std::string bodies[] = {
        garbage + "\"Trunc",
        garbage + std::string("\"A\"=\"\0\"\n", 8),
        garbage + std::string(2000000, 'q'),
        std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
    };
    for (const std::string& body : bodies) {
        WriteFile(body);
        EXPECT_EQ(ErrorOf([] { SettingsStore::ReadInt(kKey, "HarkboxWindowWidth"); }), ENOENT);
        EXPECT_EQ(FileText(), body) << "a read leaves the file alone";
    }
    SettingsStore::WriteInt(kKey, "New", 1);
    EXPECT_EQ(FileText(), "Harkbox Settings 1\n\"New\"=dword:00000001\n");

    // A folder where the file should be is an error other than "missing".
    fs::remove(file_);
    fs::create_directory(file_);
    const int32_t error = ErrorOf([] { SettingsStore::ReadInt(kKey, "New"); });
    EXPECT_NE(error, 0);
    EXPECT_NE(error, -1);
}

TEST_F(SettingsStoreTest, AFailureBeforeTheRenameLeavesTheOldFile) {
    SettingsStore::WriteInt(kKey, "HarkboxWindowWidth", 250);
    const std::string before = FileText();
    int calls = 0;
    EXPECT_EQ(SettingsFiles::ReplaceFile(file_.string(), "new contents",
                                         [&] {
                                             ++calls;
                                             return EIO;
                                         }),
              EIO);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(FileText(), before);
    EXPECT_EQ(Entries(), (std::set<std::string>{"Settings.reg", "Settings.reg.lock"}))
        << "the temporary file is removed";
    EXPECT_EQ(SettingsFiles::ReplaceFile(file_.string(), "new contents", [] { return 0; }), 0);
    EXPECT_EQ(FileText(), "new contents");
}

TEST_F(SettingsStoreTest, AWriteRemovesLeftoversAndKeepsAnotherWritersValue) {
    // What a write cut off before its rename leaves, and files that only
    // look alike.
    WriteFile("Harkbox Settings 1\n");
    for (const char* name :
         {"Settings.reg.new-Ab12Cd", "Settings.reg.new-zzzzzz", "Settings.reg.new-Ab12C",
          "Settings.reg.backup", "Other.reg.new-Ab12Cd"})
        std::ofstream(file_.parent_path() / name) << "x";
    // Another copy of the program writes while this write waits for its
    // rename; both values must end in the file.
    std::thread other;
    const auto change = [](int error, const std::vector<uint8_t>&, std::string& text) {
        text = "Harkbox Settings 1\n\"Mine\"=dword:00000001\n";
        return error;
    };
    EXPECT_EQ(SettingsFiles::UpdateFile(
                  file_.string(), 1000, change,
                  [&] {
                      other = std::thread([] { SettingsStore::WriteInt(kKey, "Theirs", 2); });
                      // Time for a writer that takes no
                      // lock to finish first.
                      std::this_thread::sleep_for(std::chrono::milliseconds(200));
                      return 0;
                  }),
              0);
    other.join();
    EXPECT_EQ(SettingsStore::ReadInt(kKey, "Mine"), 1);
    EXPECT_EQ(SettingsStore::ReadInt(kKey, "Theirs"), 2);
    EXPECT_EQ(Entries(),
              (std::set<std::string>{"Settings.reg", "Settings.reg.lock", "Settings.reg.new-Ab12C",
                                     "Settings.reg.backup", "Other.reg.new-Ab12Cd"}));
}

}  // namespace
}  // namespace quil
