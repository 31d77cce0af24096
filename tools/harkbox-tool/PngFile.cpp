#include "tools/harkbox-tool/PngFile.h"

#include <stb/stb_image_write.h>

#include <cstdint>
#include <vector>

namespace quil::tool {

bool WriteGreyPng(const std::string& path, const Mask& mask) {
    const Rect b = mask.bounds();
    if (b.IsEmpty() || !mask.HasStorage())
        return false;
    const auto width = static_cast<int>(b.Width());
    const auto height = static_cast<int>(b.Height());
    std::vector<uint8_t> rows(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = mask.At(b.left, b.top + y);
        for (int x = 0; x < width; ++x)
            rows[static_cast<size_t>(y) * width + x] = row[x];
    }
    return stbi_write_png(path.c_str(), width, height, 1, rows.data(), width) != 0;
}

bool WriteRgbaPng(const std::string& path, const Image& image) {
    const Rect b = image.bounds();
    if (b.IsEmpty() || !image.HasStorage())
        return false;
    const auto width = static_cast<int>(b.Width());
    const auto height = static_cast<int>(b.Height());
    std::vector<uint8_t> rows(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    uint8_t* out = rows.data();
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = image.At(b.left, b.top + y);
        for (int x = 0; x < width; ++x, out += 4) {
            const uint32_t p = row[x];
            const uint32_t a = p >> 24;
            for (int c = 0; c < 3; ++c) {
                const uint32_t v = (p >> (16 - 8 * c)) & 0xFF;
                // Rounded division; a premultiplied channel never exceeds alpha.
                out[c] = a == 0
                             ? 0
                             : static_cast<uint8_t>(std::min<uint32_t>(255, (v * 255 + a / 2) / a));
            }
            out[3] = static_cast<uint8_t>(a);
        }
    }
    return stbi_write_png(path.c_str(), width, height, 4, rows.data(), width * 4) != 0;
}

}  // namespace quil::tool
