#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The capture seam: the sound-capture devices of the system and one running
// capture, so that a second platform is one more implementation of this
// class. Error numbers are the backend's own, always positive; functions
// that answer an int answer 0 on success or such a number.

namespace quil {

// One capture device as the sound server lists it.
struct SoundDevice {
    // What people see, UTF-8; several devices may share it.
    std::string name;
    // The server's own name for the device; empty means the server's
    // default device, whichever that is when the capture starts.
    std::string identifier;
    // Records what a playback device plays ("Monitor of ...").
    bool isMonitor = false;

    friend bool operator==(const SoundDevice&, const SoundDevice&) = default;
};

// The system's capture devices and at most one running capture of one of
// them. Callbacks run on the backend's own thread while it holds its
// internal lock: they must return soon, must not call back into this
// object, and must not take a lock that a caller of this object holds
// while it calls in (post the work to the main loop instead).
class SoundInput {
  public:
    // Every capture delivers 16-bit signed mono samples at this rate (Hz).
    static constexpr int32_t kRate = 44100;

    // `count` captured samples, oldest first; the data is valid during the
    // call only.
    using BlockCallback = std::function<void(const int16_t* samples, size_t count)>;
    // The capture ended by itself (its device or the server went away) with
    // this error number; called at most once per capture, and no block
    // follows it.
    using EndCallback = std::function<void(int error)>;
    // The device list or the default device changed.
    using ChangeCallback = std::function<void()>;

    virtual ~SoundInput() = default;

    // Replaces `devices` with the devices present now, in the server's
    // order. No server: an empty list, and still 0.
    virtual int ListDevices(std::vector<SoundDevice>& devices) = 0;

    // The identifier of the server's default capture device; on failure
    // `identifier` is left unchanged.
    virtual int DefaultDeviceIdentifier(std::string& identifier) = 0;

    // Stops any running capture, then starts capturing the device with this
    // identifier (empty: the default device). Blocks until the server has
    // accepted or refused the capture, for a bounded time. Blocks may
    // arrive before this returns. On failure no callback is ever called.
    virtual int StartCapture(const std::string& identifier, BlockCallback onBlock,
                             EndCallback onEnd) = 0;

    // Stops the running capture, if any. Once it returns no callback of
    // that capture runs any more.
    virtual void StopCapture() = 0;

    // Sets (or clears, with an empty function) what is called on the
    // backend's thread when the device list or the default device changes;
    // once it returns the previous function is no longer called.
    virtual void SetChangeCallback(ChangeCallback onChange) = 0;
};

}  // namespace quil
