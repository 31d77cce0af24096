#include "ui/Region.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace quil {

namespace {

// Index of the lowest set bit of a non-zero word, found by halving.
uint32_t LowestSetBit(uint32_t word) {
    uint32_t index = 0;
    if ((word & 0xFFFFu) == 0) {
        index += 16;
        word >>= 16;
    }
    if ((word & 0xFFu) == 0) {
        index += 8;
        word >>= 8;
    }
    if ((word & 0xFu) == 0) {
        index += 4;
        word >>= 4;
    }
    if ((word & 0x3u) == 0) {
        index += 2;
        word >>= 2;
    }
    if ((word & 0x1u) == 0)
        index += 1;
    return index;
}

// Bits [0, start % 32) of the word that holds `start`; none when the start
// falls on a word boundary.
uint32_t BitsBelow(size_t start) {
    const uint32_t shift = static_cast<uint32_t>(start % 32);
    return shift == 0 ? 0u : (1u << shift) - 1u;
}

// Position of the first set bit in [start, end) of `words`, or `end`.
size_t FirstSetBit(const uint32_t* words, size_t start, size_t end) {
    if (start >= end)
        return end;
    size_t index = start / 32;
    const size_t last = (end - 1) / 32;
    uint32_t word = words[index] & ~BitsBelow(start);
    while (word == 0) {
        if (++index > last)
            return end;
        word = words[index];
    }
    return std::min(index * 32 + LowestSetBit(word), end);
}

// Position of the first clear bit in [start, end) of `words`, or `end`.
size_t FirstClearBit(const uint32_t* words, size_t start, size_t end) {
    if (start >= end)
        return end;
    size_t index = start / 32;
    const size_t last = (end - 1) / 32;
    uint32_t word = ~(words[index] | BitsBelow(start));
    while (word == 0) {
        if (++index > last)
            return end;
        word = ~words[index];
    }
    return std::min(index * 32 + LowestSetBit(word), end);
}

bool CellBit(const std::vector<uint32_t>& bits, size_t rowStart, size_t column) {
    return (bits[rowStart + column / 32] >> (column % 32) & 1u) != 0;
}

}  // namespace

Region::Region() : bits_(1, 0u) {}

Region::Region(const Rect& rect) : Region() {
    Set(rect);
}

Region::Region(Region&& other) : Region() {
    *this = std::move(other);
}

Region& Region::operator=(const Region& other) {
    if (this != &other) {
        x_ = other.x_;
        y_ = other.y_;
        bits_ = other.bits_;
        stride_ = other.stride_;
    }
    return *this;
}

Region& Region::operator=(Region&& other) noexcept {
    if (this != &other) {
        x_.swap(other.x_);
        y_.swap(other.y_);
        bits_.swap(other.bits_);
        std::swap(stride_, other.stride_);
    }
    return *this;
}

Region Region::Union(const Region& a, const Region& b) {
    return Combine(a, b, Rule::kUnion);
}

Region Region::SymmetricDifference(const Region& a, const Region& b) {
    return Combine(a, b, Rule::kExclusiveOr);
}

void Region::Clear() {
    std::vector<int32_t>().swap(x_);
    std::vector<int32_t>().swap(y_);
    bits_.assign(1, 0u);
    bits_.shrink_to_fit();
    stride_ = 1;
}

void Region::Set(const Rect& rect) {
    Clear();
    if (rect.IsEmpty())
        return;
    x_ = {rect.left, rect.right};
    y_ = {rect.top, rect.bottom};
    bits_ = {0u, 1u << 1, 0u};  // rows 0..2, one word each; the inside is row 1, column 1
}

void Region::Unite(const Region& other) {
    *this = Combine(*this, other, Rule::kUnion);
}

void Region::ExclusiveOr(const Region& other) {
    *this = Combine(*this, other, Rule::kExclusiveOr);
}

bool Region::IsEmpty() const {
    if (!y_.empty())
        return false;
    return FirstSetBit(bits_.data(), 0, x_.size() + 1) == x_.size() + 1;
}

