#include "ui/ViewList.h"

#include <algorithm>

#include "ui/View.h"

namespace quil {

ViewList::~ViewList() {
    for (View* view : views_)
        view->Detach();
}

void ViewList::Add(View& view) {
    views_.push_back(&view);
}

void ViewList::Remove(View& view) {
    const auto found = std::find(views_.begin(), views_.end(), &view);
    if (found != views_.end())
        views_.erase(found);
}

void ViewList::Invalidate(const Rect& rect) {
    if (!rect.IsEmpty())
        invalid_.Unite(Region(rect));
}

void ViewList::Invalidate(const Region& region) {
    invalid_.Unite(region);
}

}  // namespace quil
