#include "tests/gfx/ReferenceRasterizer.h"

#include <algorithm>

namespace quil {

ReferenceRasterizer::ReferenceRasterizer(const Rect& clip, double offsetX, double offsetY)
    : clip_(clip), offsetX_(offsetX), offsetY_(offsetY) {}

void ReferenceRasterizer::AddLine(double x0, double y0, double x1, double y1) {
    if (y0 != y1)
        edges_.push_back(Edge{x0, y0, x1, y1});
}

void ReferenceRasterizer::AddPolygon(const std::vector<double>& xy) {
    const size_t n = xy.size() / 2;
    for (size_t i = 0; i < n; ++i) {
        const size_t j = (i + 1) % n;
        AddLine(xy[2 * i], xy[2 * i + 1], xy[2 * j], xy[2 * j + 1]);
    }
}

void ReferenceRasterizer::AddPath(const Path& path) {
    const std::vector<uint32_t>& words = path.words();
    double penX = 0, penY = 0, startX = 0, startY = 0;
    bool open = false;
    const auto line = [&](double x, double y) {
        AddLine(penX, penY, x, y);
        penX = x;
        penY = y;
    };
    const auto quad = [&](double cx, double cy, double x, double y) {
        constexpr int kPieces = 256;
        const double x0 = penX, y0 = penY;
        for (int i = 1; i <= kPieces; ++i) {
            const double t = double(i) / kPieces, u = 1 - t;
            line(u * u * x0 + 2 * u * t * cx + t * t * x, u * u * y0 + 2 * u * t * cy + t * t * y);
        }
    };
    size_t i = 0;
    while (i < words.size() && words[i] != 0) {
        const uint32_t header = words[i];
        const size_t count = header & 0xFF;
        if (words.size() - i - 1 < count)
            break;
        const auto op = [&](size_t k) { return double(Path::Operand(words[i + 1 + k])); };
        switch (header) {
            case Path::kMove:
                if (open)
                    line(startX, startY);
                startX = penX = op(0);
                startY = penY = op(1);
                open = true;
                break;
            case Path::kLine:
                line(op(0), op(1));
                break;
            case Path::kQuad:
                quad(op(0), op(1), op(2), op(3));
                break;
            case Path::kClose:
                line(startX, startY);
                open = false;
                break;
            case Path::kCloseQuad:
                quad(op(0), op(1), startX, startY);
                open = false;
                break;
            default:
                break;
        }
        i += 1 + count;
    }
    if (open)
        line(startX, startY);
}

std::vector<uint8_t> ReferenceRasterizer::Coverage() const {
    const auto width = static_cast<size_t>(clip_.Width());
    const auto height = static_cast<size_t>(clip_.Height());
    std::vector<uint16_t> counts(width * height, 0);
    std::vector<double> crossings;
    for (size_t r = 0; r < height * 16; ++r) {
        const double y = clip_.top + (double(r) + offsetY_) / 16;
        crossings.clear();
        for (const Edge& e : edges_) {
            if ((e.y0 <= y) != (e.y1 <= y)) {
                crossings.push_back(e.x0 + (y - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0));
            }
        }
        std::sort(crossings.begin(), crossings.end());
        size_t k = 0;
        for (size_t c = 0; c < width * 16; ++c) {
            const double x = clip_.left + (double(c) + offsetX_) / 16;
            while (k < crossings.size() && crossings[k] < x)
                ++k;
            if (k % 2 == 1)
                ++counts[(r / 16) * width + c / 16];
        }
    }
    std::vector<uint8_t> coverage(counts.size());
    for (size_t i = 0; i < counts.size(); ++i) {
        coverage[i] = static_cast<uint8_t>(std::min<int>(counts[i], 255));
    }
    return coverage;
}

}  // namespace quil
