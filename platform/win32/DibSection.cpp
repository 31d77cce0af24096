#include "platform/win32/DibSection.h"

#include <cstring>

namespace quil {

DibSection::~DibSection() {
    if (bitmap_)
        DeleteObject(bitmap_);
}

BITMAPV5HEADER DibSection::Header(int32_t width, int32_t height) {
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = width;
    header.bV5Height = -height;  // rows top first
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    return header;
}

bool DibSection::Resize(int32_t width, int32_t height) {
    if (bitmap_ && width == width_ && height == height_)
        return true;
    if (bitmap_)
        DeleteObject(bitmap_);
    bitmap_ = nullptr;
    bits_ = nullptr;
    width_ = height_ = 0;
    if (width <= 0 || height <= 0)
        return false;
    const BITMAPV5HEADER header = Header(width, height);
    HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS,
                               &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (!bitmap_ || !bits) {
        if (bitmap_)
            DeleteObject(bitmap_);
        bitmap_ = nullptr;
        return false;
    }
    bits_ = static_cast<uint32_t*>(bits);
    width_ = width;
    height_ = height;
    return true;
}

void DibSection::CopyFrom(const uint32_t* pixels, int32_t stride, int32_t width, int32_t height) {
    if (!bits_ || width != width_ || height != height_)
        return;
    // The system may still read the section (GDI batches); finish that first.
    GdiFlush();
    const auto* row = reinterpret_cast<const uint8_t*>(pixels);
    for (int32_t y = 0; y < height; ++y, row += stride)
        std::memcpy(bits_ + static_cast<size_t>(y) * width, row, static_cast<size_t>(width) * 4);
}

}  // namespace quil
