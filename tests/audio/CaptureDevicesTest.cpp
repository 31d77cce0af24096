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
        {"stored but gone", {builtIn}, "pci", "", "USB Mic", "Built-in Audio"},
        {"unreadable keeps the name", {builtIn, mic}, "pci", "USB Mic", unreadable, "USB Mic"},
        {"the default behind one of its name", {{"Mic", "a"}, {"Mic", "b"}}, "a", "", "", "Mic"},
        {"default not listed", {builtIn}, "gone", "", "USB Mic", ""},
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
        // Every name in the server's order, the same name twice as well.
        CaptureDevices::NameList listed;
        for (const SoundDevice& device : c.serverUp ? c.devices : std::vector<SoundDevice>{})
            listed.push_back(device.name);
        EXPECT_EQ(names, listed);
    }
}

}  // namespace
}  // namespace quil
