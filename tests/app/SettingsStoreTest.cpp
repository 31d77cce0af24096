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
#include "tests/ChildProcess.h"

namespace quil {
namespace {

namespace fs = std::filesystem;

const std::string kKey = "SOFTWARE\\Harkbox Project\\Harkbox\\Settings";

template <typename F>
int32_t ErrorOf(F&& operation) {
    try {
        operation();
    } catch (const SettingsError& e) {
        return e.code();
    }
    return 0;
}

// Points XDG_CONFIG_HOME at a fresh folder for one test.
class SettingsStoreTest : public ::testing::Test {
  protected:
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

    const fs::path root_ = testing::MakeScratchFolder("harkbox-settings");
    const testing::ScopedEnv config_{"XDG_CONFIG_HOME", root_.string()};
    const fs::path file_ = root_ / "Harkbox Project" / "Harkbox" / "Settings.reg";
};

TEST(SettingsKeyTest, NamesFromTheBuildElseFromTheProgramFileAndMapToFiles) {
    // Company, product, program path and the key's middle.
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"Harkbox Project", "Harkbox", "/usr/bin/harkbox", "Harkbox Project\\Harkbox"},
        {"", "", "C:\\Tools\\hb.exe", "Unknown Company\\hb.exe"},
        {"Co", "", "/opt/x\\y/hb", "Unknown Company\\hb"},
        {"", "Name", "hb", "Unknown Company\\hb"},
        {"", "", "", "Unknown Company\\"},
    };
    for (const auto& [company, product, program, key] : cases) {
        EXPECT_EQ(SettingsStore::SettingsKeyFor(company, product, program),
                  std::string("SOFTWARE\\") + key + "\\Settings")
            << program;
    }
    EXPECT_EQ(SettingsStore::SettingsKeyFor(std::string(300, 'c'), "n", "").size(),
              SettingsStore::kMaxKeyLength);
    EXPECT_EQ(SettingsStore::BuildSettingsKey("/usr/bin/harkbox"), kKey);

    // A relative XDG_CONFIG_HOME is ignored, as the base-directory rules ask.
    const testing::ScopedEnv home("HOME", "/home/someone");
    // XDG_CONFIG_HOME, the key, the error and the file's path.
    const std::tuple<const char*, std::string, int, const char*> files[] = {
        {"/cfg", kKey, 0, "/cfg/Harkbox Project/Harkbox/Settings.reg"},
        {"/cfg", "SOFTWARE\\Unknown Company\\a/b\\\\Settings", 0,
         "/cfg/Unknown Company/a_b/Settings.reg"},
        {"/cfg", "SOFTWARE\\..\\Settings", EINVAL, ""},
        {"/cfg", "SOFTWARE\\", EINVAL, ""},
        {"relative", kKey, 0, "/home/someone/.config/Harkbox Project/Harkbox/Settings.reg"},
    };
    for (const auto& [folder, key, error, file] : files) {
        const testing::ScopedEnv config("XDG_CONFIG_HOME", folder);
        std::string path;
        EXPECT_EQ(SettingsFiles::PathForKey(key, path), error) << key;
        EXPECT_EQ(path, error == 0 ? file : path) << key;
    }
}

