#pragma once

#include <cstddef>
#include <string>

namespace quil {

// The executable's path as the program was started: its first argument,
// cut to kMaxProgramPath bytes; empty for a null argument. The settings key
// falls back to the file name in it.
constexpr size_t kMaxProgramPath = 511;
std::string ProgramPathFrom(const char* firstArgument);

}  // namespace quil
