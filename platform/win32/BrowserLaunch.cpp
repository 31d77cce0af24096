#include "platform/win32/BrowserLaunch.h"

#include <windows.h>

#include <vector>

#include "platform/win32/WideText.h"

namespace quil {
namespace {

// Registered commands longer than this (bytes of UTF-16) are not read.
constexpr DWORD kMaxCommandBytes = 2048;

bool RegisteredCommand(std::string& command) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    std::vector<wchar_t> text(kMaxCommandBytes / sizeof(wchar_t) + 1, L'\0');
    DWORD type = REG_NONE;
    DWORD size = kMaxCommandBytes;
    const LSTATUS status =
        RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    command = Narrow(text.data());
    return true;
}

}  // namespace

bool BrowserLaunch::Split(const std::string& command, std::string& path,
                          std::string& firstArgument) {
    if (!command.empty() && command.front() == '"') {
        const size_t close = command.find('"', 1);
        if (close == std::string::npos)
            return false;
        path = command.substr(1, close - 1);
        firstArgument = command.substr(0, close + 1);
        return true;
    }
    path = command.substr(0, command.find(' '));
    firstArgument = path;
    return true;
}

bool BrowserLaunch::Open(const std::string& url, ProcessStarter& processes) {
    const std::string quoted = "\"" + url + "\"";
    std::string command;
    std::string path;
    std::string first;
    // An unquoted registration whose path holds a space cannot be started
    // from its first word; explorer still finds the browser then.
    if (RegisteredCommand(command) && Split(command, path, first) && !path.empty() &&
        processes.StartDetached({first, quoted}) == 0)
        return true;
    const std::string explorer = processes.FindProgram("explorer");
    return !explorer.empty() && processes.StartDetached({explorer, quoted}) == 0;
}

}  // namespace quil
