#pragma once

#include <string>

namespace quil {

// Path of the font file for a family name given without extension. When the
// environment variable SYSTEMROOT is set: "<SYSTEMROOT>/Fonts/<name>.ttf"
// (cut to 511 characters), whether or not the file exists. Otherwise, on
// Windows the same under the Windows folder; elsewhere the system's font
// configuration chooses the best match, which may be a metric-compatible
// stand-in ("Arial" gives Liberation Sans) or another face altogether.
// Empty when nothing is found.
std::string FindFontFile(const std::string& name);

}  // namespace quil
