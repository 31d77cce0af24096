#pragma once

#include <memory>
#include <string>
#include <vector>

namespace quil {

// Starts other programs (the desktop's tools) detached: the caller never
// waits for them and no finished child is left behind. Main thread.
class ProcessStarter {
  public:
    virtual ~ProcessStarter() = default;

    // The absolute path of the executable file `name` found along the
    // program search path, or empty when there is none.
    virtual std::string FindProgram(const std::string& name) = 0;
    // Starts `argv[0]` (a path, or a name looked up along the search path)
    // with `argv` as its arguments, without a shell. Answers 0 once it is
    // started, else the platform's error number (EINVAL for an empty argv).
    virtual int StartDetached(const std::vector<std::string>& argv) = 0;
};

// The starter of this platform (posix_spawn on Linux, CreateProcess on
// Windows). Never null.
std::unique_ptr<ProcessStarter> CreatePlatformProcessStarter();

}  // namespace quil
