#pragma once

#include <cstdio>
#include <string>

namespace quil::test {

// The built harkbox-tool.
inline const std::string kHarkboxTool =
    std::string(HARKBOX_BINARY_DIR) + "/tools/harkbox-tool/harkbox-tool";

// Runs harkbox-tool with `arguments` (already quoted for the shell); answers
// its standard output and sets `status` to its wait status (-1 when it could
// not be started). Standard error is dropped.
inline std::string RunHarkboxTool(const std::string& arguments, int& status) {
    const std::string command = "'" + kHarkboxTool + "' " + arguments + " 2>/dev/null";
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    status = ::pclose(pipe);
    return out;
}

}  // namespace quil::test
