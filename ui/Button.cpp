#include "ui/Button.h"

#include "ui/WindowOwner.h"

namespace quil {

namespace {

Rect BoundsOf(const Image* image) {
    return image ? image->bounds() : Rect{};
}

}  // namespace

Button::Button(WindowOwner* owner, ViewList& list, uint32_t command, const Image* normal,
               const Image* pressed, const Image* disabled, const Image* hover, int32_t x,
               int32_t y, uint32_t flags)
    : Control(owner, command), face_(list, normal, BoundsOf(normal), x, y), flags_(flags) {
    setImages(normal, pressed, disabled, hover);
}

void Button::setImages(const Image* normal, const Image* pressed, const Image* disabled,
                       const Image* hover) {
    if (normal)
        normal_ = normal;
    if (pressed)
        pressedImage_ = pressed;
    if (disabled)
        disabled_ = disabled;
    if (hover)
        hoverImage_ = hover;
    refresh();
}

void Button::refresh() {
    const Image* current = normal_;
    if (!enabled_)
        current = disabled_;
    else if (pressed_)
        current = pressedImage_;
    else if (hover_)
        current = hoverImage_;
    face_.setImage(current);
    face_.invalidate();
    if (owner_)
        owner_->update();
}

bool Button::hitTest(int32_t x, int32_t y) const {
    const Image* image = face_.image();
    if (!visible_ || !image)
        return false;
    const Point anchor = face_.destinationAnchor();
    const int64_t ix = int64_t{x} - anchor.x;
    const int64_t iy = int64_t{y} - anchor.y;
    const Rect& bounds = image->bounds();
    if (ix < bounds.left || ix >= bounds.right || iy < bounds.top || iy >= bounds.bottom)
        return false;
    if (flags_ & kButtonRectangular)
        return true;
    return (*image->At(static_cast<int32_t>(ix), static_cast<int32_t>(iy)) >> 24) != 0;
}

bool Button::mouseDown(int32_t, int32_t) {
    pressed_ = true;
    refresh();
    return (flags_ & kButtonFireOnPress) ? fire() : false;
}

void Button::mouseDragged(int32_t x, int32_t y) {
    const bool over = hitTest(x, y);
    if (over == pressed_)
        return;
    pressed_ = over;
    refresh();
}

bool Button::mouseUp(int32_t x, int32_t y) {
    if (pressed_) {
        pressed_ = false;
        refresh();
    }
    if (!(flags_ & kButtonFireOnPress) && hitTest(x, y))
        return fire();
    return false;
}

void Button::pressCancelled() {
    if (!pressed_)
        return;
    pressed_ = false;
    refresh();
}

void Button::setHover(bool hover) {
    if (!hoverImage_ || hover == hover_)
        return;
    hover_ = hover;
    refresh();
}

void Button::setEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    refresh();
}

void Button::setVisible(bool visible) {
    if (visible == visible_)
        return;
    visible_ = visible;
    face_.setVisible(visible);  // invalidates on a change; the caller updates
}

}  // namespace quil
