#pragma once

#include <string>
#include <vector>

#include "platform/ProcessStarter.h"

namespace quil {

// Programs started with CreateProcess, without a console and without
// inheriting handles; the process and thread handles are closed at once,
// so nothing waits for the program.
class Win32ProcessStarter final : public ProcessStarter {
  public:
    // SearchPath's answer for `name` (".exe" added when it has no extension).
    std::string FindProgram(const std::string& name) override;
    // 0, or GetLastError's number (ERROR_FILE_NOT_FOUND for a missing
    // program); EINVAL for an empty argv.
    int StartDetached(const std::vector<std::string>& argv) override;

    // The command line for `argv` as the C runtime splits it again: each
    // argument in double quotes when it holds white space or quotes, with
    // backslashes before a quote doubled. An argument that is already
    // quoted whole ("\"C:\\x\"") is kept as it stands.
    static std::string CommandLine(const std::vector<std::string>& argv);
};

}  // namespace quil
