#pragma once

#include <cstdint>

#include "gfx/Image.h"
#include "platform/Rect.h"

namespace quil {

class ViewList;

// Something a window draws: a rectangle in window coordinates (pixels, y
// down) that draws itself into the window's offscreen image when the
// window flushes. A view registers at the end of its window's paint list
// when it is made and stays there until it is destroyed; the program keeps
// its views for the window's whole life. A change only marks pixels
// invalid; the owner window's `update` draws them. Every change of a view
// is made with the window lock held by the caller.
class View {
  public:
    // Appends the view to `list` (which it does not own) and invalidates
    // its frame; the view starts visible.
    View(ViewList& list, const Rect& frame);
    View(const View&) = delete;
    View& operator=(const View&) = delete;
    // A visible view is hidden and its frame invalidated, then the view
    // leaves the paint list, so that it may end before its window.
    virtual ~View();

    // Draws the part of the view inside `clip` (window coordinates) into
    // `target`, a premultiplied 0xAARRGGBB image in window coordinates.
    // Called by the window's flush with the drawing mutex held.
    virtual void draw(Image& target, const Rect& clip) = 0;

    // Marks the whole frame invalid, visible or not.
    void invalidate();
    // Shows or hides the view; a change invalidates its frame.
    void setVisible(bool visible);
    bool visible() const { return visible_; }
    const Rect& frame() const { return frame_; }

  protected:
    // What a frame change marks invalid.
    enum class Damage {
        kDifference,  // pixels in exactly one of the old and new frames
        kBoth,        // old frame ∪ new frame
    };
    void setFrame(const Rect& frame, Damage damage);
    // `rect` with (dw, dh) added to its right and bottom, or moved by
    // (dx, dy); coordinates saturate at the int32 range.
    static Rect ResizedBy(const Rect& rect, int32_t dw, int32_t dh);
    static Rect MovedBy(const Rect& rect, int32_t dx, int32_t dy);
    static Point MovedBy(Point point, int32_t dx, int32_t dy);

  private:
    friend class ViewList;
    // Called by a list that ends before the view.
    void Detach() { list_ = nullptr; }

    ViewList* list_;
    Rect frame_;
    bool visible_ = true;
};

}  // namespace quil
