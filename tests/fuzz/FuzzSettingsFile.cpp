// Settings file text: any bytes either parse or are refused, and whatever
// parses comes back unchanged through the writer.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/SettingsFileFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quil::SettingsValues values;
    if (!quil::SettingsFileFormat::Parse(quil::ByteReader(data, size), values)) {
        if (!values.empty())
            std::abort();
        return 0;
    }
    const std::string text = quil::SettingsFileFormat::Format(values);
    quil::SettingsValues again;
    if (!quil::SettingsFileFormat::Parse(
            quil::ByteReader(reinterpret_cast<const uint8_t*>(text.data()), text.size()), again) ||
        again != values) {
        std::abort();
    }
    return 0;
}