TEST_F(SettingsStoreTest, EveryTypeRoundTripsAndMismatchesAreErrors) {
    EXPECT_EQ(ErrorOf([] { SettingsStore::ReadInt(kKey, "HarkboxWindowWidth"); }), ENOENT);
    SettingsStore::WriteInt(kKey, "HarkboxWindowWidth", 200);
    SettingsStore::WritePoint(kKey, "HarkboxWindowOrigin", -5000, -5000);
    SettingsStore::WriteString(kKey, "InputDevice", "Built-in Audio \"Analog\" \\ Stereo");
    SettingsStore::WriteText(kKey, "Note", std::string(1023, 'n'));
    SettingsStore::WriteInt(kKey, "Negative", -7);
    SettingsStore::WriteInt(kKey, "HarkboxWindowWidth", 321);  // replaced in place

    EXPECT_EQ(SettingsStore::ReadInt(kKey, "HarkboxWindowWidth"), 321);
    EXPECT_EQ(SettingsStore::ReadInt(kKey, "Negative"), -7);
    int32_t x = 0, y = 0;
    SettingsStore::ReadPoint(kKey, "HarkboxWindowOrigin", x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(-5000, -5000));
    char buffer[64];
    SettingsStore::ReadString(kKey, "InputDevice", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Built-in Audio \"Analog\" \\ Stereo");
    EXPECT_EQ(SettingsStore::ReadText(kKey, "Note"), std::string(1023, 'n'));
    EXPECT_NE(FileText().find("\"HarkboxWindowWidth\"=dword:00000141\n"), std::string::npos);
    EXPECT_NE(FileText().find("\"HarkboxWindowOrigin\"=\"(-5000, -5000)\"\n"), std::string::npos);
    // Nothing but the file and its update lock is left in the folder.
    EXPECT_EQ(Entries(), (std::set<std::string>{"Settings.reg", "Settings.reg.lock"}));

    SettingsStore::WriteString(kKey, "Text", "200");
    EXPECT_EQ(ErrorOf([] { SettingsStore::ReadInt(kKey, "Other"); }), ENOENT);
    EXPECT_EQ(ErrorOf([] { SettingsStore::ReadInt(kKey, "Text"); }), -1);
    EXPECT_EQ(ErrorOf([] { SettingsStore::ReadText(kKey, "Negative"); }), -1);
    EXPECT_EQ(ErrorOf([&] { SettingsStore::ReadPoint(kKey, "Negative", x, y); }), -1);
    char small[3], fits[4];
    EXPECT_EQ(ErrorOf([&] { SettingsStore::ReadString(kKey, "Text", small, 3); }), ERANGE);
    SettingsStore::ReadString(kKey, "Text", fits, 4);
    EXPECT_STREQ(fits, "200");
    // Texts of 1024 bytes or more are unreadable; a value that would push
    // the file over its size limit is refused, and the file stays as it was.
    for (size_t size : {1024, 5000}) {
        SettingsStore::WriteText(kKey, "Long", std::string(size, 'x'));
        EXPECT_EQ(ErrorOf([] { SettingsStore::ReadText(kKey, "Long"); }), -1) << size;
    }
    const std::string before = FileText();
    EXPECT_EQ(ErrorOf([] { SettingsStore::WriteText(kKey, "Huge", std::string(70000, 'h')); }),
              EFBIG);
    EXPECT_EQ(FileText(), before);
}

TEST_F(SettingsStoreTest, PointsParseLikeTheirPattern) {
    // The text, whether it parses and the point it gives.
    const std::tuple<std::string, bool, int32_t, int32_t> cases[] = {
        {"(19,38)", true, 19, 38},
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
        {"(1, 2)" + std::string(74, ' '), false, 0, 0},  // beyond the 80-byte buffer
    };
    for (const auto& [text, parses, wantX, wantY] : cases) {
        SettingsStore::WriteString(kKey, "HarkboxWindowOrigin", text.c_str());
        int32_t x = 77, y = 77;
        EXPECT_EQ(ErrorOf([&] { SettingsStore::ReadPoint(kKey, "HarkboxWindowOrigin", x, y); }),
                  parses ? 0 : -1)
            << text;
        EXPECT_EQ(std::pair(x, y), parses ? std::pair(wantX, wantY) : std::pair(77, 77)) << text;
    }
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
    EXPECT_TRUE(error != 0 && error != -1) << error;
}

TEST_F(SettingsStoreTest, AFailedWriteLeavesTheOldFileAndAWriteKeepsAnotherWritersValue) {
    SettingsStore::WriteInt(kKey, "HarkboxWindowWidth", 250);
    const std::string before = FileText();
    EXPECT_EQ(SettingsFiles::ReplaceFile(file_.string(), "new", [] { return EIO; }), EIO);
    EXPECT_EQ(FileText(), before);
    EXPECT_EQ(Entries(), (std::set<std::string>{"Settings.reg", "Settings.reg.lock"}))
        << "the temporary file is removed";

    // What a write cut off before its rename leaves goes, files that only
    // look alike stay.
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
    const auto beforeRename = [&] {
        other = std::thread([] { SettingsStore::WriteInt(kKey, "Theirs", 2); });
        // Time for a writer that takes no lock to finish first.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return 0;
    };
    EXPECT_EQ(SettingsFiles::UpdateFile(file_.string(), 1000, change, beforeRename), 0);
    other.join();
    EXPECT_EQ(SettingsStore::ReadInt(kKey, "Mine"), 1);
    EXPECT_EQ(SettingsStore::ReadInt(kKey, "Theirs"), 2);
    EXPECT_EQ(Entries(),
              (std::set<std::string>{"Settings.reg", "Settings.reg.lock", "Settings.reg.new-Ab12C",
                                     "Settings.reg.backup", "Other.reg.new-Ab12Cd"}));
}

}  // namespace
}  // namespace quil
