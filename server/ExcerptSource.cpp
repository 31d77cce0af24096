#include "server/ExcerptSource.h"

#include <algorithm>
#include <vector>

namespace quil {

ExcerptSource::ExcerptSource(SampleSource& inner, int64_t skip, int64_t length)
    : inner_(inner), skip_(std::max<int64_t>(skip, 0)), length_(length) {
    sampleRate = inner.sampleRate.load();
    open = inner.open.load();
}

int ExcerptSource::Read(int32_t count, float* out) {
    if (!skipped_) {
        skipped_ = true;
        std::vector<float> scratch(4096);
        for (int64_t left = skip_; left > 0;) {
            int32_t step = static_cast<int32_t>(std::min<int64_t>(left, 4096));
            if (inner_.Read(step, scratch.data()) != 0) {
                open = false;
                return 1;
            }
            left -= step;
        }
    }
    if (!open || count < 0)
        return 1;
    int32_t wanted = count;
    if (length_ >= 0)
        wanted = static_cast<int32_t>(std::clamp<int64_t>(length_ - delivered_, 0, count));
    if (wanted == 0) {
        open = false;
        return 1;
    }
    if (inner_.Read(wanted, out) != 0) {
        open = false;
        return 1;
    }
    delivered_ += wanted;
    if (wanted < count) {
        std::fill(out + wanted, out + count, 0.0f);
        open = false;
    }
    return 0;
}

int64_t ExcerptSource::TotalLength() const {
    int64_t rest = std::max<int64_t>(inner_.TotalLength() - skip_, 0);
    return length_ >= 0 ? std::min(rest, length_) : rest;
}

}  // namespace quil
