#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "platform/ByteReader.h"

namespace quil {

// One stored setting: a 32-bit integer or a text of bytes (UTF-8 by
// convention, any byte allowed).
struct SettingsValue {
    enum class Type { kDword, kText };
    Type type = Type::kDword;
    uint32_t dword = 0;
    std::string text;

    friend bool operator==(const SettingsValue&, const SettingsValue&) = default;
};

// Named values of one settings key, ordered by name (bytes compared).
using SettingsValues = std::map<std::string, SettingsValue>;

// The text of a settings file, in the style of a registry export: a header
// line, then one value per line.
//
//   Harkbox Settings 1
//   "HarkboxWindowWidth"=dword:000000c8
//   "HarkboxWindowOrigin"="(40, 40)"
//
// Names and texts are quoted; inside the quotes a backslash escapes: \\ and \"
// stand for themselves, \n \r \t for those controls, \xHH (two hex digits)
// for any other byte. Every other byte below 0x20, and 0x7F, must be escaped,
// so a value never spans lines. A dword is exactly eight hex digits (either
// case when read, lower case when written). Lines end with "\n" or "\r\n";
// empty lines are allowed anywhere after the header. Names are not empty.
// When a name occurs twice the last line wins, as a registry import would
// apply them in order.
//
// Anything else - a wrong header, a malformed line, a raw control byte, a
// file above kMaxFileSize bytes - makes the whole file damaged: nothing of
// it is trusted, because a half-understood file may hold shifted values.
class SettingsFileFormat {
  public:
    static constexpr size_t kMaxFileSize = 64 * 1024;
    static constexpr const char* kHeader = "Harkbox Settings 1";

    // Parses `bytes` into `values` (cleared first). False when the file is
    // damaged; `values` is then empty.
    static bool Parse(ByteReader bytes, SettingsValues& values);
    // The file text for `values`, header included, one line per value.
    static std::string Format(const SettingsValues& values);
};

}  // namespace quil
