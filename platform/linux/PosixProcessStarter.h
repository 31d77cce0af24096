#pragma once

#include <string>
#include <vector>

#include "platform/ProcessStarter.h"

namespace quil {

// Programs started with posix_spawnp through a short-lived middle process:
// the middle process starts the program and ends at once, and is reaped
// here; the program becomes a child of the system's reaper, so nothing has
// to wait for it and no zombie stays. The program gets its own session, the
// default signal dispositions, an empty signal mask, standard input from
// /dev/null and no other descriptors than standard output and error.
class PosixProcessStarter final : public ProcessStarter {
  public:
    // Looks along PATH (the system's default path when it is unset).
    std::string FindProgram(const std::string& name) override;
    // 0, or the error number of fork or posix_spawnp (ENOENT when the
    // program does not exist).
    int StartDetached(const std::vector<std::string>& argv) override;

    // The lookup behind FindProgram over `searchPath`, folders separated by
    // ":". Relative folders (an empty entry means the current one) are
    // skipped, so that no program is taken from wherever the user happens
    // to start this one; a name that is empty or holds a "/" is not looked
    // up. The first executable regular file wins.
    static std::string FindOnSearchPath(const std::string& name, const std::string& searchPath);
};

}  // namespace quil
