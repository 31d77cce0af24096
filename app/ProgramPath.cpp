#include "app/ProgramPath.h"

#include <cstring>

namespace quil {

std::string ProgramPathFrom(const char* firstArgument) {
    if (!firstArgument)
        return {};
    return std::string(firstArgument, strnlen(firstArgument, kMaxProgramPath));
}

}  // namespace quil
