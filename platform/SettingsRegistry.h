#pragma once

#include <string>

#include "platform/SettingsFileFormat.h"

namespace quil {

// Where the per-user settings keys live: the registry under
// HKEY_CURRENT_USER on Windows, one file per key elsewhere (SettingsFiles,
// SettingsFileFormat). Key names are backslash-separated
// ("SOFTWARE\\Harkbox Project\\Harkbox\\Settings"), value names are not
// empty. Each call opens the key for itself and leaves nothing open.
// Errors are the platform's numbers (errno values; the registry's error
// codes on Windows); a missing key or value is 2 on both (ENOENT,
// ERROR_FILE_NOT_FOUND). Main thread.
class SettingsRegistry {
  public:
    // ReadValue's answer for a value stored with another type than a
    // 32-bit integer or a text.
    static constexpr int kOtherType = -1;

    // The value `name` of `key`: 0 with `value` set, or an error number.
    static int ReadValue(const std::string& key, const std::string& name, SettingsValue& value);
    // Stores `value` as `name` under `key`, creating the key when needed
    // and keeping its other values.
    static int WriteValue(const std::string& key, const std::string& name,
                          const SettingsValue& value);
};

}  // namespace quil
