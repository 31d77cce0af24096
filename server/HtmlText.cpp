#include "server/HtmlText.h"

#include <cstdint>

namespace quil {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the well-formed sequence at `text[at]` and its code point, or
// 0 when the bytes there do not form one.
size_t DecodeAt(std::string_view text, size_t at, uint32_t& codePoint) {
    const auto lead = static_cast<uint8_t>(text[at]);
    size_t length = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
        codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
        codePoint = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
        codePoint = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() - at < length) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<uint8_t>(text[at + i]);
        if ((next & 0xC0u) != 0x80u) {
            return 0;
        }
        codePoint = codePoint << 6 | (next & 0x3Fu);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (codePoint < minimum || surrogate || codePoint > 0x10FFFF) {
        return 0;
    }
    return length;
}

bool IsUnwantedControl(uint32_t codePoint) {
    if (codePoint == '\t' || codePoint == '\n' || codePoint == '\r') {
        return false;
    }
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

}  // namespace

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string CleanUtf8(std::string_view text, size_t maxBytes) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        uint32_t codePoint = 0;
        const size_t length = DecodeAt(text, at, codePoint);
        std::string_view piece = text.substr(at, length);
        if (length == 0 || IsUnwantedControl(codePoint)) {
            piece = kReplacement;
        }
        if (out.size() + piece.size() > maxBytes) {
            break;
        }
        out += piece;
        at += length == 0 ? 1 : length;
    }
    return out;
}

}  // namespace quil
