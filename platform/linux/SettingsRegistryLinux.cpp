// Settings keys as files: one file per key (SettingsFiles), its values in
// the text of SettingsFileFormat.
#include <cerrno>
#include <vector>

#include "platform/ByteReader.h"
#include "platform/SettingsFiles.h"
#include "platform/SettingsRegistry.h"

namespace quil {
namespace {

// The values of the key's file. A missing or damaged file answers 0 with
// no values, so that a write replaces it; other read errors are answered.
int LoadValues(const std::string& path, SettingsValues& values, bool& found) {
    found = false;
    std::vector<uint8_t> bytes;
    const int error = SettingsFiles::ReadFile(path, SettingsFileFormat::kMaxFileSize, bytes);
    if (error == ENOENT || error == EFBIG)
        return 0;
    if (error)
        return error;
    found = SettingsFileFormat::Parse(ByteReader(bytes.data(), bytes.size()), values);
    return 0;
}

}  // namespace

int SettingsRegistry::ReadValue(const std::string& key, const std::string& name,
                                SettingsValue& value) {
    std::string path;
    if (const int error = SettingsFiles::PathForKey(key, path))
        return error;
    SettingsValues values;
    bool found = false;
    if (const int error = LoadValues(path, values, found))
        return error;
    const auto entry = values.find(name);
    if (!found || entry == values.end())
        return ENOENT;
    value = entry->second;
    return 0;
}

int SettingsRegistry::WriteValue(const std::string& key, const std::string& name,
                                 const SettingsValue& value) {
    if (name.empty())
        return EINVAL;
    std::string path;
    if (const int error = SettingsFiles::PathForKey(key, path))
        return error;
    // Read and rewritten under the file's update lock, so that another
    // running copy's write in between is kept, not overwritten.
    const auto change = [&](int readError, const std::vector<uint8_t>& bytes, std::string& text) {
        if (readError != 0 && readError != ENOENT && readError != EFBIG)
            return readError;
        SettingsValues values;
        // A damaged or oversized file keeps nothing (Parse leaves no values).
        if (readError == 0)
            SettingsFileFormat::Parse(ByteReader(bytes.data(), bytes.size()), values);
        values.insert_or_assign(name, value);
        text = SettingsFileFormat::Format(values);
        // A file the next read would refuse is not written.
        return text.size() > SettingsFileFormat::kMaxFileSize ? EFBIG : 0;
    };
    return SettingsFiles::UpdateFile(path, SettingsFileFormat::kMaxFileSize, change);
}

}  // namespace quil
