#pragma once

#include <cstdint>
#include <vector>

#include "gfx/Path.h"
#include "platform/Rect.h"

namespace quil {

// A plain even-odd rasteriser to compare the edge-flag one against: flattens
// lines and quadratic curves finely and tests every one of the 16 x 16 sample
// points of each clip pixel for crossing parity. Coverage is the number of
// samples inside, 256 taken as 255. Coordinates in pixels, x right, y down.
class ReferenceRasterizer {
  public:
    // The sample point of sample (c, r) of the clip lies at
    // ((c + offsetX) / 16, (r + offsetY) / 16) pixels from the clip's corner.
    // The default, the right edge of the sample cell at its middle height,
    // matches the edge-flag grid best: its crossings snap to the sample
    // column that holds the edge and fill from that column on.
    explicit ReferenceRasterizer(const Rect& clip, double offsetX = 1.0, double offsetY = 0.5);

    // Adds the contours of a path (each closed, an open one by a line).
    void AddPath(const Path& path);
    // Adds a closed polygon.
    void AddPolygon(const std::vector<double>& xy);
    void AddLine(double x0, double y0, double x1, double y1);

    // Coverage of the clip, row after row (width x height bytes).
    std::vector<uint8_t> Coverage() const;

  private:
    struct Edge {
        double x0, y0, x1, y1;
    };
    Rect clip_;
    double offsetX_;
    double offsetY_;
    std::vector<Edge> edges_;
};

}  // namespace quil
