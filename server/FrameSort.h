#pragma once

#include <cstdint>
#include <vector>

namespace quil {

// Sorts catalogue frame numbers ascending and drops repeats: the frames a
// segment's lookups return, tens of thousands per code packet. A radix sort
// in 11-bit digits, as many as `largest` needs; `scratch` is reused storage.
void SortUniqueFrames(std::vector<uint32_t>& frames, std::vector<uint32_t>& scratch,
                      uint32_t largest);

}  // namespace quil
