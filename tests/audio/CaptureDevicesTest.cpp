#include "audio/CaptureDevices.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/headless/HeadlessSoundInput.h"

namespace quil {
namespace {

const SoundDevice kMic{"USB Mic", "alsa_input.usb", false};
const SoundDevice kBuiltIn{"Built-in Audio", "alsa_input.pci", false};
const SoundDevice kMonitor{"Monitor of Built-in Audio", "alsa_output.pci.monitor", true};
// Listed without an identifier: it stands for whatever the default is.
const SoundDevice kPrimary{"Primary Sound Capture Driver", "", false};

struct ChoiceCase {
    const char* what;
    std::vector<SoundDevice> devices;
    std::string defaultIdentifier;
    std::string current;                // the name chosen before
    std::optional<std::string> stored;  // nullopt: the setting cannot be read
    std::string chosen;
};

TEST(CaptureDevicesTest, ChoosesTheStoredDeviceElseTheDefaultElseNone) {
    const ChoiceCase cases[] = {
        {"stored and present, not the default",
         {kBuiltIn, kMic},
         "alsa_input.pci",
         "",
         "USB Mic",
         "USB Mic"},
        {"stored but gone",
         {kBuiltIn, kMonitor},
         "alsa_input.pci",
         "",
         "USB Mic",
         "Built-in Audio"},
        {"nothing stored", {kBuiltIn, kMic}, "alsa_input.usb", "", std::nullopt, "USB Mic"},
        {"unreadable setting keeps the current name",
         {kBuiltIn, kMic},
         "alsa_input.pci",
         "USB Mic",
         std::nullopt,
         "USB Mic"},
        {"a monitor can be chosen",
         {kBuiltIn, kMonitor},
         "alsa_input.pci",
         "",
         "Monitor of Built-in Audio",
         "Monitor of Built-in Audio"},
        {"the primary driver never matches the default",
         {kPrimary, kMic},
         "alsa_input.usb",
         "",
         std::nullopt,
         "USB Mic"},
        {"an empty stored name is no device",
         {kBuiltIn},
         "alsa_input.pci",
         "",
         "",
         "Built-in Audio"},
        {"names compare case-sensitively",
         {kBuiltIn, kMic},
         "alsa_input.pci",
         "",
         "usb mic",
         "Built-in Audio"},
        {"default not listed", {kBuiltIn}, "alsa_input.gone", "", "USB Mic", ""},
        {"no default", {kBuiltIn}, "", "", "USB Mic", ""},
        {"no devices", {}, "", "", "USB Mic", ""},
    };
    for (const ChoiceCase& c : cases) {
        HeadlessSoundInput input;
        input.SetDevices(c.devices, c.defaultIdentifier);
        CaptureDevices devices(input);
        devices.setCurrentName(c.current);
        CaptureDevices::NameList names{"stale"};
        EXPECT_EQ(devices.ChooseInputDevice(c.stored, names), c.chosen) << c.what;
        EXPECT_EQ(devices.currentName(), c.chosen) << c.what;
        EXPECT_EQ(names.size(), c.devices.size()) << c.what;
    }
}

TEST(CaptureDevicesTest, ReturnsToTheStoredDeviceWhenItComesBack) {
    HeadlessSoundInput input;
    input.SetDevices({kBuiltIn}, "alsa_input.pci");
    CaptureDevices devices(input);
    CaptureDevices::NameList names;
    EXPECT_EQ(devices.ChooseInputDevice("USB Mic", names), "Built-in Audio");
    input.SetDevices({kBuiltIn, kMic}, "alsa_input.pci");
    EXPECT_EQ(devices.ChooseInputDevice("USB Mic", names), "USB Mic");
}

TEST(CaptureDevicesTest, NoServerMeansNoDevicesAndNoChoice) {
    HeadlessSoundInput input;
    input.SetDevices({kBuiltIn, kMic}, "alsa_input.pci");
    input.SetServerUp(false);
    CaptureDevices devices(input);
    CaptureDevices::NameList names;
    EXPECT_EQ(devices.ChooseInputDevice("USB Mic", names), "");
    EXPECT_TRUE(names.empty());
    std::string name = "unchanged";
    EXPECT_EQ(CaptureDevices::DefaultCaptureDeviceName(input, name), HeadlessSoundInput::kNoServer);
    EXPECT_EQ(name, "unchanged");
}

TEST(CaptureDevicesTest, ListKeepsTheServerOrderAndTheMapSortsByteWise) {
    HeadlessSoundInput input;
    input.SetDevices({{"mic", "a", false},
                      {"Mic 2", "b", false},
                      {"\xc3\x89"
                       "cho",
                       "c", false},  // UTF-8 sorts after ASCII
                      {"Mic", "d", false},
                      {"Mic 2", "e", false}},
                     "a");
    CaptureDevices::NameList list;
    CaptureDevices::ListCaptureDeviceNames(input, list);
    EXPECT_EQ(list, (CaptureDevices::NameList{"mic", "Mic 2",
                                              "\xc3\x89"
                                              "cho",
                                              "Mic", "Mic 2"}));

    CaptureDevices::NameMap map;
    CaptureDevices::MapCaptureDevices(input, map);
    std::vector<std::pair<std::string, std::string>> entries(map.begin(), map.end());
    // Of the two "Mic 2" the later one's identifier; a prefix comes first.
    EXPECT_EQ(entries, (std::vector<std::pair<std::string, std::string>>{{"Mic", "d"},
                                                                         {"Mic 2", "e"},
                                                                         {"mic", "a"},
                                                                         {"\xc3\x89"
                                                                          "cho",
                                                                          "c"}}));
}

TEST(CaptureDevicesTest, DefaultIsFoundEvenBehindADeviceOfTheSameName) {
    HeadlessSoundInput input;
    input.SetDevices({{"Headset", "first", false}, {"Headset", "second", false}}, "first");
    std::string name;
    EXPECT_EQ(CaptureDevices::DefaultCaptureDeviceName(input, name), 0);
    EXPECT_EQ(name, "Headset");
}

}  // namespace
}  // namespace quil
