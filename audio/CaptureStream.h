#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "fingerprint/SampleSource.h"
#include "platform/SoundInput.h"

namespace quil {

// The live sound of one capture device, recorded into a five-second ring
// and read by two kinds of readers: the analysis reads every sample once,
// in order (Read, after SyncToNow); the waveform looks at the newest ones
// (Peek). Capture runs from Open to Close. Samples reach readers as floats,
// sample × (1 / 32767).
//
// Threads: Open and Close on the main thread; Read and SyncToNow on one
// reader thread; Peek on any; blocks arrive on the sound input's thread.
// Lock order: the application lock, then this stream's control mutex, then
// its read mutex, then the sound input's own lock, then the ring mutex.
class CaptureStream final : public SampleSource {
  public:
    static constexpr int32_t kRate = SoundInput::kRate;
    // Five seconds of samples.
    static constexpr int32_t kBufferSamples = 5 * kRate;
    // Read hands out at most this many samples per wait.
    static constexpr int32_t kChunkSamples = 1024;
    // Open: no device of that name. Read, SyncToNow: the stream is closed.
    static constexpr int kNoDevice = -1;
    static constexpr int kClosed = -1;

    // `input` is not owned and must outlive the stream.
    explicit CaptureStream(SoundInput& input);
    // Closes. No reader may still be inside Read.
    ~CaptureStream() override;
    CaptureStream(const CaptureStream&) = delete;
    CaptureStream& operator=(const CaptureStream&) = delete;

    // Closes the running capture, then records the device of this name
    // (a name from CaptureDevices' list) from an empty ring. 0, kNoDevice, or
    // the sound input's error number; on failure the stream is closed. A
    // reader waiting in Read goes on with the new capture.
    int Open(const std::string& deviceName);
    // Stops capturing; readers waiting in Read fail. Always 0.
    int Close();

    // Waits until `count` samples after the previous ones have been
    // captured and writes them to `out`. 0; kClosed when the stream is or
    // becomes closed (samples already written stay written). A reader that
    // fell more than five seconds behind goes on with the oldest sample the
    // ring still holds.
    int Read(int32_t count, float* out) override;
    // The next Read starts with the sound captured from now on; kClosed on
    // a closed stream.
    int SyncToNow() override;
    // Called on the sound input's thread, under its lock, when a capture
    // ends by itself (its device or the server went away); it must return
    // soon and not call into the stream or the sound input. Set it before
    // the first Open.
    using EndedCallback = std::function<void()>;
    void SetEndedCallback(EndedCallback onEnded) { onEnded_ = std::move(onEnded); }

    // Writes the `count` newest samples, every `step`-th one, oldest first,
    // to `out`, without moving the reading position. A closed stream, and
    // any sample older than the ring holds, give zeros. 0, or -1 for a
    // `step` below 1.
    int Peek(int32_t count, float* out, int32_t step);

  private:
    void Deliver(const int16_t* samples, size_t count);
    void Ended(int error);

    SoundInput& input_;
    EndedCallback onEnded_;
    std::mutex controlMutex_;  // serialises Open and Close
    std::mutex readMutex_;     // one Read or SyncToNow at a time

    std::mutex ringMutex_;  // guards the ring, the positions and `open`
    std::condition_variable arrived_;
    std::vector<int16_t> ring_;
    // Samples captured since Open; the current position is this modulo
    // the ring's size.
    uint64_t written_ = 0;
    // The next sample Read hands out, counted like written_.
    uint64_t readPosition_ = 0;
    // The capture ended by itself, with this error number; Open reports it
    // when the end came before it could mark the stream open.
    bool ended_ = false;
    int endError_ = 0;
};

}  // namespace quil
