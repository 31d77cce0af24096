// The settings file text: round trips, escapes, and damaged files that must
// read as nothing.
#include "platform/SettingsFileFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

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

TEST(SettingsFileFormatTest, FormatsOneValuePerLineAndReadsItBack) {
    SettingsValues values;
    values["HarkboxWindowWidth"] = Dword(200);
    values["HarkboxWindowOrigin"] = Text("(40, 40)");
    values["InputDevice"] = Text("Built-in Audio Analog Stereo");
    const std::string text = SettingsFileFormat::Format(values);
    EXPECT_EQ(text,
              "Harkbox Settings 1\n"
              "\"HarkboxWindowOrigin\"=\"(40, 40)\"\n"
              "\"HarkboxWindowWidth\"=dword:000000c8\n"
              "\"InputDevice\"=\"Built-in Audio Analog Stereo\"\n");
    SettingsValues back;
    ASSERT_TRUE(ParseText(text, back));
    EXPECT_EQ(back, values);
}

TEST(SettingsFileFormatTest, EveryByteSurvivesInNamesAndTexts) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    all.push_back('\0');
    SettingsValues values;
    values[all] = Text(all);
    values["quote\"back\\slash"] = Dword(0xFFFFFFFF);
    const std::string text = SettingsFileFormat::Format(values);
    // Exactly the header and two value lines: nothing breaks a line.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    SettingsValues back;
    ASSERT_TRUE(ParseText(text, back));
    EXPECT_EQ(back, values);
}

TEST(SettingsFileFormatTest, AcceptsCrLfBlankLinesUpperCaseHexAndLastDuplicateWins) {
    SettingsValues values;
    ASSERT_TRUE(ParseText(
        "Harkbox Settings 1\r\n\r\n\"A\"=dword:0000ABcd\r\n\n\"B\"=\"x\"\n\"A\"=\"later\"",
        values));
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values["A"], Text("later"));
    EXPECT_EQ(values["B"], Text("x"));
    ASSERT_TRUE(ParseText("Harkbox Settings 1\n\"A\"=dword:0000ABcd\n", values));
    EXPECT_EQ(values["A"], Dword(0xABCD));
    ASSERT_TRUE(ParseText("Harkbox Settings 1", values));
    EXPECT_TRUE(values.empty());
}

TEST(SettingsFileFormatTest, DamagedFilesReadAsNothing) {
    const std::string header = "Harkbox Settings 1\n";
    const std::string good = "\"Good\"=dword:00000001\n";
    const char* damaged[] = {
        "\"A\"=dword:0000001\n",    // seven digits
        "\"A\"=dword:000000001\n",  // nine digits
        "\"A\"=dword:0000000g\n",  "\"A\"=DWORD:00000001\n",     "\"A\"=\"unterminated\n",
        "\"A\"=\"truncated",       "\"A\"=\"bad escape \\q\"\n", "\"A\"=\"short hex \\x4\"\n",
        "\"A\"=\"raw\ttab\"\n",    "\"\"=\"empty name\"\n",      "\"A\" = \"spaces\"\n",
        "\"A\"=\"x\" trailing\n",  "A=\"unquoted name\"\n",      "; comment\n",
        "\"A\"=\"x\"\r",           "\"A\"=\"x\"\r\r\n",          "\"A\"",
    };
    for (const char* body : damaged) {
        SettingsValues values;
        values["stale"] = Dword(1);
        EXPECT_FALSE(ParseText(header + good + body, values)) << body;
        EXPECT_TRUE(values.empty()) << body;
    }
    // Files without the header.
    for (const char* whole :
         {"", "Harkbox Settings 2\n", "Harkbox Settings 1 \n",
          "Windows Registry Editor Version 5.00\n", "\"Good\"=dword:00000001\n"}) {
        SettingsValues values;
        EXPECT_FALSE(ParseText(whole, values)) << whole;
    }
    // A line without a value is not passed over, nor a NUL byte or garbage.
    SettingsValues values;
    EXPECT_FALSE(ParseText(header + "\"A\"=\n" + good, values));
    std::string withNul = header + "\"A\"=\"a";
    withNul.push_back('\0');
    withNul += "b\"\n";
    EXPECT_FALSE(ParseText(withNul, values));
    std::string garbage = header;
    for (int i = 0; i < 4096; ++i)
        garbage.push_back(static_cast<char>(i * 131 + 7));
    EXPECT_FALSE(ParseText(garbage, values));
}

TEST(SettingsFileFormatTest, SizeLimitIsTheWholeFile) {
    const std::string header = "Harkbox Settings 1\n";
    const std::string prefix = header + "\"A\"=\"";
    const std::string suffix = "\"\n";
    std::string fits = prefix;
    fits.append(SettingsFileFormat::kMaxFileSize - prefix.size() - suffix.size(), 'x');
    fits += suffix;
    ASSERT_EQ(fits.size(), SettingsFileFormat::kMaxFileSize);
    SettingsValues values;
    EXPECT_TRUE(ParseText(fits, values));
    fits.insert(prefix.size(), 1, 'x');
    EXPECT_FALSE(ParseText(fits, values));
    EXPECT_TRUE(values.empty());
}

}  // namespace
}  // namespace quil
