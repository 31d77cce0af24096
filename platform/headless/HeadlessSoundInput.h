#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/SoundInput.h"

namespace quil {

// A sound server without sound, for tests: the devices and the default are
// scripted, and samples reach the running capture when a test pushes them.
// Callbacks run on the thread that scripts the change or pushes the
// samples, under this object's lock, as a real backend runs them on its own
// thread under its own lock. Any thread.
class HeadlessSoundInput final : public SoundInput {
  public:
    // What the scripting answers when the server is down.
    static constexpr int kNoServer = 111;

    HeadlessSoundInput() = default;
    HeadlessSoundInput(const HeadlessSoundInput&) = delete;
    HeadlessSoundInput& operator=(const HeadlessSoundInput&) = delete;

    int ListDevices(std::vector<SoundDevice>& devices) override;
    // kNoServer while down; 2 (no such entity) when no default is set.
    int DefaultDeviceIdentifier(std::string& identifier) override;
    // Fails with kNoServer while down, with the error given to
    // FailNextStart (once), and with 2 for an identifier that is not listed.
    int StartCapture(const std::string& identifier, BlockCallback onBlock,
                     EndCallback onEnd) override;
    void StopCapture() override;
    void SetChangeCallback(ChangeCallback onChange) override;

    // Replaces the devices and the default's identifier; notifies when
    // either changed.
    void SetDevices(std::vector<SoundDevice> devices, std::string defaultIdentifier);
    // A server going away ends the running capture with kNoServer and
    // empties the list; coming back restores the scripted devices.
    void SetServerUp(bool up);
    void FailNextStart(int error);
    // Delivers samples to the running capture; false when none runs.
    bool Push(const std::vector<int16_t>& samples);
    // The running capture ends by itself with `error`.
    void EndCapture(int error);
    // The identifier the running capture records; false when none runs.
    bool Capturing(std::string* identifier = nullptr);

  private:
    void EndLocked(int error);
    void NotifyIfChanged(const std::vector<SoundDevice>& before, const std::string& beforeDefault);

    std::mutex mutex_;  // guards everything below; held during callbacks
    std::vector<SoundDevice> devices_;
    std::string default_;
    bool up_ = true;
    int failNext_ = 0;
    bool capturing_ = false;
    std::string capturedIdentifier_;
    BlockCallback onBlock_;
    EndCallback onEnd_;
    ChangeCallback onChange_;
};

}  // namespace quil
