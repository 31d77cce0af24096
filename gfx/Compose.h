#pragma once

#include <cstddef>
#include <cstdint>

namespace quil {

// One canonical composition: `first` followed by `second` is `composed`.
struct CompositionEntry {
    uint16_t first;
    uint16_t second;
    uint16_t composed;
};

// The pairs of the Basic Multilingual Plane whose canonical decomposition is
// two characters (composition exclusions included, Hangul syllables and
// eleven Balinese letters left out), sorted by first << 16 | second.
// Generated into gfx/CompositionTable.cpp by scripts/gen-composition-table.
constexpr size_t kCompositionCount = 989;
extern const CompositionEntry kCompositionTable[kCompositionCount];

// The character that `first` followed by `second` composes into, or -1 when
// the pair is not listed or either code point is 0x10000 or more.
int32_t Compose(uint32_t first, uint32_t second);

}  // namespace quil
