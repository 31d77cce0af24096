#include "ui/WindowEvents.h"

#include "ui/WorkAreaClamp.h"

namespace quil {

WindowEvents::~WindowEvents() {
    Destroy();
}

bool WindowEvents::opened() {
    return false;
}
bool WindowEvents::sizeChanged(int32_t, int32_t) {
    return false;
}
bool WindowEvents::moved(int32_t, int32_t) {
    return false;
}
bool WindowEvents::paint() {
    return false;
}
bool WindowEvents::spare() {
    return false;
}
bool WindowEvents::mouseDown(int32_t, int32_t, int32_t, int32_t) {
    return false;
}
bool WindowEvents::mouseUp(int32_t, int32_t) {
    return false;
}
bool WindowEvents::rightMouseDown(int32_t, int32_t, int32_t, int32_t) {
    return false;
}
bool WindowEvents::rightMouseUp(int32_t, int32_t) {
    return false;
}
bool WindowEvents::mouseMoved(int32_t, int32_t) {
    return false;
}
bool WindowEvents::captureLost() {
    return false;
}
bool WindowEvents::notifyControls(int32_t) {
    return false;
}
bool WindowEvents::command(uint32_t, uint32_t) {
    return false;
}
bool WindowEvents::commandState(uint32_t, bool&) {
    return false;
}
bool WindowEvents::isResizeArea(int32_t, int32_t) {
    return false;
}
bool WindowEvents::isClientArea(int32_t, int32_t) {
    return false;
}
bool WindowEvents::isCaptionArea(int32_t, int32_t) {
    return false;
}

bool WindowEvents::adjustClientRect(Rect& client, const Rect& proposed) {
    client = proposed;
    return false;
}

int WindowEvents::Create(WindowSystem& system, const Rect& rect, uint32_t flags) {
    if (native_)
        return -1;
    flags_ = flags;
    Rect placed = rect;
    if (flags & kWindowClampToWorkArea)
        placed = ClampToWorkArea(placed, system.WorkAreaFor(placed));
    int error = 0;
    std::unique_ptr<NativeWindow> created = system.CreateNativeWindow(placed, flags, *this, error);
    if (!created)
        return error != 0 ? error : -2;  // a backend that forgot its code still fails
    native_ = std::move(created);
    system_ = &system;
    if (maxWidth_ != 0 || minWidth_ != 0 || minHeight_ != 0 || maxHeight_ != 0)
        native_->SetTrackingLimits(minWidth_, minHeight_, maxWidth_, maxHeight_);
    const Rect client = native_->GetClientRect();
    zoomWidth_ = static_cast<int32_t>(client.Width());
    zoomHeight_ = static_cast<int32_t>(client.Height());
    windowRect_ = native_->GetWindowRect();
    opened();
    return 0;
}

int WindowEvents::Destroy() {
    if (!native_)
        return -1;
    // The handle is cleared before the native window goes, so that events
    // it may still report while it is torn down find no window.
    std::unique_ptr<NativeWindow> gone = std::move(native_);
    gone.reset();
    return 0;
}

void WindowEvents::Show(bool visible) {
    if (native_)
        native_->Show(visible);
}

void WindowEvents::Minimize() {
    if (native_)
        native_->Minimize();
}

void WindowEvents::SetTitle(const std::string& utf8) {
    if (native_)
        native_->SetTitle(utf8);
}

void WindowEvents::CaptureMouse() {
    if (native_)
        native_->CaptureMouse();
}

void WindowEvents::ReleaseMouse() {
    if (native_)
        native_->ReleaseMouse();
}

Rect WindowEvents::GetWindowRect() const {
    return native_ ? native_->GetWindowRect() : windowRect_;
}

Rect WindowEvents::RefreshWindowRect() {
    if (native_)
        windowRect_ = native_->GetWindowRect();
    return windowRect_;
}

Rect WindowEvents::GetClientRect() const {
    return native_ ? native_->GetClientRect() : Rect{};
}

void WindowEvents::SetZoomSize(int32_t width, int32_t height) {
    zoomWidth_ = width;
    zoomHeight_ = height;
}

void WindowEvents::SetTrackingLimits(int32_t minWidth, int32_t minHeight, int32_t maxWidth,
                                     int32_t maxHeight) {
    minWidth_ = minWidth;
    minHeight_ = minHeight;
    maxWidth_ = maxWidth;
    maxHeight_ = maxHeight;
    if (native_)
        native_->SetTrackingLimits(minWidth, minHeight, maxWidth, maxHeight);
}

void WindowEvents::ToggleZoom() {
    if (!native_ || !system_)
        return;
    const Rect current = native_->GetWindowRect();
    Rect target = Rect::Sized(current.left, current.top, zoomWidth_, zoomHeight_);
    target = ClampToWorkArea(target, system_->WorkAreaFor(target));
    if (target == current)
        target = windowRect_;
    else
        windowRect_ = current;
    // Resizing in place before moving lets the window lay itself out for
    // the new size while it still stands where the user left it.
    if (target.left != current.left || target.top != current.top) {
        native_->SetWindowRect(
            Rect::Sized(current.left, current.top, target.Width(), target.Height()));
    }
    // The size change may have run the owner's handlers, which can move or
    // destroy the window.
    if (native_ && native_->GetWindowRect() != target)
        native_->SetWindowRect(target);
}

void WindowEvents::SetCommandMapping(int32_t controlId, uint32_t code) {
    commandMap_[controlId] = code;
}

uint32_t WindowEvents::MappedCommand(int32_t controlId) const {
    const auto found = commandMap_.find(controlId);
    return found != commandMap_.end() ? found->second : 0;
}

}  // namespace quil
