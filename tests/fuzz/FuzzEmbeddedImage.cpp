// Wraps arbitrary bytes as an embedded image and as an embedded mask; what is
// accepted is read pixel by pixel and composed onto a small destination, so
// any row the header claims but the blob lacks is touched.
#include <cstring>
#include <vector>

#include "gfx/Compositing.h"
#include "gfx/EmbeddedImage.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

template <typename Pixel>
uint64_t Sum(const quil::PixelGrid<Pixel>& grid) {
    uint64_t sum = 0;
    const quil::Rect& b = grid.bounds();
    for (int32_t y = b.top; y < b.bottom; ++y) {
        for (int32_t x = b.left; x < b.right; ++x)
            sum += *grid.At(x, y);
    }
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Embedded arrays are 16-byte aligned; the fuzzer's buffer need not be.
    std::vector<uint32_t> aligned((size + 3) / 4 + 1);
    if (size != 0)
        std::memcpy(aligned.data(), data, size);
    const auto* bytes = reinterpret_cast<const uint8_t*>(aligned.data());

    quil::Image dst;
    dst.SetBounds(quil::Rect{-3, -3, 13, 13});
    dst.Fill(0x80402010);
    volatile uint64_t sink = 0;

    quil::Image image;
    if (quil::WrapEmbeddedImage(bytes, size, image)) {
        sink = sink + Sum(image);
        quil::overImage(dst, dst.bounds(), quil::Point{-2, -1}, image, image.bounds(),
                        quil::Point{});
        quil::tiledOverImage(dst, dst.bounds(), quil::Point{}, image, image.bounds(),
                             quil::Point{});
    }
    // The unaligned form must be refused or read safely.
    quil::Image unaligned;
    if (size > 1 && quil::WrapEmbeddedImage(data + 1, size - 1, unaligned))
        sink = sink + Sum(unaligned);

    quil::Mask mask;
    if (quil::WrapEmbeddedMask(data, size, mask)) {
        sink = sink + Sum(mask);
        quil::blendMaskColour(dst, dst.bounds(), quil::Point{1, 1}, mask, mask.bounds(),
                              quil::Point{}, 0xFF5D38C7, 127);
        quil::tiledBlendMaskColour(dst, dst.bounds(), quil::Point{}, mask, mask.bounds(),
                                   quil::Point{}, 0xFFFFFFFF, 255);
        quil::Mask copy;
        copy.SetBounds(quil::Rect{0, 0, 5, 5});
        quil::copyMask(copy, copy.bounds(), quil::Point{}, mask, mask.bounds(), quil::Point{});
    }
    return 0;
}
