#include "app/SettingsStore.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/ProgramVersion.h"
#include "platform/SettingsRegistry.h"

#ifndef HARKBOX_COMPANY_NAME
#define HARKBOX_COMPANY_NAME ""
#endif
#ifndef HARKBOX_INTERNAL_NAME
#define HARKBOX_INTERNAL_NAME ""
#endif

namespace quil {
namespace {

constexpr int32_t kWrongType = -1;

void Find(const std::string& key, const std::string& name, SettingsValue& value) {
    const int error = SettingsRegistry::ReadValue(key, name, value);
    if (error == SettingsRegistry::kOtherType)
        throw SettingsError(kWrongType);
    if (error)
        throw SettingsError(error);
}

std::string FindText(const std::string& key, const std::string& name) {
    SettingsValue value;
    Find(key, name, value);
    if (value.type != SettingsValue::Type::kText)
        throw SettingsError(kWrongType);
    return std::move(value.text);
}

void Store(const std::string& key, const std::string& name, const SettingsValue& value) {
    if (name.empty())
        throw SettingsError(EINVAL);
    if (const int error = SettingsRegistry::WriteValue(key, name, value))
        throw SettingsError(error);
}

void StoreText(const std::string& key, const std::string& name, std::string text) {
    SettingsValue value;
    value.type = SettingsValue::Type::kText;
    value.text = std::move(text);
    Store(key, name, value);
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// "%d": white space, an optional sign, at least one digit; the value must
// fit 32 bits.
bool ScanInt(const std::string& text, size_t& at, int32_t& out) {
    while (at < text.size() && IsSpace(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+'))
        negative = text[at++] == '-';
    const size_t digitsStart = at;
    int64_t value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        value = value * 10 + (text[at++] - '0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1)
            return false;
    }
    if (at == digitsStart)
        return false;
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int32_t>::max())
        return false;
    out = static_cast<int32_t>(value);
    return true;
}

bool ParsePoint(const std::string& text, int32_t& x, int32_t& y) {
    size_t at = 0;
    if (at >= text.size() || text[at++] != '(')
        return false;
    if (!ScanInt(text, at, x))
        return false;
    if (at >= text.size() || text[at++] != ',')
        return false;
    while (at < text.size() && IsSpace(text[at]))
        ++at;
    return ScanInt(text, at, y);
}

}  // namespace

SettingsError::SettingsError(int32_t code)
    : std::runtime_error("settings operation failed with " + std::to_string(code)), code_(code) {}

std::string SettingsStore::BuildSettingsKey(std::string_view programPath) {
    std::string company;
    std::string internalName;
    const int error = ReadProgramVersionNames(std::string(programPath), company, internalName);
    if (error == 0)
        return SettingsKeyFor(company, internalName, programPath);
    if (error == ENOSYS)
        return SettingsKeyFor(HARKBOX_COMPANY_NAME, HARKBOX_INTERNAL_NAME, programPath);
    return SettingsKeyFor({}, {}, programPath);
}

std::string SettingsStore::SettingsKeyFor(std::string_view company, std::string_view internalName,
                                          std::string_view programPath) {
    std::string key;
    if (!company.empty() && !internalName.empty()) {
        key = "SOFTWARE\\" + std::string(company) + "\\" + std::string(internalName) + "\\Settings";
    } else {
        size_t cut = programPath.rfind('/');
        if (cut == std::string_view::npos)
            cut = programPath.rfind('\\');
        const std::string_view file =
            cut == std::string_view::npos ? programPath : programPath.substr(cut + 1);
        key = "SOFTWARE\\Unknown Company\\" + std::string(file) + "\\Settings";
    }
    if (key.size() > kMaxKeyLength)
        key.resize(kMaxKeyLength);
    return key;
}

int32_t SettingsStore::ReadInt(const std::string& key, const std::string& name) {
    SettingsValue value;
    Find(key, name, value);
    if (value.type != SettingsValue::Type::kDword)
        throw SettingsError(kWrongType);
    return static_cast<int32_t>(value.dword);
}

void SettingsStore::WriteInt(const std::string& key, const std::string& name, int32_t value) {
    SettingsValue stored;
    stored.type = SettingsValue::Type::kDword;
    stored.dword = static_cast<uint32_t>(value);
    Store(key, name, stored);
}

void SettingsStore::ReadString(const std::string& key, const std::string& name, char* buffer,
                               size_t size) {
    const std::string text = FindText(key, name);
    if (!buffer || text.size() >= size)
        throw SettingsError(ERANGE);
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
}

void SettingsStore::WriteString(const std::string& key, const std::string& name, const char* text) {
    StoreText(key, name, text ? std::string(text) : std::string());
}

void SettingsStore::ReadPoint(const std::string& key, const std::string& name, int32_t& x,
                              int32_t& y) {
    const std::string text = FindText(key, name);
    int32_t px = 0;
    int32_t py = 0;
    if (text.size() >= kPointBufferSize || !ParsePoint(text, px, py)) {
        throw SettingsError(kWrongType);
    }
    x = px;
    y = py;
}

void SettingsStore::WritePoint(const std::string& key, const std::string& name, int32_t x,
                               int32_t y) {
    std::string text = "(";
    text += std::to_string(x);
    text += ", ";
    text += std::to_string(y);
    text += ')';
    StoreText(key, name, std::move(text));
}

std::string SettingsStore::ReadText(const std::string& key, const std::string& name) {
    const std::string text = FindText(key, name);
    if (text.size() >= kTextBufferSize)
        throw SettingsError(kWrongType);
    return text;
}

void SettingsStore::WriteText(const std::string& key, const std::string& name,
                              const std::string& text) {
    StoreText(key, name, text);
}

}  // namespace quil
