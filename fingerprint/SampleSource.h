#pragma once

#include <atomic>
#include <cstdint>

namespace quil {

// A reader of mono samples as 32-bit floats, full scale +-1. The analysis
// reads the rate and the open flag directly before it starts and before
// every hop. Implementations: the capture stream (live) and the file
// source of the tools.
class SampleSource {
  public:
    virtual ~SampleSource() = default;

    // Blocks until `count` samples are available and writes them to `out`;
    // 0 on success, any other value means that no more samples will come.
    virtual int Read(int32_t count, float* out) = 0;
    // Lets the next Read start with the sound that arrives from now on;
    // -1 when the source cannot do that.
    virtual int SyncToNow() { return -1; }
    // Total length in samples; 0 for a live source, which has none.
    virtual int64_t TotalLength() const { return 0; }

    // Samples per second; 0 until the source has been opened. Atomic, like
    // the flag: a live source is opened and closed on another thread than
    // the one that analyses it.
    std::atomic<double> sampleRate = 0;
    // The analysis continues while this is set.
    std::atomic<bool> open = false;
};

}  // namespace quil
