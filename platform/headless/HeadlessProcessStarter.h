#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/ProcessStarter.h"

namespace quil {

// A process starter for tests: it knows the programs it was told are
// installed and records what it is asked to start, starting nothing.
class HeadlessProcessStarter : public ProcessStarter {
  public:
    // FindProgram answers `path` for `name` from now on.
    void Install(const std::string& name, const std::string& path) { installed_[name] = path; }
    std::string FindProgram(const std::string& name) override;
    // Records `argv`; answers the error set by FailStarts, else 0.
    int StartDetached(const std::vector<std::string>& argv) override;

    void FailStarts(int error) { error_ = error; }
    // Every argv asked for, oldest first.
    const std::vector<std::vector<std::string>>& started() const { return started_; }

  private:
    std::map<std::string, std::string> installed_;
    std::vector<std::vector<std::string>> started_;
    int error_ = 0;
};

}  // namespace quil
