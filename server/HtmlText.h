#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Texts on their way into the service's HTML pages. Song texts come from
// file tags and from query strings, so they may hold any bytes at all.

namespace quil {

// `text` with & < > " ' replaced by character references, so that the
// result may stand in element content and in quoted attribute values alike.
std::string EscapeHtml(std::string_view text);

// `text` as well-formed UTF-8 of at most `maxBytes` bytes. A byte that does
// not begin a valid sequence (stray continuation bytes, overlong forms,
// surrogates, code points above U+10FFFF, sequences cut short) becomes
// U+FFFD, and so does a control character other than tab, line feed and
// carriage return. The result ends before the first character that would
// not fit, never inside one.
std::string CleanUtf8(std::string_view text, size_t maxBytes);

}  // namespace quil
