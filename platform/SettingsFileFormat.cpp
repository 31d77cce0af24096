#include "platform/SettingsFileFormat.h"

#include <utility>

#include "platform/ByteCursor.h"

namespace quil {
namespace {

int HexDigit(uint8_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsControl(uint8_t c) {
    return c < 0x20 || c == 0x7F;
}

// Reads one quoted string at the cursor (the opening quote included) into
// `out`. False on a missing quote, a bad escape, a raw control byte or the
// end of the input.
bool ReadQuoted(ByteCursor& cursor, std::string& out) {
    if (cursor.U8() != '"')
        return false;
    out.clear();
    while (cursor.ok()) {
        const uint8_t c = cursor.U8();
        if (!cursor.ok() || IsControl(c))
            return false;
        if (c == '"')
            return true;
        if (c != '\\') {
            out.push_back(static_cast<char>(c));
            continue;
        }
        const uint8_t e = cursor.U8();
        switch (e) {
            case '\\':
            case '"':
                out.push_back(static_cast<char>(e));
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'x': {
                const int high = HexDigit(cursor.U8());
                const int low = HexDigit(cursor.U8());
                if (!cursor.ok() || high < 0 || low < 0)
                    return false;
                out.push_back(static_cast<char>(high << 4 | low));
                break;
            }
            default:
                return false;
        }
    }
    return false;
}

// Consumes the line end at the cursor: "\n", "\r\n", or the end of the
// input. False when anything else follows.
bool ReadLineEnd(ByteCursor& cursor) {
    if (cursor.remaining() == 0)
        return true;
    uint8_t c = cursor.U8();
    if (c == '\r')
        c = cursor.U8();
    return cursor.ok() && c == '\n';
}

bool ReadExact(ByteCursor& cursor, const char* text) {
    for (const char* p = text; *p; ++p) {
        if (cursor.U8() != static_cast<uint8_t>(*p))
            return false;
    }
    return cursor.ok();
}

// The next byte without consuming it; 0 at the end of the input.
uint8_t Peek(const ByteCursor& cursor) {
    ByteCursor probe = cursor;
    return probe.U8();
}

bool ReadValueLine(ByteCursor& cursor, SettingsValues& values) {
    std::string name;
    if (!ReadQuoted(cursor, name) || name.empty())
        return false;
    if (cursor.U8() != '=')
        return false;
    SettingsValue value;
    if (Peek(cursor) == '"') {
        value.type = SettingsValue::Type::kText;
        if (!ReadQuoted(cursor, value.text))
            return false;
    } else {
        if (!ReadExact(cursor, "dword:"))
            return false;
        uint32_t dword = 0;
        for (int i = 0; i < 8; ++i) {
            const int digit = HexDigit(cursor.U8());
            if (!cursor.ok() || digit < 0)
                return false;
            dword = dword << 4 | static_cast<uint32_t>(digit);
        }
        value.type = SettingsValue::Type::kDword;
        value.dword = dword;
    }
    if (!ReadLineEnd(cursor))
        return false;
    values.insert_or_assign(std::move(name), std::move(value));
    return true;
}

void AppendQuoted(std::string& out, const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    out.push_back('"');
    for (const char ch : text) {
        const auto c = static_cast<uint8_t>(ch);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (IsControl(c)) {
                    out += "\\x";
                    out.push_back(kHex[c >> 4]);
                    out.push_back(kHex[c & 15]);
                } else {
                    out.push_back(ch);
                }
        }
    }
    out.push_back('"');
}

}  // namespace

bool SettingsFileFormat::Parse(ByteReader bytes, SettingsValues& values) {
    values.clear();
    if (bytes.size() > kMaxFileSize)
        return false;
    ByteCursor cursor(bytes);
    if (!ReadExact(cursor, kHeader) || !ReadLineEnd(cursor))
        return false;
    SettingsValues parsed;
    while (cursor.remaining() > 0) {
        const uint8_t next = Peek(cursor);
        if (next == '\n' || next == '\r') {
            if (!ReadLineEnd(cursor))
                return false;
            continue;
        }
        if (!ReadValueLine(cursor, parsed))
            return false;
    }
    values = std::move(parsed);
    return true;
}

std::string SettingsFileFormat::Format(const SettingsValues& values) {
    static const char kHex[] = "0123456789abcdef";
    std::string out = kHeader;
    out.push_back('\n');
    for (const auto& [name, value] : values) {
        AppendQuoted(out, name);
        out.push_back('=');
        if (value.type == SettingsValue::Type::kText) {
            AppendQuoted(out, value.text);
        } else {
            out += "dword:";
            for (int shift = 28; shift >= 0; shift -= 4)
                out.push_back(kHex[value.dword >> shift & 15]);
        }
        out.push_back('\n');
    }
    return out;
}

}  // namespace quil
