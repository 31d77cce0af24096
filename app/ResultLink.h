#pragma once

#include <string>
#include <string_view>

namespace quil {

// Links to the maker's web host: the page about a found song and the
// website's home page, with the user's country and language added when the
// song page is opened. Locales are POSIX locale names such as
// "en_GB.UTF-8" (language, territory, code set, modifier). Pure functions;
// any thread.
class ResultLink {
  public:
    // "http://" + host, with ":port" unless the port is 80 (0 means 80).
    static std::string WebHostRoot(std::string_view host, int port);
    // The song page: root + "/harkbox/links.pl?title=T&artist=A", both
    // texts encoded by EncodeUrlComponent.
    static std::string Build(std::string_view host, int port, std::string_view title,
                             std::string_view artist);
    // The website's home page: root + "/harkbox/".
    static std::string WebsitePage(std::string_view host, int port);
    // `link` + "&loc=CC" when the locale names a country, then + "&lang=ll"
    // when it names a known language.
    static std::string WithLocale(std::string link, std::string_view locale);

    // UTF-8 text (up to its first zero byte) as a URL query component: each
    // character, a letter and its following combining mark composed into
    // one where they compose, is written again in UTF-8 and every byte but
    // A-Z a-z 0-9 - . _ ~ becomes %XX (upper-case hex). Characters beyond
    // U+FFFF take four bytes; what is no Unicode character (above U+10FFFF,
    // or a lone surrogate half) becomes U+FFFD.
    static std::string EncodeUrlComponent(std::string_view text);

    // The locale's territory as two upper-case letters, "GB" given as "UK",
    // in `code` with its terminating zero: 0, or -1 and an empty text when
    // the locale names no two-letter territory.
    static int GetCountryCode(std::string_view locale, char (&code)[3]);
    // The locale's language as its two-letter ISO 639-1 code, found through
    // the table of the languages the web host knows: 0, or -1 and an empty
    // text when the language is not in it. Serbian shares its table number
    // with Croatian, which comes first, so "sr" gives "hr".
    static int GetLanguageCode(std::string_view locale, char (&code)[3]);
};

}  // namespace quil
