#include "audio/CaptureDevices.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/headless/HeadlessSoundInput.h"

namespace quil {
namespace {

TEST(CaptureDevicesTest, ChoosesTheStoredDeviceElseTheDefaultElseNone) {
    const SoundDevice mic{"USB Mic", "usb", false};
    const SoundDevice builtIn{"Built-in Audio", "pci", false};
    const SoundDevice monitor{"Monitor of Built-in Audio", "pci.monitor", true};
    // Listed without an identifier: it stands for whatever the default is.
    const SoundDevice primary{"Primary Sound Capture Driver", "", false};
    const std::nullopt_t unreadable = std::nullopt;  // the setting cannot be read
    const struct {
        const char* what;
        std::vector<SoundDevice> devices;
        std::string defaultIdentifier, current;  // current: the name chosen before
        std::optional<std::string> stored;
        std::string chosen;
        bool serverUp = true;
    } cases[] = {
        {"stored and present, not the default", {builtIn, mic}, "pci", "", "USB Mic", "USB Mic"},
        {"stored and back again", {builtIn, mic}, "pci", "Built-in Audio", "USB Mic", "USB Mic"},
        {"stored but gone", {builtIn, monitor}, "pci", "", "USB Mic", "Built-in Audio"},
        {"nothing stored", {builtIn, mic}, "usb", "", unreadable, "USB Mic"},
        {"unreadable keeps the name", {builtIn, mic}, "pci", "USB Mic", unreadable, "USB Mic"},
        {"a monitor can be chosen", {builtIn, monitor}, "pci", "", monitor.name, monitor.name},
        {"the primary driver never is the default", {primary, mic}, "usb", "", "", "USB Mic"},
        {"an empty stored name is no device", {builtIn}, "pci", "", "", "Built-in Audio"},
        {"names compare case-sensitively", {builtIn, mic}, "pci", "", "usb mic", "Built-in Audio"},
        {"the default behind one of its name", {{"Mic", "a"}, {"Mic", "b"}}, "a", "", "", "Mic"},
        {"default not listed", {builtIn}, "gone", "", "USB Mic", ""},
        {"no default", {builtIn}, "", "", "USB Mic", ""},
        {"no devices", {}, "", "", "USB Mic", ""},
        {"no server", {builtIn, mic}, "pci", "", "USB Mic", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HeadlessSoundInput input;
        input.SetDevices(c.devices, c.defaultIdentifier);
        input.SetServerUp(c.serverUp);
        CaptureDevices devices(input);
        devices.setCurrentName(c.current);
        CaptureDevices::NameList names{"stale"};
        EXPECT_EQ(devices.ChooseInputDevice(c.stored, names), c.chosen);
        EXPECT_EQ(devices.currentName(), c.chosen);
        EXPECT_EQ(names.size(), c.serverUp ? c.devices.size() : 0);
        std::string name = "unchanged";
        const int found = CaptureDevices::DefaultCaptureDeviceName(input, name);
        EXPECT_EQ(found == 0, c.serverUp && !c.chosen.empty()) << found;
        EXPECT_TRUE(c.serverUp || found == HeadlessSoundInput::kNoServer) << found;
        EXPECT_EQ(name == "unchanged", found != 0) << name;
    }
}

TEST(CaptureDevicesTest, ListKeepsTheServerOrderAndTheMapTheLaterOfTwoNames) {
    HeadlessSoundInput input;
    const std::string echo =
        "\xc3\x89"
        "cho";  // UTF-8 sorts after ASCII
    input.SetDevices({{"mic", "a"}, {"Mic 2", "b"}, {echo, "c"}, {"Mic", "d"}, {"Mic 2", "e"}},
                     "a");
    CaptureDevices::NameList list;
    CaptureDevices::ListCaptureDeviceNames(input, list);
    EXPECT_EQ(list, (CaptureDevices::NameList{"mic", "Mic 2", echo, "Mic", "Mic 2"}));
    CaptureDevices::NameMap map;
    CaptureDevices::MapCaptureDevices(input, map);
    // Of the two "Mic 2" the later one's identifier.
    EXPECT_EQ(map,
              (CaptureDevices::NameMap{{"Mic", "d"}, {"Mic 2", "e"}, {"mic", "a"}, {echo, "c"}}));
}

}  // namespace
}  // namespace quil
