#include "platform/win32/Win32ProcessStarter.h"

#include <windows.h>

#include <cerrno>
#include <memory>

#include "platform/win32/WideText.h"

namespace quil {

namespace {

bool NeedsQuotes(const std::string& argument) {
    if (argument.empty())
        return true;
    if (argument.size() >= 2 && argument.front() == '"' && argument.back() == '"' &&
        argument.find('"', 1) == argument.size() - 1)
        return false;
    return argument.find_first_of(" \t\n\v\"") != std::string::npos;
}

void AppendQuoted(std::string& line, const std::string& argument) {
    line += '"';
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows them.
        line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, '\\');
    line += '"';
}

}  // namespace

std::string Win32ProcessStarter::CommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& argument : argv) {
        if (!line.empty())
            line += ' ';
        if (NeedsQuotes(argument))
            AppendQuoted(line, argument);
        else
            line += argument;
    }
    return line;
}

std::string Win32ProcessStarter::FindProgram(const std::string& name) {
    if (name.empty())
        return {};
    const std::wstring wide = Widen(name);
    wchar_t found[MAX_PATH];
    const DWORD length = SearchPathW(nullptr, wide.c_str(), L".exe", MAX_PATH, found, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return Narrow(std::wstring_view(found, length));
}

int Win32ProcessStarter::StartDetached(const std::vector<std::string>& argv) {
    if (argv.empty() || argv.front().empty())
        return EINVAL;
    std::string program = argv.front();
    if (program.size() >= 2 && program.front() == '"' && program.back() == '"')
        program = program.substr(1, program.size() - 2);
    // A bare name is looked up along the search path, as the seam promises.
    if (program.find_first_of("\\/:") == std::string::npos) {
        const std::string found = FindProgram(program);
        if (found.empty())
            return ERROR_FILE_NOT_FOUND;
        program = found;
    }
    const std::wstring application = Widen(program);
    std::wstring line = Widen(CommandLine(argv));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                        &process))
        return static_cast<int>(GetLastError());
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

std::unique_ptr<ProcessStarter> CreatePlatformProcessStarter() {
    return std::make_unique<Win32ProcessStarter>();
}

}  // namespace quil
