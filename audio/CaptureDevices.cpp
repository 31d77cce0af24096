#include "audio/CaptureDevices.h"

#include <algorithm>

namespace quil {

CaptureDevices::CaptureDevices(SoundInput& input) : input_(input) {}

void CaptureDevices::ListCaptureDeviceNames(SoundInput& input, NameList& list) {
    std::vector<SoundDevice> devices;
    if (input.ListDevices(devices) != 0)
        return;
    for (const SoundDevice& device : devices)
        list.push_back(device.name);
}

void CaptureDevices::MapCaptureDevices(SoundInput& input, NameMap& map) {
    std::vector<SoundDevice> devices;
    if (input.ListDevices(devices) != 0)
        return;
    for (const SoundDevice& device : devices)
        map[device.name] = device.identifier;
}

int CaptureDevices::DefaultCaptureDeviceName(SoundInput& input, std::string& name) {
    std::string identifier;
    if (const int error = input.DefaultDeviceIdentifier(identifier); error != 0)
        return error;
    // Matched against every device, not the name map: there the default
    // would be lost behind a later device that shares its name.
    std::vector<SoundDevice> devices;
    input.ListDevices(devices);
    const std::string* found = nullptr;
    for (const SoundDevice& device : devices) {
        // An empty identifier stands for "the default", not for a device.
        if (device.identifier.empty() || device.identifier != identifier)
            continue;
        if (!found || device.name < *found)
            found = &device.name;
    }
    if (!found)
        return -1;
    name = *found;
    return 0;
}

const std::string& CaptureDevices::ChooseInputDevice(const std::optional<std::string>& stored,
                                                     NameList& names) {
    if (stored)
        currentName_ = *stored;
    names.clear();
    ListCaptureDeviceNames(input_, names);
    if (std::find(names.begin(), names.end(), currentName_) == names.end() &&
        DefaultCaptureDeviceName(input_, currentName_) != 0)
        currentName_.clear();
    return currentName_;
}

}  // namespace quil
