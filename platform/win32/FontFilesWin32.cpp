#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/FontFiles.h"

namespace quil {

namespace {

constexpr size_t kPathBufferSize = 512;

}  // namespace

std::string FindFontFile(const std::string& name) {
    // SYSTEMROOT names the Windows folder; a process started without it
    // (an emptied environment) still finds the fonts through the system.
    std::string root;
    if (const char* variable = std::getenv("SYSTEMROOT")) {
        root = variable;
    } else {
        char folder[MAX_PATH];
        const UINT length = GetWindowsDirectoryA(folder, sizeof folder);
        if (length == 0 || length >= sizeof folder)
            return {};
        root.assign(folder, length);
    }
    char buffer[kPathBufferSize];
    std::snprintf(buffer, sizeof buffer, "%s/Fonts/%s.ttf", root.c_str(), name.c_str());
    return buffer;
}

}  // namespace quil
