#include "gfx/Path.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace quil {

float Path::Operand(uint32_t word) {
    return std::bit_cast<float>(word);
}

void Path::Emit(uint32_t header, std::initializer_list<float> operands) {
    words_.push_back(header);
    for (float v : operands)
        words_.push_back(std::bit_cast<uint32_t>(v));
}

void Path::MoveTo(float x, float y) {
    Emit(kMove, {x, y});
}
void Path::LineTo(float x, float y) {
    Emit(kLine, {x, y});
}
void Path::QuadTo(float cx, float cy, float x, float y) {
    Emit(kQuad, {cx, cy, x, y});
}
void Path::Close() {
    Emit(kClose, {});
}
void Path::CloseQuad(float cx, float cy) {
    Emit(kCloseQuad, {cx, cy});
}

// Calls visit(x, y) with references to every operand pair. The walk trusts
// the operand counts of the headers but never runs past the array.
template <typename Visit>
void Path::ForEachPoint(Visit visit) {
    size_t i = 0;
    while (i < words_.size()) {
        const uint32_t header = words_[i];
        if (header == 0)
            break;
        const size_t count = header & 0xFF;
        const size_t end = std::min(words_.size(), i + 1 + count);
        for (size_t k = i + 1; k + 1 < end; k += 2) {
            float x = Operand(words_[k]);
            float y = Operand(words_[k + 1]);
            visit(x, y);
            words_[k] = std::bit_cast<uint32_t>(x);
            words_[k + 1] = std::bit_cast<uint32_t>(y);
        }
        i = end;
    }
}

template <typename Visit>
void Path::ForEachPoint(Visit visit) const {
    const_cast<Path*>(this)->ForEachPoint([&](float& x, float& y) { visit(x, y); });
}

void Path::Translate(float tx, float ty) {
    ForEachPoint([=](float& x, float& y) {
        x += tx;
        y += ty;
    });
}

void Path::Scale(float s) {
    ForEachPoint([=](float& x, float& y) {
        x *= s;
        y *= s;
    });
}

void Path::Linear(float a, float b, float c, float d) {
    Affine(a, b, c, d, 0, 0);
}

void Path::Affine(float a, float b, float c, float d, float e, float f) {
    ForEachPoint([=](float& x, float& y) {
        const float nx = a * x + b * y + e;
        const float ny = c * x + d * y + f;
        x = nx;
        y = ny;
    });
}

RealRect Path::Bounds() const {
    float minX = std::numeric_limits<float>::infinity();
    float minY = minX;
    float maxX = -minX;
    float maxY = -minX;
    bool any = false;
    ForEachPoint([&](float x, float y) {
        any = true;
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
    });
    if (!any)
        return RealRect{0, 0, 1, 1};
    return RealRect{minX, minY, maxX + 1, maxY + 1};
}

void Path::Append(const Path& other) {
    words_.insert(words_.end(), other.words_.begin(), other.words_.end());
}

}  // namespace quil
