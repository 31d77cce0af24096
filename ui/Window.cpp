#include "ui/Window.h"

#include "gfx/Compositing.h"
#include "ui/View.h"

namespace quil {

Window::~Window() {
    Destroy();
}

bool Window::opened() {
    const Rect client = GetClientRect();
    sizeChanged(client.right, client.bottom);
    return true;
}

bool Window::sizeChanged(int32_t width, int32_t height) {
    LockGuard hold(*this);
    std::lock_guard<std::mutex> drawing(drawing_);
    const Rect whole{0, 0, width, height};
    // A minimised window reports 0 × 0: it then has no image until it
    // gets a size again.
    if (whole.IsEmpty() || !image_.SetBounds(whole))
        image_.Release();
    image_.Fill(0);
    present_.Set(whole);
    views_.invalid().Set(whole);
    flush();
    return true;
}

bool Window::paint() {
    LockGuard hold(*this);
    std::lock_guard<std::mutex> drawing(drawing_);
    NativeWindow* native = nativeWindow();
    if (native && image_.HasStorage()) {
        const Rect& bounds = image_.bounds();
        native->PaintPixels(image_.At(bounds.left, bounds.top), image_.stride(),
                            static_cast<int32_t>(bounds.Width()),
                            static_cast<int32_t>(bounds.Height()));
    }
    present_.Clear();
    return true;
}

Control* Window::HitControl(int32_t x, int32_t y) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        if ((*it)->hitTest(x, y))
            return *it;
    }
    return nullptr;
}

bool Window::mouseDown(int32_t x, int32_t y, int32_t, int32_t) {
    LockGuard hold(*this);
    Control* hit = HitControl(x, y);
    if (!hit)
        return false;
    // A disabled control still takes the press, so that the window does
    // not start moving under it.
    if (hit->isEnabled()) {
        captured_ = hit;
        hit->mouseDown(x, y);
        CaptureMouse();
    }
    return true;
}

bool Window::mouseMoved(int32_t x, int32_t y) {
    LockGuard hold(*this);
    if (captured_) {
        captured_->mouseDragged(x, y);
        return true;
    }
    Control* hit = HitControl(x, y);
    if (hit != hovered_) {
        Control* old = hovered_;
        hovered_ = hit;
        if (old)
            old->setHover(false);
        if (hit)
            hit->setHover(true);
    }
    return true;
}

bool Window::mouseUp(int32_t x, int32_t y) {
    LockGuard hold(*this);
    if (!captured_)
        return false;
    ReleaseMouse();
    // The capture ends before the control hears of the release: the command
    // it fires may run a nested loop (a popup menu) that moves the mouse.
    Control* released = captured_;
    captured_ = nullptr;
    released->mouseUp(x, y);
    mouseMoved(x, y);
    return true;
}

bool Window::captureLost() {
    LockGuard hold(*this);
    if (!captured_)
        return false;
    Control* lost = captured_;
    captured_ = nullptr;
    ReleaseMouse();
    lost->pressCancelled();
    return true;
}

bool Window::notifyControls(int32_t value) {
    LockGuard hold(*this);
    for (Control* control : controls_)
        control->notify(value);
    return true;
}

bool Window::command(uint32_t code, uint32_t argument) {
    return WindowEvents::command(code, argument);
}

void Window::AddControl(Control& control) {
    LockGuard hold(*this);
    control.setOwner(this);
    controls_.push_back(&control);
}

void Window::update() {
    // The window lock keeps the views still while they are drawn, also for
    // a caller that did not take it.
    LockGuard hold(*this);
    std::lock_guard<std::mutex> drawing(drawing_);
    flush();
}

void Window::flush() {
    Region& invalid = views_.invalid();
    std::vector<Rect> rects;
    invalid.Rectangles(rects);
    for (const Rect& rect : rects) {
        const Rect area = rect.Intersect(image_.bounds());
        if (area.IsEmpty())
            continue;
        fillRect(image_, area, 0);
        for (View* view : views_.views())
            view->draw(image_, area);
    }
    present_.Unite(invalid);
    present();
    invalid.Clear();
}

void Window::present() {
    NativeWindow* native = nativeWindow();
    if (!native || present_.IsEmpty())
        return;
    std::vector<Rect> rects;
    present_.Rectangles(rects);
    present_.Clear();
    // Only pixels of the image can be shown; the rest of a region (a view
    // beyond the window's edge) has nothing to present.
    std::vector<Rect> shown;
    for (const Rect& rect : rects) {
        const Rect area = rect.Intersect(image_.bounds());
        if (!area.IsEmpty())
            shown.push_back(area);
    }
    if (shown.empty() || !image_.HasStorage())
        return;
    const Rect& bounds = image_.bounds();
    native->Present(image_.At(bounds.left, bounds.top), image_.stride(),
                    static_cast<int32_t>(bounds.Width()), static_cast<int32_t>(bounds.Height()),
                    shown);
}

}  // namespace quil
