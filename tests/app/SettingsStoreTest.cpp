// The settings store over real files in a scratch configuration folder.
#include "app/SettingsStore.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

#include "AppTestSupport.h"
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

// A configuration folder of its own for every test, as the main window's
// tests have.
class SettingsStoreTest : public testing::AppTest {
  protected:
    fs::path File() const {
        return root_ / "config" / "Harkbox Project" / "Harkbox" / "Settings.reg";
    }
    std::string FileText() const { return test::ReadFile(File()); }
};

TEST(SettingsKeyTest, NamesFromTheBuildElseFromTheProgramFile) {
    // Company, product, program path and the key's middle.
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"Harkbox Project", "Harkbox", "/usr/bin/harkbox", "Harkbox Project\\Harkbox"},
        {"", "", "C:\\Tools\\hb.exe", "Unknown Company\\hb.exe"},
        {"Co", "", "/opt/x\\y/hb", "Unknown Company\\hb"},
    };
    for (const auto& [company, product, program, key] : cases) {
        EXPECT_EQ(SettingsStore::SettingsKeyFor(company, product, program),
                  std::string("SOFTWARE\\") + key + "\\Settings")
            << program;
    }
    EXPECT_EQ(SettingsStore::SettingsKeyFor(std::string(300, 'c'), "n", "").size(),
              SettingsStore::kMaxKeyLength);
    EXPECT_EQ(SettingsStore::BuildSettingsKey("/usr/bin/harkbox"), kKey);
}

TEST_F(SettingsStoreTest, EveryTypeRoundTripsAndMismatchesAreErrors) {
    SettingsStore::WriteInt(kKey, "HarkboxWindowWidth", 200);
    SettingsStore::WritePoint(kKey, "HarkboxWindowOrigin", -5000, -5000);
    SettingsStore::WriteText(kKey, "Note", std::string(1023, 'n'));
    SettingsStore::WriteInt(kKey, "HarkboxWindowWidth", 321);  // replaced in place

    EXPECT_EQ(SettingsStore::ReadInt(kKey, "HarkboxWindowWidth"), 321);
    int32_t x = 0, y = 0;
    SettingsStore::ReadPoint(kKey, "HarkboxWindowOrigin", x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(-5000, -5000));
    EXPECT_EQ(SettingsStore::ReadText(kKey, "Note"), std::string(1023, 'n'));

    SettingsStore::WriteString(kKey, "Text", "200");
    EXPECT_EQ(ErrorOf([] { SettingsStore::ReadInt(kKey, "Text"); }), -1);
    EXPECT_EQ(ErrorOf([] { SettingsStore::ReadText(kKey, "HarkboxWindowWidth"); }), -1);
    char small[3], fits[4];
    EXPECT_EQ(ErrorOf([&] { SettingsStore::ReadString(kKey, "Text", small, 3); }), ERANGE);
    SettingsStore::ReadString(kKey, "Text", fits, 4);
    EXPECT_STREQ(fits, "200");
    // Texts of 1024 bytes or more are unreadable; a value that would push
    // the file over its size limit is refused, and the file stays as it was.
    SettingsStore::WriteText(kKey, "Long", std::string(1024, 'x'));
    EXPECT_EQ(ErrorOf([] { SettingsStore::ReadText(kKey, "Long"); }), -1);
    const std::string before = FileText();
    EXPECT_EQ(ErrorOf([] { SettingsStore::WriteText(kKey, "Huge", std::string(70000, 'h')); }),
              EFBIG);
    EXPECT_EQ(FileText(), before);
}

TEST_F(SettingsStoreTest, PointsParseLikeTheirPattern) {
    // The text, whether it parses and the point it gives.
    const std::tuple<std::string, bool, int32_t, int32_t> cases[] = {
        {"(12,\t\n 34)", true, 12, 34},
        {"( -3 , +4", false, 0, 0},
        {"( -3, +4", true, -3, 4},
        {" (12, 34)", false, 0, 0},
        {"(12, )", false, 0, 0},
        {"(99999999999999999999, 0)", false, 0, 0},
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
    const std::string garbage = "Harkbox Settings 1\n\"HarkboxWindowWidth\"=dword:000000c8\n";
    // Unparsable, and too large to read.
    for (const std::string& body : {garbage + "\"Trunc", garbage + std::string(2000000, 'q')}) {
        fs::create_directories(File().parent_path());
        std::ofstream(File(), std::ios::binary) << body;
        EXPECT_EQ(ErrorOf([] { SettingsStore::ReadInt(kKey, "HarkboxWindowWidth"); }), ENOENT);
        EXPECT_EQ(FileText(), body) << "a read leaves the file alone";
    }
    SettingsStore::WriteInt(kKey, "New", 1);
    EXPECT_EQ(FileText(), "Harkbox Settings 1\n\"New\"=dword:00000001\n");
}

}  // namespace
}  // namespace quil
