#include <cerrno>

#include "platform/ProgramVersion.h"

namespace quil {

// ELF programs carry no version block.
int ReadProgramVersionNames(const std::string&, std::string&, std::string&) {
    return ENOSYS;
}

}  // namespace quil
