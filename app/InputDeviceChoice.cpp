// The input device: the choice at start-up and after every device change,
// opening the capture on it, and the ready and no-input states that follow.
#include <cstdio>
#include <optional>

#include "app/Application.h"
#include "app/SettingsStore.h"

namespace quil {

void Application::PostToMain(void (Application::*task)()) {
    if (!system_)
        return;
    system_->Post([self = self_, task] {
        if (Application* application = *self)
            (application->*task)();
    });
}

void Application::ChooseDevice() {
    std::optional<std::string> stored;
    try {
        stored = SettingsStore::ReadText(settingsKey_, InputSettingsDialog::kSettingName);
    } catch (...) {
        // Absent or unreadable: the current choice stands.
    }
    // The input settings hold the current device: the user's last pick or
    // the last choice made here.
    devices_->setCurrentName(inputSettings_.currentDeviceName());
    CaptureDevices::NameList names;
    const std::string chosen = devices_->ChooseInputDevice(stored, names);
    inputSettings_.setCurrentDeviceName(chosen);
    OnInputDeviceChosen(chosen);
    inputSettings_.RefreshDeviceList(names);
}

int Application::OnInputDeviceChosen(const std::string& name) {
    const bool wasOpen = capture_->open;
    capture_->Open(name);
    if (!capture_->open) {
        if (verbosity_ >= 1)
            std::fprintf(stderr, "Harkbox: could not open input device %s\n", name.c_str());
        ShowIdleState();
        return -1;
    }
    if (!wasOpen)
        ShowIdleState();
    return 0;
}

void Application::CaptureEnded() {
    // A device change may have opened the stream again meanwhile; a run on
    // it goes on.
    if (!capture_->open)
        ShowIdleState();
}

}  // namespace quil
