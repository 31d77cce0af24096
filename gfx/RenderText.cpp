#include "gfx/RenderText.h"

#include "gfx/Rasterizer.h"

namespace quil {

namespace {

// Lays the text out and fills it over the view; `resolve` then writes the
// coverage of clip ∩ view into the target.
template <typename Resolve>
void Render(const Rect& clip, std::string_view text, const TextStyle& style, const Rect& view,
            Resolve resolve) {
    const Rect area = clip.Intersect(view);
    if (area.IsEmpty())
        return;
    const TextLayout layout(text, style, view);
    // The rasteriser's coverage near its clip's edges depends on where they
    // lie: crossings left of the clip are moved onto its left edge, whose
    // cells then resolve otherwise than they would inside, and
    // outlines are cut at a band around the clip. Filling over the whole view
    // and resolving only the clip makes a repaint of part of the view give
    // exactly the pixels of a full one, so repaints in pieces leave no seams.
    Rasterizer raster(view, kTextFlagBlocks);
    Path work;
    FillText(raster, layout, work);
    resolve(raster, area);
}

}  // namespace

void FillText(Rasterizer& raster, const TextLayout& layout, Path& work) {
    const Rect clip = raster.clip();
    layout.Place(work, [&](const PlacedGlyph& placed, const Path& outline) {
        if (placed.outline && OutlineMeetsClip(outline, clip))
            raster.FillPath(outline);
    });
}

void RenderText(Mask& mask, const Rect& clip, std::string_view text, const TextStyle& style,
                const Rect& view) {
    Render(clip, text, style, view, [&](const Rasterizer& raster, const Rect& area) {
        raster.ResolveToMask(mask, area, Point{area.left, area.top});
    });
}

void RenderText(Image& image, const Rect& clip, uint32_t colour, std::string_view text,
                const TextStyle& style, const Rect& view) {
    Render(clip, text, style, view, [&](const Rasterizer& raster, const Rect& area) {
        raster.ResolveOverImage(image, area, Point{area.left, area.top}, colour);
    });
}

}  // namespace quil
