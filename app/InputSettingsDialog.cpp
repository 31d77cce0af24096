#include "app/InputSettingsDialog.h"

#include "app/Application.h"
#include "app/SettingsStore.h"

namespace quil {

InputSettingsDialog::InputSettingsDialog(std::string settingsKey, ProcessStarter& processes,
                                         DeviceChosen chosen, ListDevices list)
    : settingsKey_(std::move(settingsKey)),
      processes_(processes),
      chosen_(std::move(chosen)),
      list_(std::move(list)) {}

InputSettingsDialog::~InputSettingsDialog() = default;

int InputSettingsDialog::ShowInputSettings(WindowSystem& system) {
    if (!window_) {
        const SettingsDialogLayout layout{
            "Harkbox Settings",  "Input device:",     "Recording Levels...",
            CommandCode("INPU"), CommandCode("CONF"), CommandCode("clos")};
        int error = 0;
        window_ = system.CreateSettingsDialog(layout, *this, error);
        if (!window_)
            return error != 0 ? error : -1;
        std::vector<std::string> names;
        if (list_)
            list_(names);
        RefreshDeviceList(names);
    }
    window_->Show();
    return 0;
}

void InputSettingsDialog::RefreshDeviceList(const std::vector<std::string>& names) {
    if (!window_)
        return;
    if (names.empty()) {
        window_->SetItems({kNoDeviceText}, 0, false);
        return;
    }
    int32_t wanted = -1;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == currentDeviceName_)
            wanted = int32_t(i);
    }
    // The disabled list shows the no-device entry, not a device, even when
    // a device happens to carry that name.
    if (window_->ListEnabled() && window_->SelectedItem() == wanted && window_->Items() == names)
        return;
    window_->SetItems(names, wanted, true);
}

void InputSettingsDialog::ChooseSelectedDevice() {
    // Without devices the only entry is a notice; taking it for a device
    // name would store it as the user's choice.
    if (!window_->ListEnabled())
        return;
    const std::vector<std::string> items = window_->Items();
    const int32_t selected = window_->SelectedItem();
    currentDeviceName_ =
        selected >= 0 && size_t(selected) < items.size() ? items[size_t(selected)] : std::string();
    // A device that does not open is still the user's choice: the setting
    // is written all the same, and the main window says there is no input.
    if (chosen_)
        chosen_(currentDeviceName_);
    try {
        SettingsStore::WriteText(settingsKey_, kSettingName, currentDeviceName_);
    } catch (...) {
        // An unwritable setting leaves the choice for this session only.
    }
}

bool InputSettingsDialog::command(uint32_t code, uint32_t) {
    switch (code) {
        case CommandCode("INPU"):
            if (window_)
                ChooseSelectedDevice();
            return true;
        case CommandCode("CONF"): {
            const std::vector<std::string> argv = RecordingControlCommand(processes_);
            // Without the program, or when it fails to start, nothing shows.
            if (!argv.empty())
                processes_.StartDetached(argv);
            return true;
        }
        case CommandCode("clos"):
            if (window_)
                window_->Hide();
            return true;
        default:
            return false;
    }
}

std::vector<std::string> InputSettingsDialog::RecordingControlCommand(ProcessStarter& processes) {
    const std::string path = processes.FindProgram(kLevelsProgram);
    if (path.empty())
        return {};
    return {path, kLevelsInputTab};
}

}  // namespace quil
