#pragma once

#include <cstdint>

#include "fingerprint/SampleSource.h"

namespace quil {

// A part of another source: skips its first `skip` samples, then delivers
// at most `length` samples (negative: all that follow) and closes. The
// inner source is not owned and must outlive this one.
class ExcerptSource : public SampleSource {
  public:
    ExcerptSource(SampleSource& inner, int64_t skip, int64_t length);

    // As the inner source's Read; a Read that would pass the excerpt's end
    // delivers the rest, pads with zeros and closes the excerpt.
    int Read(int32_t count, float* out) override;
    int64_t TotalLength() const override;

  private:
    SampleSource& inner_;
    int64_t skip_;
    int64_t length_;
    int64_t delivered_ = 0;
    bool skipped_ = false;
};

}  // namespace quil
