#pragma once

#include <windows.h>

#include <cstdint>

namespace quil {

// A 32-bit top-down device-independent bitmap section: premultiplied
// 0xAARRGGBB pixels (alpha mask 0xFF000000), rows width * 4 bytes apart,
// in memory the system reads without conversion. Owns the bitmap.
class DibSection {
  public:
    DibSection() = default;
    ~DibSection();
    DibSection(const DibSection&) = delete;
    DibSection& operator=(const DibSection&) = delete;

    // Makes the bitmap width × height, keeping it when the size is the same.
    // False (and no bitmap) when the system refuses or the size is empty.
    bool Resize(int32_t width, int32_t height);
    // Copies `height` rows of `width` pixels, `stride` bytes apart, into the
    // bitmap, which must be exactly that size.
    void CopyFrom(const uint32_t* pixels, int32_t stride, int32_t width, int32_t height);

    HBITMAP bitmap() const { return bitmap_; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

    // The description of a top-down 32-bit bitmap with alpha: for
    // CreateDIBSection and SetDIBitsToDevice.
    static BITMAPV5HEADER Header(int32_t width, int32_t height);

  private:
    HBITMAP bitmap_ = nullptr;
    uint32_t* bits_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

}  // namespace quil
