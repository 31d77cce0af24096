#include "gfx/ComposedReader.h"

#include "gfx/Compose.h"

namespace quil {

ComposedReader::ComposedReader(Utf8Decoder decoder) : decoder_(decoder) {
    if (decoder_.AtEnd()) {
        done_ = true;
    } else {
        pending_ = decoder_.Next();
    }
}

uint32_t ComposedReader::Next() {
    if (done_)
        return 0;
    while (!decoder_.AtEnd()) {
        const uint32_t next = decoder_.Next();
        const int32_t composed = Compose(pending_, next);
        if (composed < 0) {
            const uint32_t out = pending_;
            pending_ = next;
            return out;
        }
        pending_ = static_cast<uint32_t>(composed);
    }
    done_ = true;
    return pending_;
}

}  // namespace quil
