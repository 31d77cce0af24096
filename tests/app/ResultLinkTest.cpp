// The song page's link: the encoding of its texts, the web host's address,
// and the country and language taken from the locale.
#include "app/ResultLink.h"

#include <gtest/gtest.h>

#include <tuple>

namespace quil {
namespace {

TEST(ResultLinkTest, EncodesTextsAsUtf8QueryComponentsInLinks) {
    const std::pair<std::string, std::string> cases[] = {
        {"Az09~_-.", "Az09~_-."},
        {"u\xCC\x88", "%C3%BC"},               // u + U+0308 composes to ü
        {"\xE2\x82\xAC", "%E2%82%AC"},         // U+20AC
        {"\xF3\xB0\x81\x80", "%F3%B0%81%80"},  // U+F0040: four bytes, each shows a wrong bit
        {"\xF4\x90\x80\x80", "%EF%BF%BD"},     // above U+10FFFF
        {std::string("ab\0cd", 5), "ab"},      // a zero byte ends the text
        {"x\xC3", "x"},                        // a cut-off sequence
    };
    for (const auto& [text, encoded] : cases)
        EXPECT_EQ(ResultLink::EncodeUrlComponent(text), encoded) << text;
    // Links name the port only when it is not 80.
    EXPECT_EQ(ResultLink::Build("songs.example.org", 80, "T i", "A&B"),
              "http://songs.example.org/harkbox/links.pl?title=T%20i&artist=A%26B");
    EXPECT_EQ(ResultLink::WebsitePage("songs.example.org", 0), "http://songs.example.org/harkbox/");
}

TEST(ResultLinkTest, CountryAndLanguageFromTheLocale) {
    // The locale, its country and language codes (empty: none).
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"fr_CA.UTF-8@euro", "CA", "fr"},
        {"sr_RS", "RS", "hr"},
        {"ZH_tw", "TW", "zh"},  // z is a letter; case does not matter
        {"nb_NO.UTF-8", "NO", "no"},
        {"fil_PH", "PH", ""},
        {"C", "", ""},
    };
    for (const auto& [locale, country, language] : cases) {
        char loc[3] = "??", lang[3] = "??";
        EXPECT_EQ(ResultLink::GetCountryCode(locale, loc), *country ? 0 : -1) << locale;
        EXPECT_STREQ(loc, country) << locale;
        EXPECT_EQ(ResultLink::GetLanguageCode(locale, lang), *language ? 0 : -1) << locale;
        EXPECT_STREQ(lang, language) << locale;
    }
    EXPECT_EQ(ResultLink::WithLocale("L", "ja"), "L&lang=ja");
}

}  // namespace
}  // namespace quil
