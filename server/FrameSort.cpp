#include "server/FrameSort.h"

#include <algorithm>
#include <array>

namespace quil {

void SortUniqueFrames(std::vector<uint32_t>& frames, std::vector<uint32_t>& scratch,
                      uint32_t largest) {
    constexpr int kDigitBits = 11;
    constexpr uint32_t kDigits = 1u << kDigitBits;
    scratch.resize(frames.size());
    for (int shift = 0; shift < 32 && (largest >> shift) != 0; shift += kDigitBits) {
        std::array<uint32_t, kDigits> start{};
        for (uint32_t frame : frames)
            ++start[(frame >> shift) & (kDigits - 1)];
        uint32_t sum = 0;
        for (uint32_t& count : start) {
            const uint32_t n = count;
            count = sum;
            sum += n;
        }
        for (uint32_t frame : frames)
            scratch[start[(frame >> shift) & (kDigits - 1)]++] = frame;
        frames.swap(scratch);
    }
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
}

}  // namespace quil
