#include "platform/headless/HeadlessProcessStarter.h"

namespace quil {

std::string HeadlessProcessStarter::FindProgram(const std::string& name) {
    const auto found = installed_.find(name);
    return found == installed_.end() ? std::string() : found->second;
}

int HeadlessProcessStarter::StartDetached(const std::vector<std::string>& argv) {
    started_.push_back(argv);
    return error_;
}

}  // namespace quil
