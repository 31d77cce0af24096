#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ProcessStarter.h"
#include "platform/SettingsDialogWindow.h"
#include "platform/WindowSystem.h"

namespace quil {

// The input settings: the name of the capture device in use and the small
// modeless dialog in which the user picks another one or opens the
// desktop's recording-level controls. The object lives from start-up to
// shutdown; its dialog window is made at the first ShowInputSettings and
// afterwards only shown and hidden. Main thread only.
//
// Commands of the dialog: "INPU" (the device list), "CONF" (the button) and
// "clos" (close box or Escape).
class InputSettingsDialog : public SettingsDialogListener {
  public:
    // Opens the capture on the device `name` (empty: none); answers 0 or an
    // error, which changes nothing here.
    using DeviceChosen = std::function<int(const std::string& name)>;
    // Fills `names` with the capture devices' names in the sound system's
    // order.
    using ListDevices = std::function<void(std::vector<std::string>& names)>;

    // The only entry of the disabled list when there is no device.
    static constexpr char kNoDeviceText[] = "No input device found";
    // The stored setting with the chosen device's name.
    static constexpr char kSettingName[] = "InputDevice";
    // The recording-level controls: PulseAudio's volume control, opened on
    // its tab of input devices.
    static constexpr char kLevelsProgram[] = "pavucontrol";
    static constexpr char kLevelsInputTab[] = "--tab=4";

    // `settingsKey` names the settings the choice is stored under;
    // `processes` (not owned) must outlive this object; `list` may be empty,
    // which lists no device.
    InputSettingsDialog(std::string settingsKey, ProcessStarter& processes, DeviceChosen chosen,
                        ListDevices list = {});
    ~InputSettingsDialog() override;
    InputSettingsDialog(const InputSettingsDialog&) = delete;
    InputSettingsDialog& operator=(const InputSettingsDialog&) = delete;

    // Makes the dialog on `system` the first time (filling the list from
    // the device listing), then shows it above the other windows. `system`
    // must outlive this object. Answers 0 or the system's creation error.
    int ShowInputSettings(WindowSystem& system);
    // Brings the list up to date with `names` (in order, duplicates
    // included): left untouched when it already shows exactly these names
    // with the current device selected; otherwise filled anew with the
    // current device's entry selected (the last of several, none when it is
    // not listed). No names: the single disabled entry kNoDeviceText.
    // Nothing happens before the dialog exists.
    void RefreshDeviceList(const std::vector<std::string>& names);

    // INPU: the selected entry's name (empty when none is selected) becomes
    // the current device, goes to the DeviceChosen callback and is stored
    // as kSettingName, also when the selection did not change; nothing on
    // the disabled list, which offers no device. CONF: starts the
    // recording-level controls when installed. clos: hides the dialog.
    // Other codes are not handled.
    bool command(uint32_t code, uint32_t argument) override;

    // The command line that opens the recording-level controls, or empty
    // when they are not installed.
    static std::vector<std::string> RecordingControlCommand(ProcessStarter& processes);

    const std::string& currentDeviceName() const { return currentDeviceName_; }
    void setCurrentDeviceName(std::string name) { currentDeviceName_ = std::move(name); }
    // True once the dialog window was made.
    bool created() const { return window_ != nullptr; }
    // The dialog window, null before it was made; owned.
    SettingsDialogWindow* window() const { return window_.get(); }

  private:
    void ChooseSelectedDevice();

    std::string settingsKey_;
    ProcessStarter& processes_;
    DeviceChosen chosen_;
    ListDevices list_;
    std::string currentDeviceName_;
    std::unique_ptr<SettingsDialogWindow> window_;
};

}  // namespace quil
