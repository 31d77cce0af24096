#pragma once

#include "gfx/Path.h"

// Contours for the skin artwork, added to a Path in pixels (x right, y
// down). Every shape is one closed contour; the rasteriser fills even-odd,
// so a shape added inside another cuts a hole (rings, outlines).

namespace quil::art {

// Ellipse centred on (cx, cy) with radii rx, ry, traced as eight quadratic
// arcs of 45 degrees (off the true ellipse by under 0.1 % of the radius).
void AddEllipse(Path& path, float cx, float cy, float rx, float ry);
inline void AddCircle(Path& path, float cx, float cy, float r) {
    AddEllipse(path, cx, cy, r, r);
}

// Axis-aligned rectangle (right and bottom exclusive, like Rect).
void AddRect(Path& path, float left, float top, float right, float bottom);

// Rectangle whose corners are quarter circles of `radius`.
void AddRoundRect(Path& path, float left, float top, float right, float bottom, float radius);

// A straight stroke of `width` from (x0, y0) to (x1, y1) with round ends.
void AddStroke(Path& path, float x0, float y0, float x1, float y1, float width);

// Closed polygon through `count` points given as x, y pairs.
void AddPolygon(Path& path, const float* xy, int count);

// Appends an elliptic arc to the open contour, from angle `from` to `to`
// (radians, y down so positive angles turn clockwise on screen), in steps
// of at most 45 degrees. The pen must already be at the arc's start.
void ArcTo(Path& path, float cx, float cy, float rx, float ry, double from, double to);

}  // namespace quil::art
