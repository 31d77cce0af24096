#include "tools/harkbox-tool/ToolCommands.h"

#include <cstdio>

namespace quil::tool {

void FailCommand(const char* command, const std::string& message) {
    std::fprintf(stderr, "harkbox-tool %s: %s\n", command, message.c_str());
    throw CLI::RuntimeError(1);
}

}  // namespace quil::tool
