#include "platform/headless/HeadlessWindow.h"

#include <algorithm>
#include <cstring>

namespace quil {

HeadlessWindow::HeadlessWindow(const Rect& rect, uint32_t flags, bool layered,
                               NativeWindowListener& listener)
    : listener_(listener), rect_(rect), flags_(flags), layered_(layered) {}

Rect HeadlessWindow::GetClientRect() {
    return Rect{0, 0, static_cast<int32_t>(std::max<int64_t>(0, rect_.Width())),
                static_cast<int32_t>(std::max<int64_t>(0, rect_.Height()))};
}

void HeadlessWindow::SetWindowRect(const Rect& rect) {
    const Rect old = rect_;
    rect_ = rect;
    if (old.Width() != rect.Width() || old.Height() != rect.Height()) {
        const Rect client = GetClientRect();
        listener_.sizeChanged(client.right, client.bottom);
    }
    if (old.left != rect.left || old.top != rect.top)
        listener_.moved(rect.left, rect.top);
}

void HeadlessWindow::SetTrackingLimits(int32_t minWidth, int32_t minHeight, int32_t maxWidth,
                                       int32_t maxHeight) {
    limits_[0] = minWidth;
    limits_[1] = minHeight;
    limits_[2] = maxWidth;
    limits_[3] = maxHeight;
}

uint32_t HeadlessWindow::PopupMenu(const std::vector<MenuItem>& items, int32_t x, int32_t y) {
    menuItems_ = items;
    menuPosition_ = Point{x, y};
    ++menuCount_;
    return popupChoice_;
}

void HeadlessWindow::FitScreen(int32_t width, int32_t height) {
    if (width == screenWidth_ && height == screenHeight_)
        return;
    screenWidth_ = std::max(0, width);
    screenHeight_ = std::max(0, height);
    screen_.assign(size_t(screenWidth_) * size_t(screenHeight_), 0);
}

void HeadlessWindow::CopyRect(const uint32_t* pixels, int32_t stride, int32_t width, int32_t height,
                              const Rect& rect) {
    const Rect area = rect.Intersect(Rect{0, 0, width, height});
    if (area.IsEmpty())
        return;
    const auto* bytes = reinterpret_cast<const uint8_t*>(pixels);
    for (int32_t y = area.top; y < area.bottom; ++y) {
        const uint8_t* row = bytes + size_t(y) * size_t(stride) + size_t(area.left) * 4;
        std::memcpy(&screen_[size_t(y) * size_t(screenWidth_) + size_t(area.left)], row,
                    size_t(area.Width()) * 4);
    }
}

void HeadlessWindow::PaintPixels(const uint32_t* pixels, int32_t stride, int32_t width,
                                 int32_t height) {
    std::lock_guard<std::mutex> lock(screenMutex_);
    if (!painting_) {
        ++paintMisuse_;
        return;
    }
    ++paintCount_;
    FitScreen(width, height);
    CopyRect(pixels, stride, width, height, Rect{0, 0, width, height});
}

void HeadlessWindow::Present(const uint32_t* pixels, int32_t stride, int32_t width, int32_t height,
                             const std::vector<Rect>& rects) {
    std::lock_guard<std::mutex> lock(screenMutex_);
    FitScreen(width, height);
    for (const Rect& rect : rects)
        CopyRect(pixels, stride, width, height, rect);
    presentations_.push_back(rects);
}

std::vector<uint32_t> HeadlessWindow::Screen() const {
    std::lock_guard<std::mutex> lock(screenMutex_);
    return screen_;
}

int32_t HeadlessWindow::screenWidth() const {
    std::lock_guard<std::mutex> lock(screenMutex_);
    return screenWidth_;
}

int32_t HeadlessWindow::screenHeight() const {
    std::lock_guard<std::mutex> lock(screenMutex_);
    return screenHeight_;
}

uint32_t HeadlessWindow::ScreenPixel(int32_t x, int32_t y) const {
    std::lock_guard<std::mutex> lock(screenMutex_);
    if (x < 0 || y < 0 || x >= screenWidth_ || y >= screenHeight_)
        return 0;
    return screen_[size_t(y) * size_t(screenWidth_) + size_t(x)];
}

std::vector<std::vector<Rect>> HeadlessWindow::Presentations() const {
    std::lock_guard<std::mutex> lock(screenMutex_);
    return presentations_;
}

void HeadlessWindow::ClearPresentations() {
    std::lock_guard<std::mutex> lock(screenMutex_);
    presentations_.clear();
}

int HeadlessWindow::paintCount() const {
    std::lock_guard<std::mutex> lock(screenMutex_);
    return paintCount_;
}

int HeadlessWindow::paintMisuseCount() const {
    std::lock_guard<std::mutex> lock(screenMutex_);
    return paintMisuse_;
}

bool HeadlessWindow::RequestPaint() {
    {
        std::lock_guard<std::mutex> lock(screenMutex_);
        painting_ = true;
    }
    const bool handled = listener_.paint();
    std::lock_guard<std::mutex> lock(screenMutex_);
    painting_ = false;
    return handled;
}

void HeadlessWindow::LoseCapture() {
    captured_ = false;
    listener_.captureLost();
}

HeadlessWindow::PressResult HeadlessWindow::Press(int32_t screenX, int32_t screenY,
                                                  int32_t clickCount) {
    if (listener_.isResizeArea(screenX, screenY))
        return PressResult::kResize;
    if (listener_.isClientArea(screenX, screenY)) {
        listener_.mouseDown(screenX - rect_.left, screenY - rect_.top, clickCount, 0);
        return PressResult::kClient;
    }
    if (listener_.isCaptionArea(screenX, screenY))
        return PressResult::kCaption;
    return PressResult::kNone;
}

void HeadlessWindow::ResizeInteractively(int32_t width, int32_t height) {
    if (limits_[2] != 0) {
        width = std::clamp(width, limits_[0], std::max(limits_[0], limits_[2]));
        height = std::clamp(height, limits_[1], std::max(limits_[1], limits_[3]));
    }
    SetWindowRect(Rect{rect_.left, rect_.top, rect_.left + width, rect_.top + height});
}

}  // namespace quil
