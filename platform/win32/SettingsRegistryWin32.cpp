// Settings keys in the registry under HKEY_CURRENT_USER. Names and texts
// are UTF-8 in the program and UTF-16 in the registry; a text is REG_SZ,
// an integer REG_DWORD.
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/SettingsRegistry.h"
#include "platform/win32/WideText.h"

namespace quil {

namespace {

// Values longer than this (bytes) are not read: nothing the program stores
// comes near it.
constexpr DWORD kMaxValueBytes = 64 * 1024;

}  // namespace

int SettingsRegistry::ReadValue(const std::string& key, const std::string& name,
                                SettingsValue& value) {
    HKEY handle = nullptr;
    LSTATUS status =
        RegOpenKeyExW(HKEY_CURRENT_USER, Widen(key).c_str(), 0, KEY_QUERY_VALUE, &handle);
    if (status != ERROR_SUCCESS)
        return static_cast<int>(status);
    const std::wstring wideName = Widen(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    status = RegQueryValueExW(handle, wideName.c_str(), nullptr, &type, nullptr, &size);
    std::vector<BYTE> data;
    if (status == ERROR_SUCCESS && size > kMaxValueBytes)
        status = ERROR_MORE_DATA;
    if (status == ERROR_SUCCESS) {
        // Two spare zero bytes terminate a text stored without its zero.
        data.assign(size + 2, 0);
        status = RegQueryValueExW(handle, wideName.c_str(), nullptr, &type, data.data(), &size);
    }
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS)
        return static_cast<int>(status);

    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof number);
        value.type = SettingsValue::Type::kDword;
        value.dword = number;
        return 0;
    }
    if (type == REG_SZ) {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        // The text ends at its first zero, as every reader of the value sees it.
        if (const size_t end = text.find(L'\0'); end != std::wstring::npos)
            text.resize(end);
        value.type = SettingsValue::Type::kText;
        value.text = Narrow(text);
        return 0;
    }
    return kOtherType;
}

int SettingsRegistry::WriteValue(const std::string& key, const std::string& name,
                                 const SettingsValue& value) {
    HKEY handle = nullptr;
    LSTATUS status =
        RegCreateKeyExW(HKEY_CURRENT_USER, Widen(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &handle, nullptr);
    if (status != ERROR_SUCCESS)
        return static_cast<int>(status);
    const std::wstring wideName = Widen(name);
    if (value.type == SettingsValue::Type::kDword) {
        const DWORD number = value.dword;
        status = RegSetValueExW(handle, wideName.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&number), sizeof number);
    } else {
        const std::wstring text = Widen(value.text);
        status = RegSetValueExW(handle, wideName.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(handle);
    return static_cast<int>(status);
}

}  // namespace quil
