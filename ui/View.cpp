#include "ui/View.h"

#include <algorithm>

#include "ui/Region.h"
#include "ui/ViewList.h"

namespace quil {

namespace {

int32_t Saturated(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

View::View(ViewList& list, const Rect& frame) : list_(&list), frame_(frame) {
    list_->Add(*this);
    invalidate();
}

View::~View() {
    if (visible_) {
        visible_ = false;
        invalidate();
    }
    if (list_)
        list_->Remove(*this);
}

void View::invalidate() {
    if (list_)
        list_->Invalidate(frame_);
}

void View::setVisible(bool visible) {
    if (visible_ == visible)
        return;
    visible_ = visible;
    invalidate();
}

void View::setFrame(const Rect& frame, Damage damage) {
    const Region before(frame_);
    const Region after(frame);
    frame_ = frame;
    if (!list_)
        return;
    if (damage == Damage::kDifference)
        list_->Invalidate(Region::SymmetricDifference(before, after));
    else
        list_->Invalidate(Region::Union(before, after));
}

Rect View::ResizedBy(const Rect& rect, int32_t dw, int32_t dh) {
    return Rect{rect.left, rect.top, Saturated(int64_t{rect.right} + dw),
                Saturated(int64_t{rect.bottom} + dh)};
}

Rect View::MovedBy(const Rect& rect, int32_t dx, int32_t dy) {
    return Rect{Saturated(int64_t{rect.left} + dx), Saturated(int64_t{rect.top} + dy),
                Saturated(int64_t{rect.right} + dx), Saturated(int64_t{rect.bottom} + dy)};
}

Point View::MovedBy(Point point, int32_t dx, int32_t dy) {
    return Point{Saturated(int64_t{point.x} + dx), Saturated(int64_t{point.y} + dy)};
}

}  // namespace quil
