#include "platform/headless/HeadlessSoundInput.h"

#include <algorithm>
#include <utility>

namespace quil {

namespace {

// The error number a missing device or default gets (ENOENT's value).
constexpr int kNoEntity = 2;

}  // namespace

int HeadlessSoundInput::ListDevices(std::vector<SoundDevice>& devices) {
    std::lock_guard<std::mutex> guard(mutex_);
    devices = up_ ? devices_ : std::vector<SoundDevice>();
    return 0;
}

int HeadlessSoundInput::DefaultDeviceIdentifier(std::string& identifier) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!up_)
        return kNoServer;
    if (default_.empty())
        return kNoEntity;
    identifier = default_;
    return 0;
}

int HeadlessSoundInput::StartCapture(const std::string& identifier, BlockCallback onBlock,
                                     EndCallback onEnd) {
    std::lock_guard<std::mutex> guard(mutex_);
    capturing_ = false;
    onBlock_ = nullptr;
    onEnd_ = nullptr;
    if (!up_)
        return kNoServer;
    if (failNext_ != 0)
        return std::exchange(failNext_, 0);
    const bool listed = std::any_of(devices_.begin(), devices_.end(), [&](const SoundDevice& d) {
        return d.identifier == identifier;
    });
    if (!identifier.empty() && !listed)
        return kNoEntity;
    capturing_ = true;
    capturedIdentifier_ = identifier;
    onBlock_ = std::move(onBlock);
    onEnd_ = std::move(onEnd);
    return 0;
}

void HeadlessSoundInput::StopCapture() {
    std::lock_guard<std::mutex> guard(mutex_);
    capturing_ = false;
    onBlock_ = nullptr;
    onEnd_ = nullptr;
}

void HeadlessSoundInput::SetChangeCallback(ChangeCallback onChange) {
    std::lock_guard<std::mutex> guard(mutex_);
    onChange_ = std::move(onChange);
}

void HeadlessSoundInput::SetDevices(std::vector<SoundDevice> devices,
                                    std::string defaultIdentifier) {
    std::lock_guard<std::mutex> guard(mutex_);
    const std::vector<SoundDevice> before = up_ ? devices_ : std::vector<SoundDevice>();
    const std::string beforeDefault = up_ ? default_ : std::string();
    devices_ = std::move(devices);
    default_ = std::move(defaultIdentifier);
    NotifyIfChanged(before, beforeDefault);
}

void HeadlessSoundInput::SetServerUp(bool up) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (up == up_)
        return;
    const std::vector<SoundDevice> before = up_ ? devices_ : std::vector<SoundDevice>();
    const std::string beforeDefault = up_ ? default_ : std::string();
    up_ = up;
    if (!up)
        EndLocked(kNoServer);
    NotifyIfChanged(before, beforeDefault);
}

void HeadlessSoundInput::FailNextStart(int error) {
    std::lock_guard<std::mutex> guard(mutex_);
    failNext_ = error;
}

bool HeadlessSoundInput::Push(const std::vector<int16_t>& samples) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!capturing_)
        return false;
    if (onBlock_)
        onBlock_(samples.data(), samples.size());
    return true;
}

void HeadlessSoundInput::EndCapture(int error) {
    std::lock_guard<std::mutex> guard(mutex_);
    EndLocked(error);
}

bool HeadlessSoundInput::Capturing(std::string* identifier) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (capturing_ && identifier)
        *identifier = capturedIdentifier_;
    return capturing_;
}

void HeadlessSoundInput::EndLocked(int error) {
    if (!capturing_)
        return;
    capturing_ = false;
    onBlock_ = nullptr;
    EndCallback end = std::move(onEnd_);
    onEnd_ = nullptr;
    if (end)
        end(error);
}

void HeadlessSoundInput::NotifyIfChanged(const std::vector<SoundDevice>& before,
                                         const std::string& beforeDefault) {
    const bool same = up_ ? (before == devices_ && beforeDefault == default_)
                          : (before.empty() && beforeDefault.empty());
    if (!same && onChange_)
        onChange_();
}

}  // namespace quil