void Region::Rectangles(std::vector<Rect>& out) const {
    const size_t nx = x_.size();
    for (size_t row = 1; row < y_.size(); ++row) {
        const uint32_t* words = bits_.data() + row * stride_;
        size_t column = 1;
        while (true) {
            const size_t first = FirstSetBit(words, column, nx);
            if (first >= nx)
                break;
            const size_t end = FirstClearBit(words, first + 1, nx);
            out.push_back(Rect{x_[first - 1], y_[row - 1], x_[end - 1], y_[row]});
            column = end + 1;
        }
    }
}

Region Region::Combine(const Region& a, const Region& b, Rule rule) {
    Region result;

    // Merge the x boundaries once and remember, for every output column,
    // the column of each source it lies in; every row walks the same map.
    const std::vector<int32_t>& ax = a.x_;
    const std::vector<int32_t>& bx = b.x_;
    std::vector<size_t> columnA{0};
    std::vector<size_t> columnB{0};
    result.x_.reserve(std::min(ax.size() + bx.size(), kMaxBoundaries));
    for (size_t i = 0, j = 0; i < ax.size() || j < bx.size();) {
        if (result.x_.size() == kMaxBoundaries)
            throw std::length_error("region boundaries");
        if (j == bx.size() || (i < ax.size() && ax[i] < bx[j])) {
            result.x_.push_back(ax[i++]);
        } else if (i == ax.size() || bx[j] < ax[i]) {
            result.x_.push_back(bx[j++]);
        } else {
            result.x_.push_back(ax[i]);
            ++i;
            ++j;
        }
        columnA.push_back(i);
        columnB.push_back(j);
    }

    const std::vector<int32_t>& ay = a.y_;
    const std::vector<int32_t>& by = b.y_;
    size_t rows = 1;
    for (size_t i = 0, j = 0; i < ay.size() || j < by.size(); ++rows) {
        if (j == by.size() || (i < ay.size() && ay[i] < by[j])) {
            ++i;
        } else if (i == ay.size() || by[j] < ay[i]) {
            ++j;
        } else {
            ++i;
            ++j;
        }
    }
    if (rows - 1 > kMaxBoundaries)
        throw std::length_error("region boundaries");

    const size_t nx = result.x_.size();
    const size_t stride = (nx + 32) / 32;
    result.stride_ = stride;
    result.bits_.assign(stride * rows, 0u);
    result.y_.reserve(rows - 1);

    size_t rowA = 0;
    size_t rowB = 0;
    size_t slot = 0;  // storage row the next output row is written to
    for (size_t i = 0, j = 0;;) {
        uint32_t* out = result.bits_.data() + slot * stride;
        const size_t startA = rowA * a.stride_;
        const size_t startB = rowB * b.stride_;
        for (size_t word = 0; word < stride; ++word) {
            uint32_t bits = 0;
            const size_t end = std::min(nx + 1, (word + 1) * 32);
            for (size_t column = word * 32; column < end; ++column) {
                const bool inA = CellBit(a.bits_, startA, columnA[column]);
                const bool inB = CellBit(b.bits_, startB, columnB[column]);
                const bool set = rule == Rule::kUnion ? (inA || inB) : (inA != inB);
                if (set)
                    bits |= 1u << (column % 32);
            }
            out[word] = bits;
        }
        // A row equal to the one above makes the boundary between them
        // pointless: drop it and let the next row reuse this storage.
        if (slot > 0 && std::equal(out, out + stride, out - stride)) {
            result.y_.pop_back();
        } else {
            ++slot;
        }

        if (i == ay.size() && j == by.size())
            break;
        if (j == by.size() || (i < ay.size() && ay[i] < by[j])) {
            result.y_.push_back(ay[i++]);
            ++rowA;
        } else if (i == ay.size() || by[j] < ay[i]) {
            result.y_.push_back(by[j++]);
            ++rowB;
        } else {
            result.y_.push_back(ay[i]);
            ++i;
            ++j;
            ++rowA;
            ++rowB;
        }
    }
    if (slot < rows)
        result.bits_.resize(slot * stride);
    return result;
}

}  // namespace quil
