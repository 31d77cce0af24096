#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "gfx/Image.h"
#include "platform/RecursiveLock.h"
#include "ui/Control.h"
#include "ui/Region.h"
#include "ui/ViewList.h"
#include "ui/WindowEvents.h"
#include "ui/WindowOwner.h"

namespace quil {

// A toolkit window: it keeps its whole content in one offscreen image
// (premultiplied 0xAARRGGBB, one pixel per client pixel, window
// coordinates), draws its views into it, routes the mouse to its controls
// and hands changed pixels to the native window.
//
// Locks, always in this order: the window lock (recursive; every change of
// a view or control, on any thread, is made under it), then the drawing
// mutex (guards the offscreen image and the present region while they are
// drawn or presented). A change is two steps: invalidate, then `update`.
class Window : public WindowEvents, public WindowOwner {
  public:
    Window() = default;
    // The native window goes first, so that nothing reaches this object
    // while its parts are torn down.
    ~Window() override;

    // Reads the client rectangle and sets the size from it.
    bool opened() override;
    // Recreates the offscreen image at width × height (pixels), cleared to
    // 0, and redraws and presents all of it.
    bool sizeChanged(int32_t width, int32_t height) override;
    // Hands the whole image to the native window.
    bool paint() override;
    // Mouse events in window coordinates, routed to the controls: a press
    // goes to the topmost control hit (the last added), which then holds the
    // mouse until the release; moves send drags to it, or hover changes
    // when no control holds the mouse.
    bool mouseDown(int32_t x, int32_t y, int32_t clickCount, int32_t reserved) override;
    bool mouseUp(int32_t x, int32_t y) override;
    bool mouseMoved(int32_t x, int32_t y) override;
    // The control holding the mouse loses it without a release (its press
    // is cancelled, nothing fires), so that later moves do not drag it.
    bool captureLost() override;
    // Passes `value` to every control, in list order.
    bool notifyControls(int32_t value) override;
    // The window's own command handler; buttons reach it through
    // WindowOwner. The default handles nothing.
    bool command(uint32_t code, uint32_t argument) override;

    // Any thread: redraws the invalid region and presents it. Takes the
    // window lock, then the drawing mutex.
    void update() override;

    // Adopts `control` (not owned; it must live as long as the window
    // receives mouse events): it becomes the topmost control and its owner
    // is this window.
    void AddControl(Control& control);
    // The topmost control whose hit test takes (x, y), or null.
    Control* HitControl(int32_t x, int32_t y) const;

    RecursiveLock& lock() { return lock_; }
    // The paint list with the invalid region; guarded by the window lock.
    ViewList& viewList() { return views_; }
    // The offscreen image; read it with the drawing mutex or the window lock
    // held, and no update running on another thread.
    const Image& backingStore() const { return image_; }
    const Region& presentRegion() const { return present_; }
    const std::vector<Control*>& controls() const { return controls_; }
    Control* capturedControl() const { return captured_; }
    Control* hoveredControl() const { return hovered_; }

    // Holds the window lock for a scope.
    class LockGuard {
      public:
        explicit LockGuard(Window& window) : lock_(window.lock()) { lock_.Lock(); }
        ~LockGuard() { lock_.Unlock(); }
        LockGuard(const LockGuard&) = delete;
        LockGuard& operator=(const LockGuard&) = delete;

      private:
        RecursiveLock& lock_;
    };

  private:
    // Both need the drawing mutex held.
    void flush();
    void present();

    RecursiveLock lock_;
    ViewList views_;
    Image image_;
    Region present_;
    std::mutex drawing_;
    std::vector<Control*> controls_;
    Control* captured_ = nullptr;
    Control* hovered_ = nullptr;
};

}  // namespace quil
