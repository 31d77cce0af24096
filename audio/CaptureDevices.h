#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/SoundInput.h"

namespace quil {

// Which capture devices there are and which one the capture stream records.
// Devices are known to people by name (the server's description, compared
// byte for byte); the stored InputDevice setting holds such a name. Nothing
// is cached: every call asks the sound input. Main thread.
class CaptureDevices {
  public:
    // Device names in the server's order, duplicates included.
    using NameList = std::vector<std::string>;
    // Name to identifier, names in byte order (a prefix before its
    // extensions); of two devices with one name the later one's identifier.
    using NameMap = std::map<std::string, std::string>;

    // `input` is not owned and must outlive this object.
    explicit CaptureDevices(SoundInput& input);

    // Appends every device's name to `list`; nothing when listing fails.
    static void ListCaptureDeviceNames(SoundInput& input, NameList& list);
    // Adds every device to `map`.
    static void MapCaptureDevices(SoundInput& input, NameMap& map);
    // The name of the server's default device: 0 and `name` set, the
    // input's error number, or -1 when no listed device has the default's
    // identifier; `name` is unchanged on failure.
    static int DefaultCaptureDeviceName(SoundInput& input, std::string& name);

    // The choice, at start-up and after every device change: the current
    // name becomes `stored` (the InputDevice setting; nullopt when it
    // cannot be read keeps the current name), stays if a device of that
    // name is listed, and is otherwise replaced by the default device's
    // name, or by the empty name when there is none. `names` receives the
    // fresh list (for the settings dialog). Answers the current name, for
    // the capture stream to open. The setting itself is never rewritten, so
    // that a device the user chose is taken up again when it returns.
    const std::string& ChooseInputDevice(const std::optional<std::string>& stored, NameList& names);

    // The name last chosen here or by the user.
    const std::string& currentName() const { return currentName_; }
    void setCurrentName(std::string name) { currentName_ = std::move(name); }

  private:
    SoundInput& input_;
    std::string currentName_;
};

}  // namespace quil
