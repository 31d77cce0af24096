#pragma once

#include <vector>

#include "platform/Rect.h"
#include "ui/Region.h"

namespace quil {

class View;

// A window's paint list: its views in paint order (first drawn first, so
// later views lie on top) and the invalid region, the pixels (window
// coordinates) that the next flush redraws. Views add themselves on
// construction and take themselves out on destruction. Not thread-safe:
// the window lock guards it.
class ViewList {
  public:
    ViewList() = default;
    ViewList(const ViewList&) = delete;
    ViewList& operator=(const ViewList&) = delete;
    // Views still listed are cut loose; they stay valid objects that draw
    // into no window.
    ~ViewList();

    // Appends `view` (not owned) at the end of the paint list.
    void Add(View& view);
    // Takes `view` out of the paint list; nothing when it is not listed.
    void Remove(View& view);

    // Marks pixels for the next flush.
    void Invalidate(const Rect& rect);
    void Invalidate(const Region& region);

    const std::vector<View*>& views() const { return views_; }
    Region& invalid() { return invalid_; }
    const Region& invalid() const { return invalid_; }

  private:
    std::vector<View*> views_;
    Region invalid_;
};

}  // namespace quil
