#include "gfx/EmbeddedImage.h"

#include <bit>

#include "platform/ByteReader.h"

namespace quil {

// Image rows are read as native 32-bit words.
static_assert(std::endian::native == std::endian::little,
              "embedded images hold little-endian pixel words");

namespace {

struct Header {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t stride = 0;
};

// Checks the header and that the rows lie inside the blob. The stride must
// be the row's bytes, possibly padded up to the next multiple of 8: this
// pins the bytes per pixel (stride / width) for every width of 8 or more and
// keeps a mask from passing as an image.
bool ReadHeader(const uint8_t* data, size_t size, uint32_t bytesPerPixel, Header& header) {
    const ByteReader bytes(data, size);
    uint32_t reserved = 1;
    if (!bytes.ReadU32BE(0, header.width) || !bytes.ReadU32BE(4, header.height) ||
        !bytes.ReadU32BE(8, header.stride) || !bytes.ReadU32BE(12, reserved)) {
        return false;
    }
    if (reserved != 0)
        return false;
    if (header.width == 0 || header.height == 0)
        return false;
    if (header.width > embedded::kMaxSide || header.height > embedded::kMaxSide)
        return false;
    const uint64_t rowBytes = uint64_t{header.width} * bytesPerPixel;
    const uint64_t padded = (rowBytes + 7) / 8 * 8;
    if (header.stride < rowBytes || header.stride > padded)
        return false;
    if (header.stride % bytesPerPixel != 0)
        return false;
    // Both factors are below 2^19, so the product cannot overflow.
    const uint64_t rowsSize = uint64_t{header.stride} * header.height;
    return bytes.Contains(embedded::kHeaderSize, static_cast<size_t>(rowsSize));
}

template <typename Pixel>
std::vector<uint8_t> Encode(const PixelGrid<Pixel>& grid) {
    if (!grid.HasStorage())
        return {};
    const Rect& b = grid.bounds();
    const auto width = static_cast<uint32_t>(b.Width());
    const auto height = static_cast<uint32_t>(b.Height());
    const uint32_t stride = (width * sizeof(Pixel) + 7) / 8 * 8;
    std::vector<uint8_t> out(embedded::kHeaderSize + size_t{stride} * height, 0);
    const uint32_t words[3] = {width, height, stride};
    for (size_t i = 0; i < 3; ++i) {
        for (size_t j = 0; j < 4; ++j)
            out[i * 4 + j] = static_cast<uint8_t>(words[i] >> (24 - 8 * j));
    }
    for (uint32_t y = 0; y < height; ++y) {
        const Pixel* row = grid.At(b.left, b.top + static_cast<int32_t>(y));
        uint8_t* dst = out.data() + embedded::kHeaderSize + size_t{y} * stride;
        for (uint32_t x = 0; x < width; ++x) {
            for (size_t k = 0; k < sizeof(Pixel); ++k) {
                dst[x * sizeof(Pixel) + k] = static_cast<uint8_t>(uint32_t{row[x]} >> (8 * k));
            }
        }
    }
    return out;
}

}  // namespace

bool WrapEmbeddedImage(const uint8_t* data, size_t size, Image& out) {
    out.Release();
    Header h;
    if (!ReadHeader(data, size, 4, h))
        return false;
    // Unaligned rows would be read as misaligned words; refuse them instead.
    if (reinterpret_cast<uintptr_t>(data + embedded::kHeaderSize) % alignof(uint32_t) != 0) {
        return false;
    }
    out.Wrap(data + embedded::kHeaderSize, static_cast<int32_t>(h.stride),
             static_cast<int32_t>(h.width), static_cast<int32_t>(h.height));
    return true;
}

bool WrapEmbeddedMask(const uint8_t* data, size_t size, Mask& out) {
    out.Release();
    Header h;
    if (!ReadHeader(data, size, 1, h))
        return false;
    out.Wrap(data + embedded::kHeaderSize, static_cast<int32_t>(h.stride),
             static_cast<int32_t>(h.width), static_cast<int32_t>(h.height));
    return true;
}

std::vector<uint8_t> EncodeEmbeddedImage(const Image& image) {
    return Encode(image);
}

std::vector<uint8_t> EncodeEmbeddedMask(const Mask& mask) {
    return Encode(mask);
}

}  // namespace quil
