// Settings file text: any bytes either parse or are refused, and whatever
// parses comes back unchanged through the writer.
#include <string>

#include "platform/SettingsFileFormat.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    quil::SettingsValues values;
    if (!quil::SettingsFileFormat::Parse(quil::ByteReader(data, size), values)) {
        quil::fuzz::Require(values.empty());
        return 0;
    }
    const std::string text = quil::SettingsFileFormat::Format(values);
    quil::SettingsValues again;
    quil::fuzz::Require(
        quil::SettingsFileFormat::Parse(
            quil::ByteReader(reinterpret_cast<const uint8_t*>(text.data()), text.size()), again) &&
        again == values);
    return 0;
}
