#include "server/HtmlText.h"

#include <gtest/gtest.h>

#include <string>

namespace quil {
namespace {

using namespace std::string_literals;

const std::string R = "\xEF\xBF\xBD";  // U+FFFD

TEST(HtmlText, EscapesWhatCouldEndTextOrAttributeAndCleansUtf8WithinItsLength) {
    EXPECT_EQ(EscapeHtml("<a href=\"x\">'&'</a>"),
              "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
    const std::tuple<std::string, size_t, std::string> cases[] = {
        // in, length, out
        {"caf\xC3\xA9 \xE0\xA4\x85 \xF0\x9F\x8E\xB5", 100,
         "caf\xC3\xA9 \xE0\xA4\x85 \xF0\x9F\x8E\xB5"},
        {"\xC0\xAF", 100, R + R},                  // overlong
        {"\xED\xA0\x80", 100, R + R + R},          // surrogate
        {"\xF4\x90\x80\x80", 100, R + R + R + R},  // above U+10FFFF
        {"a\xE2\x82", 100, "a" + R + R},           // cut short
        {"\x80\xFF", 100, R + R},                  // no lead byte
        {"a\0b\x07\x7F\xC2\x85\t\r\n"s, 100, "a" + R + "b" + R + R + R + "\t\r\n"},
        {"ab\xC3\xA9", 3, "ab"},  // never inside a character
        {"a\xFF", 3, "a"},
        {"abc", 0, ""},
    };
    for (const auto& [in, length, out] : cases)
        EXPECT_EQ(CleanUtf8(in, length), out) << in;
}

}  // namespace
}  // namespace quil
