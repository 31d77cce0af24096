#include "app/ResultLink.h"

#include <cstdint>
#include <string>

#include "gfx/ComposedReader.h"
#include "gfx/Utf8.h"

namespace quil {

namespace {

struct Language {
    uint16_t id;  // the platform-neutral primary language number
    char code[3];
};

// Searched in order, the first match winning; 0x1A stands twice, so Serbian
// meets Croatian first.
constexpr Language kLanguages[] = {
    {0x36, "af"}, {0x1C, "sq"}, {0x01, "ar"}, {0x2B, "hy"}, {0x4D, "as"}, {0x2C, "az"},
    {0x2D, "eu"}, {0x23, "be"}, {0x45, "bn"}, {0x02, "bg"}, {0x03, "ca"}, {0x04, "zh"},
    {0x1A, "hr"}, {0x05, "cs"}, {0x06, "da"}, {0x65, "dv"}, {0x13, "nl"}, {0x09, "en"},
    {0x25, "et"}, {0x38, "fo"}, {0x0B, "fi"}, {0x0C, "fr"}, {0x56, "gl"}, {0x37, "ka"},
    {0x07, "de"}, {0x08, "el"}, {0x47, "gu"}, {0x0D, "he"}, {0x39, "hi"}, {0x0E, "hu"},
    {0x0F, "is"}, {0x21, "id"}, {0x10, "it"}, {0x11, "ja"}, {0x4B, "kn"}, {0x60, "ks"},
    {0x3F, "kk"}, {0x12, "ko"}, {0x40, "ky"}, {0x26, "lv"}, {0x27, "lt"}, {0x2F, "mk"},
    {0x3E, "ms"}, {0x4C, "ml"}, {0x4E, "mr"}, {0x50, "mn"}, {0x61, "ne"}, {0x14, "no"},
    {0x48, "or"}, {0x15, "pl"}, {0x16, "pt"}, {0x46, "pa"}, {0x18, "ro"}, {0x19, "ru"},
    {0x4F, "sa"}, {0x1A, "sr"}, {0x59, "sd"}, {0x1B, "sk"}, {0x24, "sl"}, {0x0A, "es"},
    {0x41, "sw"}, {0x1D, "sv"}, {0x49, "ta"}, {0x44, "tt"}, {0x4A, "te"}, {0x1E, "th"},
    {0x1F, "tr"}, {0x22, "uk"}, {0x20, "ur"}, {0x43, "uz"}, {0x2A, "vi"},
};
static_assert(sizeof kLanguages / sizeof kLanguages[0] == 71);

// Locale languages that the table knows under another code: Norwegian
// Bokmål and Nynorsk are both Norwegian there.
constexpr Language kAliases[] = {{0x14, "nb"}, {0x14, "nn"}};

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The locale's language and territory parts: "ll_TT.codeset@modifier".
std::string_view LanguagePart(std::string_view locale) {
    return locale.substr(0, locale.find_first_of("_.@"));
}

std::string_view TerritoryPart(std::string_view locale) {
    const size_t underscore = locale.find('_');
    const size_t end = locale.find_first_of(".@");
    if (underscore == std::string_view::npos || (end != std::string_view::npos && end < underscore))
        return {};
    return locale.substr(underscore + 1,
                         end == std::string_view::npos ? end : end - underscore - 1);
}

void AppendUtf8(std::string& out, uint32_t c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsUnreserved(uint8_t b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
           b == '.' || b == '_' || b == '~';
}

}  // namespace

std::string ResultLink::WebHostRoot(std::string_view host, int port) {
    std::string root = "http://";
    root += host;
    if (port != 0 && port != 80) {
        root += ':';
        root += std::to_string(port);
    }
    return root;
}

std::string ResultLink::Build(std::string_view host, int port, std::string_view title,
                              std::string_view artist) {
    return WebHostRoot(host, port) + "/harkbox/links.pl?title=" + EncodeUrlComponent(title) +
           "&artist=" + EncodeUrlComponent(artist);
}

std::string ResultLink::WebsitePage(std::string_view host, int port) {
    return WebHostRoot(host, port) + "/harkbox/";
}

std::string ResultLink::WithLocale(std::string link, std::string_view locale) {
    char code[3];
    if (GetCountryCode(locale, code) == 0)
        link += std::string("&loc=") + code;
    if (GetLanguageCode(locale, code) == 0)
        link += std::string("&lang=") + code;
    return link;
}

std::string ResultLink::EncodeUrlComponent(std::string_view text) {
    // The decoder reads the zero-terminated form: a zero byte ends the text.
    const std::string terminated(text.substr(0, text.find('\0')));
    std::string utf8;
    ComposedReader reader(Utf8Decoder::ZeroTerminated(terminated.c_str()));
    while (!reader.done()) {
        // A sequence cut off by the end of the text decodes to 0: no character.
        if (const uint32_t c = reader.Next(); c != 0)
            AppendUtf8(utf8, c);
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(utf8.size() * 3);
    for (const char ch : utf8) {
        const auto b = static_cast<uint8_t>(ch);
        if (IsUnreserved(b)) {
            encoded += ch;
        } else {
            encoded += '%';
            encoded += kHex[b >> 4];
            encoded += kHex[b & 0xF];
        }
    }
    return encoded;
}

int ResultLink::GetCountryCode(std::string_view locale, char (&code)[3]) {
    code[0] = 0;
    const std::string_view territory = TerritoryPart(locale);
    if (territory.size() != 2 || !IsAsciiLetter(territory[0]) || !IsAsciiLetter(territory[1]))
        return -1;
    code[0] = Upper(territory[0]);
    code[1] = Upper(territory[1]);
    code[2] = 0;
    // The web host knows the United Kingdom by its everyday code.
    if (code[0] == 'G' && code[1] == 'B') {
        code[0] = 'U';
        code[1] = 'K';
    }
    return 0;
}

int ResultLink::GetLanguageCode(std::string_view locale, char (&code)[3]) {
    code[0] = 0;
    const std::string_view part = LanguagePart(locale);
    if (part.size() != 2 || !IsAsciiLetter(part[0]) || !IsAsciiLetter(part[1]))
        return -1;
    const char language[3] = {Lower(part[0]), Lower(part[1]), 0};
    const auto numberIn = [&](const auto& table) {
        for (const Language& entry : table) {
            if (entry.code[0] == language[0] && entry.code[1] == language[1])
                return static_cast<int>(entry.id);
        }
        return -1;
    };
    int id = numberIn(kLanguages);
    if (id < 0)
        id = numberIn(kAliases);
    if (id < 0)
        return -1;
    for (const Language& entry : kLanguages) {
        if (entry.id == id) {
            code[0] = entry.code[0];
            code[1] = entry.code[1];
            code[2] = 0;
            return 0;
        }
    }
    return -1;
}

}  // namespace quil
