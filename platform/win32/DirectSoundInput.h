#pragma once

#include <atomic>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/SoundInput.h"

namespace quil {

// DirectSound behind the capture seam. Devices are DirectSound's capture
// devices in its enumeration order; identifiers are their GUIDs in braces
// ("{...}"), and the system's primary capture driver, which has none, is
// listed with an empty identifier (the default device). DirectSound names
// no monitors: isMonitor is always false.
//
// Two threads of its own are the "backend thread" of SoundInput: the
// capture thread, which creates the capture in a looping five-second
// buffer and hands on what arrived about every 10 ms, and the notification
// thread, whose hidden window of the class "quil::DeviceNotification"
// receives the system's device-change broadcasts (DBT_DEVNODES_CHANGED).
// Error numbers are DirectSound's HRESULTs without their sign bit. Methods:
// any thread but the backend's, one caller at a time; not from a callback.
class DirectSoundInput final : public SoundInput {
  public:
    DirectSoundInput();
    ~DirectSoundInput() override;
    DirectSoundInput(const DirectSoundInput&) = delete;
    DirectSoundInput& operator=(const DirectSoundInput&) = delete;

    int ListDevices(std::vector<SoundDevice>& devices) override;
    // GetDeviceID's answer for the default capture device.
    int DefaultDeviceIdentifier(std::string& identifier) override;
    // Waits at most five seconds for the capture to start.
    int StartCapture(const std::string& identifier, BlockCallback onBlock,
                     EndCallback onEnd) override;
    void StopCapture() override;
    void SetChangeCallback(ChangeCallback onChange) override;

  private:
    void Capture(std::string identifier, BlockCallback onBlock, EndCallback onEnd,
                 std::promise<int>* started);
    void Notify();

    std::mutex mutex_;  // held while a callback runs; guards onChange_
    ChangeCallback onChange_;
    std::thread capture_;
    std::atomic<bool> stopCapture_{false};
    std::thread notifier_;
    std::atomic<void*> notifyWindow_{nullptr};
};

}  // namespace quil
