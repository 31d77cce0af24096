#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "platform/Rect.h"

namespace quil {

// Rows of pixels covering `bounds`, which need not start at (0, 0): pixel
// (x, y) exists for bounds.left <= x < bounds.right, bounds.top <= y <
// bounds.bottom. Rows are `stride` bytes apart, stride being the row's bytes
// raised to a multiple of 8. The grid either owns its rows (after SetBounds)
// or wraps read-only rows owned by the program's data (after Wrap), which are
// never written or freed.
template <typename Pixel>
class PixelGrid {
  public:
    PixelGrid() = default;
    PixelGrid(const PixelGrid&) = delete;
    PixelGrid& operator=(const PixelGrid&) = delete;
    PixelGrid(PixelGrid&& other) noexcept { *this = std::move(other); }
    PixelGrid& operator=(PixelGrid&& other) noexcept {
        if (this != &other) {
            buffer_ = std::move(other.buffer_);
            rows_ = other.rows_;
            stride_ = other.stride_;
            bounds_ = other.bounds_;
            bufferSize_ = other.bufferSize_;
            other.Release();
        }
        return *this;
    }

    // Gives the grid fresh storage for `bounds`; the pixels are not cleared.
    // An empty rectangle is refused (false, grid unchanged). Without memory
    // the grid is left with no storage and empty bounds, and answers false.
    bool SetBounds(const Rect& bounds) {
        if (bounds.IsEmpty())
            return false;
        Release();
        const int64_t rowBytes = bounds.Width() * int64_t{sizeof(Pixel)};
        const int64_t stride = (rowBytes + 7) / 8 * 8;
        // The stride is tested first so that stride * height stays inside int64.
        if (stride > INT32_MAX)
            return false;  // as short memory
        const int64_t size = stride * bounds.Height();
        if (size > int64_t{UINT32_MAX})
            return false;  // as short memory
        buffer_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
        if (!buffer_)
            return false;
        rows_ = buffer_.get();
        stride_ = static_cast<int32_t>(stride);
        bounds_ = bounds;
        bufferSize_ = static_cast<uint32_t>(size);
        return true;
    }

    // Wraps rows that someone else owns and keeps alive (embedded data); the
    // grid then has bounds (0, 0, width, height) and must not be written.
    void Wrap(const uint8_t* rows, int32_t stride, int32_t width, int32_t height) {
        Release();
        rows_ = rows;
        stride_ = stride;
        bounds_ = Rect{0, 0, width, height};
    }

    // Drops the storage: no pixels, empty bounds.
    void Release() {
        buffer_.reset();
        rows_ = nullptr;
        stride_ = 0;
        bounds_ = Rect{};
        bufferSize_ = 0;
    }

    const Rect& bounds() const { return bounds_; }
    int32_t stride() const { return stride_; }
    bool HasStorage() const { return rows_ != nullptr; }
    bool IsWritable() const { return buffer_ != nullptr; }
    uint32_t bufferSize() const { return bufferSize_; }

    // Pixel (x, y); the caller keeps (x, y) inside bounds(). Only grids that
    // own their rows may be written through the mutable form; on a wrapped
    // grid it still reads the wrapped rows.
    Pixel* At(int32_t x, int32_t y) { return const_cast<Pixel*>(std::as_const(*this).At(x, y)); }
    const Pixel* At(int32_t x, int32_t y) const {
        return reinterpret_cast<const Pixel*>(rows_ + Offset(x, y));
    }

    // Sets every pixel inside the bounds to `value` (row padding untouched).
    // A wrapped grid is not written.
    void Fill(Pixel value) {
        if (!buffer_)
            return;
        for (int32_t y = bounds_.top; y < bounds_.bottom; ++y) {
            Pixel* row = At(bounds_.left, y);
            for (int64_t x = 0; x < bounds_.Width(); ++x)
                row[x] = value;
        }
    }

  private:
    size_t Offset(int32_t x, int32_t y) const {
        return static_cast<size_t>((int64_t{y} - bounds_.top) * stride_ +
                                   (int64_t{x} - bounds_.left) * int64_t{sizeof(Pixel)});
    }

    std::unique_ptr<uint8_t[]> buffer_;
    const uint8_t* rows_ = nullptr;
    int32_t stride_ = 0;
    Rect bounds_;
    uint32_t bufferSize_ = 0;
};

}  // namespace quil
