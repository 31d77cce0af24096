#include "gfx/Compose.h"

namespace quil {

int32_t Compose(uint32_t first, uint32_t second) {
    if (first >= 0x10000 || second >= 0x10000)
        return -1;
    const uint32_t key = first << 16 | second;
    int32_t lo = 0;
    int32_t hi = static_cast<int32_t>(kCompositionCount) - 1;
    while (hi >= lo) {
        const int32_t mid = (lo + hi) / 2;
        const CompositionEntry& entry = kCompositionTable[mid];
        const uint32_t midKey = uint32_t{entry.first} << 16 | entry.second;
        if (midKey == key)
            return entry.composed;
        if (midKey < key) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    return -1;
}

}  // namespace quil
