// The settings file text: round trips, escapes, and damaged files that must
// read as nothing; on POSIX systems also the files themselves: where a key's
// file lives and how a write replaces it.
#include "platform/SettingsFileFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#ifndef _WIN32
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "platform/SettingsFiles.h"
#include "tests/ChildProcess.h"
#include "tests/Environment.h"
#endif

namespace quil {
namespace {

bool ParseText(const std::string& text, SettingsValues& values) {
    return SettingsFileFormat::Parse(
        ByteReader(reinterpret_cast<const uint8_t*>(text.data()), text.size()), values);
}

SettingsValue Dword(uint32_t v) {
    SettingsValue value;
    value.dword = v;
    return value;
}

SettingsValue Text(std::string t) {
    SettingsValue value;
    value.type = SettingsValue::Type::kText;
    value.text = std::move(t);
    return value;
}

TEST(SettingsFileFormatTest, FormatsOneValuePerLineAndEveryByteReadsBack) {
    SettingsValues values;
    values["HarkboxWindowWidth"] = Dword(200);
    values["HarkboxWindowOrigin"] = Text("(40, 40)");
    EXPECT_EQ(SettingsFileFormat::Format(values),
              "Harkbox Settings 1\n"
              "\"HarkboxWindowOrigin\"=\"(40, 40)\"\n"
              "\"HarkboxWindowWidth\"=dword:000000c8\n");
    std::string all;
    for (int c = 1; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    all.push_back('\0');
    values[all] = Text(all);
    values["quote\"back\\slash"] = Dword(0xFFFFFFFF);
    const std::string text = SettingsFileFormat::Format(values);
    // The header and one line a value: nothing breaks a line.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
    SettingsValues back;
    ASSERT_TRUE(ParseText(text, back));
    EXPECT_EQ(back, values);
}

TEST(SettingsFileFormatTest, AcceptsCrLfBlankLinesUpperCaseHexAndLastDuplicateWins) {
    SettingsValues values;
    ASSERT_TRUE(ParseText(
        "Harkbox Settings 1\r\n\r\n\"A\"=\"x\"\r\n\n\"B\"=dword:0000ABcd\n\"A\"=\"later\"",
        values));
    EXPECT_EQ(values, (SettingsValues{{"A", Text("later")}, {"B", Dword(0xABCD)}}));
    ASSERT_TRUE(ParseText("Harkbox Settings 1", values));
    EXPECT_TRUE(values.empty());
}

TEST(SettingsFileFormatTest, DamagedFilesReadAsNothing) {
    // One line of each way to refuse, after a good line (random damage is
    // the fuzz test's): too few or too many digits, a wrong type, a text
    // without its end, an unknown or short escape, raw controls, an empty or
    // unquoted name, spaces, and line ends without a line feed.
    const char* damaged[] = {
        "\"A\"=dword:0000001\n",  "\"A\"=dword:000000001\n",
        "\"A\"=DWORD:00000001\n", "\"A\"=\"x",
        "\"A\"=\"\\q\"\n",        "\"A\"=\"\\x4\"\n",
        "\"A\"=\"\t\"\n",         "\"A\"=\"\x7f\"\n",
        "\"\"=\"x\"\n",           "A=\"x\"\n",
        "\"A\" = \"x\"\n",        "\"A\"=\"x\"\r",
        "\"A\"=\"x\"\r\r\n",
    };
    for (const char* body : damaged) {
        SettingsValues values;
        values["stale"] = Dword(1);
        EXPECT_FALSE(
            ParseText(std::string("Harkbox Settings 1\n\"Good\"=dword:00000001\n") + body, values))
            << body;
        EXPECT_TRUE(values.empty()) << body;
    }
    for (const char* header : {"", "Harkbox Settings 2\n", "Harkbox Settings 1 \n"}) {
        SettingsValues values;
        EXPECT_FALSE(ParseText(header, values)) << header;
    }
    // The size limit is the whole file's.
    const std::string prefix = "Harkbox Settings 1\n\"A\"=\"";
    std::string fits =
        prefix + std::string(SettingsFileFormat::kMaxFileSize - prefix.size() - 2, 'x') + "\"\n";
    SettingsValues values;
    EXPECT_TRUE(ParseText(fits, values));
    fits.insert(prefix.size(), 1, 'x');
    EXPECT_FALSE(ParseText(fits, values));
    EXPECT_TRUE(values.empty());
}

#ifndef _WIN32
namespace fs = std::filesystem;

TEST(SettingsFilesTest, KeysMapToFilesInTheConfigurationFolder) {
    // A relative XDG_CONFIG_HOME is ignored, as the base-directory rules ask.
    const test::ScopedEnv home("HOME", "/home/someone");
    // XDG_CONFIG_HOME, the key, the error and the path (empty: left as it was).
    const std::tuple<const char*, const char*, int, const char*> cases[] = {
        {"/cfg", "SOFTWARE\\Harkbox Project\\Harkbox\\Settings", 0,
         "/cfg/Harkbox Project/Harkbox/Settings.reg"},
        {"/cfg", "SOFTWARE\\Unknown Company\\a/b\\\\Settings", 0,
         "/cfg/Unknown Company/a_b/Settings.reg"},
        {"/cfg", "SOFTWARE\\..\\Settings", EINVAL, ""},
        {"relative", "Co\\Settings", 0, "/home/someone/.config/Co/Settings.reg"},
    };
    for (const auto& [folder, key, error, file] : cases) {
        const test::ScopedEnv config("XDG_CONFIG_HOME", folder);
        std::string path;
        EXPECT_EQ(SettingsFiles::PathForKey(key, path), error) << key;
        EXPECT_EQ(path, file) << key;
    }
}

TEST(SettingsFilesTest, AFailedWriteLeavesTheOldFileAndAWriteKeepsAnotherWritersValue) {
    const fs::path folder =
        fs::temp_directory_path() / ("harkbox-settings-files-" + std::to_string(getpid()));
    const std::string file = (folder / "Settings.reg").string();
    const auto entries = [&] {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(entry.path().filename().string());
        return names;
    };
    // Each writer adds its line to what the file holds.
    const auto add = [](const char* line) {
        return [line](int, const std::vector<uint8_t>& bytes, std::string& text) {
            text = std::string(bytes.begin(), bytes.end()) + line;
            return 0;
        };
    };
    ASSERT_EQ(SettingsFiles::UpdateFile(file, 1000, add("old\n")), 0);
    EXPECT_EQ(SettingsFiles::ReplaceFile(file, "new", [] { return EIO; }), EIO);
    EXPECT_EQ(test::ReadFile(file), "old\n");
    EXPECT_EQ(entries(), (std::set<std::string>{"Settings.reg", "Settings.reg.lock"}))
        << "the temporary file is removed";

    // What a write cut off before its rename leaves goes, files that only
    // look alike stay.
    for (const char* name :
         {"Settings.reg.new-Ab12Cd", "Settings.reg.new-zzzzzz", "Settings.reg.new-Ab12C",
          "Settings.reg.new-Ab12C!", "Settings.reg.backup", "Other.reg.new-Ab12Cd"})
        std::ofstream(folder / name) << "x";
    // Another writer comes while this write waits for its rename; both lines
    // must end in the file.
    std::thread other;
    const auto beforeRename = [&] {
        other = std::thread([&] { SettingsFiles::UpdateFile(file, 1000, add("theirs\n")); });
        // Time for a writer that takes no lock to finish first.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return 0;
    };
    EXPECT_EQ(SettingsFiles::UpdateFile(file, 1000, add("mine\n"), beforeRename), 0);
    other.join();
    EXPECT_EQ(test::ReadFile(file), "old\nmine\ntheirs\n");
    EXPECT_EQ(entries(), (std::set<std::string>{"Settings.reg", "Settings.reg.lock",
                                                "Settings.reg.new-Ab12C", "Settings.reg.new-Ab12C!",
                                                "Settings.reg.backup", "Other.reg.new-Ab12Cd"}));
    fs::remove_all(folder);
}
#endif

}  // namespace
}  // namespace quil
