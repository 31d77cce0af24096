#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Rect.h"

namespace quil {

// A set of pixels in window coordinates (x grows right, y grows down), held
// as a grid of cells. The strictly ascending x boundaries cut the plane into
// nx + 1 columns and the y boundaries into ny + 1 rows: column c covers
// X[c-1] <= x < X[c] (column 0 everything left of X[0], column nx everything
// from X[nx-1] on), rows likewise. One bit per cell says whether its pixels
// belong to the set. Windows keep their invalid and present areas in
// regions; a region has no lock of its own.
//
// After a union or symmetric difference no two adjacent rows are equal;
// columns are never merged, so an empty region may still carry x boundaries.
// Regions built from rectangles by these operations are bounded: the
// outermost rows and columns are clear.
class Region {
  public:
    // The cleared (empty) region.
    Region();
    // The pixels of `rect`; empty when `rect` is.
    explicit Region(const Rect& rect);
    Region(const Region& other) = default;
    // A moved-from region is valid with unspecified contents.
    Region(Region&& other);
    Region& operator=(const Region& other);
    Region& operator=(Region&& other) noexcept;

    // a ∪ b and a ⊕ b (pixels in exactly one of them), built directly.
    static Region Union(const Region& a, const Region& b);
    static Region SymmetricDifference(const Region& a, const Region& b);

    // Empties the region and drops all boundaries.
    void Clear();
    // Replaces the contents by the pixels of `rect`.
    void Set(const Rect& rect);
    // this := this ∪ other.
    void Unite(const Region& other);
    // this := this ⊕ other.
    void ExclusiveOr(const Region& other);

    bool IsEmpty() const;

    // Appends one rectangle per horizontal run of set cells: rows top to
    // bottom, runs left to right within a row. The rectangles do not
    // overlap; rectangles of different rows are never joined.
    void Rectangles(std::vector<Rect>& out) const;

    // Diagnostic views of the representation (for consistency checks).
    const std::vector<int32_t>& XBoundaries() const { return x_; }
    const std::vector<int32_t>& YBoundaries() const { return y_; }
    // Cell bits row by row, Stride() words per row; column c of row r is
    // bit c % 32 of word r * Stride() + c / 32.
    const std::vector<uint32_t>& CellBits() const { return bits_; }
    size_t Stride() const { return stride_; }

    // Boundary arrays never grow past this many entries.
    static constexpr size_t kMaxBoundaries = 1073741823;

  private:
    enum class Rule { kUnion, kExclusiveOr };
    static Region Combine(const Region& a, const Region& b, Rule rule);

    std::vector<int32_t> x_;
    std::vector<int32_t> y_;
    std::vector<uint32_t> bits_;
    size_t stride_ = 1;  // words per row: (nx + 32) / 32
};

}  // namespace quil
