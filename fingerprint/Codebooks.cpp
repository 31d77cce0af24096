#include "fingerprint/Codebooks.h"

#include <bit>
#include <cstddef>
#include <cstring>

#include "fingerprint/CodebookFiles.h"

namespace quil {

namespace {

// The decoded table. The build refuses a codebook file of another size;
// should one still arrive, the bytes that fit are used and the rest is zero.
struct DecodedTable {
    float values[kCodebookCount * kCodebookFloats] = {};

    DecodedTable() {
        std::span<const EmbeddedFile> files = CodebookFiles();
        if (files.empty())
            return;
        size_t bytes = files[0].size < sizeof(values) ? files[0].size : sizeof(values);
        const unsigned char* data = files[0].data;
        for (size_t i = 0; i < bytes / 4; ++i) {
            uint32_t bits = static_cast<uint32_t>(data[4 * i]) |
                            static_cast<uint32_t>(data[4 * i + 1]) << 8 |
                            static_cast<uint32_t>(data[4 * i + 2]) << 16 |
                            static_cast<uint32_t>(data[4 * i + 3]) << 24;
            values[i] = std::bit_cast<float>(bits);
        }
    }
};

}  // namespace

const float* CodebookTable() {
    static const DecodedTable table;
    return table.values;
}

const float* Codebook(int32_t index) {
    if (index < 0 || index >= kCodebookCount)
        return nullptr;
    return CodebookTable() + static_cast<size_t>(index) * kCodebookFloats;
}

int64_t EmbeddedCodebookBytes() {
    std::span<const EmbeddedFile> files = CodebookFiles();
    return files.empty() ? 0 : static_cast<int64_t>(files[0].size);
}

}  // namespace quil
