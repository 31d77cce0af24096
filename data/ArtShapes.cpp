#include "data/ArtShapes.h"

#include <cmath>
#include <numbers>

namespace quil::art {

void ArcTo(Path& path, float cx, float cy, float rx, float ry, double from, double to) {
    const double quarter = std::numbers::pi / 4;
    const int steps =
        std::max(1, static_cast<int>(std::ceil(std::fabs(to - from) / quarter - 1e-9)));
    const double step = (to - from) / steps;
    // The control point of a quadratic arc lies on the bisecting ray at
    // 1 / cos(half the step) times the radius.
    const double reach = 1.0 / std::cos(step / 2);
    for (int i = 0; i < steps; ++i) {
        const double mid = from + step * (i + 0.5);
        const double end = from + step * (i + 1);
        path.QuadTo(static_cast<float>(cx + rx * reach * std::cos(mid)),
                    static_cast<float>(cy + ry * reach * std::sin(mid)),
                    static_cast<float>(cx + rx * std::cos(end)),
                    static_cast<float>(cy + ry * std::sin(end)));
    }
}

void AddEllipse(Path& path, float cx, float cy, float rx, float ry) {
    path.MoveTo(cx + rx, cy);
    ArcTo(path, cx, cy, rx, ry, 0, 2 * std::numbers::pi);
    path.Close();
}

void AddRect(Path& path, float left, float top, float right, float bottom) {
    path.MoveTo(left, top);
    path.LineTo(right, top);
    path.LineTo(right, bottom);
    path.LineTo(left, bottom);
    path.Close();
}

void AddRoundRect(Path& path, float left, float top, float right, float bottom, float radius) {
    const double pi = std::numbers::pi;
    path.MoveTo(left + radius, top);
    path.LineTo(right - radius, top);
    ArcTo(path, right - radius, top + radius, radius, radius, -pi / 2, 0);
    path.LineTo(right, bottom - radius);
    ArcTo(path, right - radius, bottom - radius, radius, radius, 0, pi / 2);
    path.LineTo(left + radius, bottom);
    ArcTo(path, left + radius, bottom - radius, radius, radius, pi / 2, pi);
    path.LineTo(left, top + radius);
    ArcTo(path, left + radius, top + radius, radius, radius, pi, 1.5 * pi);
    path.Close();
}

void AddStroke(Path& path, float x0, float y0, float x1, float y1, float width) {
    const double angle = std::atan2(double{y1} - y0, double{x1} - x0);
    const double half = width / 2.0;
    const double pi = std::numbers::pi;
    const double nx = -std::sin(angle) * half;
    const double ny = std::cos(angle) * half;
    path.MoveTo(static_cast<float>(x0 - nx), static_cast<float>(y0 - ny));
    path.LineTo(static_cast<float>(x1 - nx), static_cast<float>(y1 - ny));
    ArcTo(path, x1, y1, static_cast<float>(half), static_cast<float>(half), angle - pi / 2,
          angle + pi / 2);
    path.LineTo(static_cast<float>(x0 + nx), static_cast<float>(y0 + ny));
    ArcTo(path, x0, y0, static_cast<float>(half), static_cast<float>(half), angle + pi / 2,
          angle + 1.5 * pi);
    path.Close();
}

void AddPolygon(Path& path, const float* xy, int count) {
    if (count < 3)
        return;
    path.MoveTo(xy[0], xy[1]);
    for (int i = 1; i < count; ++i)
        path.LineTo(xy[2 * i], xy[2 * i + 1]);
    path.Close();
}

}  // namespace quil::art
