// The settings keys of the system's registry (Windows builds): typed values
// round-trip through the real registry of the user running the tests,
// under a key of this test run's own.
#include "platform/SettingsRegistry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace quil {
namespace {

constexpr int kMissing = 2;  // ERROR_FILE_NOT_FOUND

std::string FreshKey(const std::string& leaf) {
    static const auto run = std::chrono::steady_clock::now().time_since_epoch().count();
    return "SOFTWARE\\Harkbox Tests\\" + std::to_string(run) + "\\" + leaf;
}

SettingsValue Dword(uint32_t number) {
    SettingsValue value;
    value.type = SettingsValue::Type::kDword;
    value.dword = number;
    return value;
}

SettingsValue Text(std::string text) {
    SettingsValue value;
    value.type = SettingsValue::Type::kText;
    value.text = std::move(text);
    return value;
}

TEST(SettingsRegistryTest, ValuesRoundTripAWriteReplacesValueAndTypeAndMissingIsNotFound) {
    const SettingsValue cases[] = {
        Dword(0),
        Dword(0xFFFFFFFFu),
        Text(""),
        Text("Mikrofon (Realtek\xC2\xAE Audio) \xE2\x80\x93 \xE6\x97\xA5\xE6\x9C\xAC"),
        Text(std::string(1023, 'x')),
    };
    const std::string key = FreshKey("RoundTrip");
    int index = 0;
    for (const SettingsValue& value : cases) {
        const std::string name = "Value" + std::to_string(index++);
        ASSERT_EQ(SettingsRegistry::WriteValue(key, name, value), 0) << name;
        SettingsValue read;
        ASSERT_EQ(SettingsRegistry::ReadValue(key, name, read), 0) << name;
        EXPECT_EQ(read, value) << name;
    }
    // Every value written stays beside the later ones; a write replaces the
    // value and its type.
    SettingsValue read;
    ASSERT_EQ(SettingsRegistry::ReadValue(key, "Value0", read), 0);
    EXPECT_EQ(read, cases[0]);
    ASSERT_EQ(SettingsRegistry::WriteValue(key, "Value0", Text("wide")), 0);
    ASSERT_EQ(SettingsRegistry::ReadValue(key, "Value0", read), 0);
    EXPECT_EQ(read, Text("wide"));

    read = Dword(7);
    EXPECT_EQ(SettingsRegistry::ReadValue(FreshKey("Nowhere"), "InputDevice", read), kMissing);
    EXPECT_EQ(SettingsRegistry::ReadValue(key, "HarkboxWindowOrigin", read), kMissing);
    EXPECT_EQ(read, Dword(7));
}

}  // namespace
}  // namespace quil
