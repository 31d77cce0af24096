#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "fingerprint/SampleSource.h"

namespace quil {

// Samples held in memory. A read past the end fails; after `closeAfterReads`
// successful reads the open flag is cleared.
class MemorySource : public SampleSource {
  public:
    explicit MemorySource(std::vector<float> samples, double rate = 44100.0)
        : samples_(std::move(samples)) {
        sampleRate = rate;
        open = true;
    }

    int Read(int32_t count, float* out) override {
        ++readCalls;
        if (count < 0 || static_cast<size_t>(count) > samples_.size() - position_)
            return 1;
        std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(position_), count, out);
        position_ += static_cast<size_t>(count);
        if (++reads == closeAfterReads)
            open = false;
        return 0;
    }

    int32_t readCalls = 0;
    int32_t reads = 0;
    int32_t closeAfterReads = -1;

  private:
    std::vector<float> samples_;
    size_t position_ = 0;
};

}  // namespace quil
