#pragma once

#include <string>
#include <string_view>

namespace quil {

// UTF-8 (the program's texts) to and from UTF-16 (the system's wide
// calls). Bytes that are not UTF-8, and lone surrogates, become U+FFFD.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace quil
