#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/NativeWindow.h"
#include "platform/NativeWindowListener.h"
#include "platform/Rect.h"
#include "platform/WindowSystem.h"

namespace quil {

// The base of every top-level window of the program: it owns one native
// window and receives its events through the slots below, in this order.
// Every event operation answers whether it handled the event; the defaults
// answer false, which leaves the event to the platform. Window coordinates
// are pixels from the window's top-left corner (the whole window is client
// area), screen coordinates are absolute; x grows right, y grows down.
// Events arrive on the main thread; the operations below are main-thread
// operations too unless they say otherwise.
class WindowEvents : public NativeWindowListener {
  public:
    WindowEvents() = default;
    WindowEvents(const WindowEvents&) = delete;
    WindowEvents& operator=(const WindowEvents&) = delete;
    // Destroys the native window, if any.
    ~WindowEvents() override;

    // Once, right after the native window was created.
    virtual bool opened();
    // New client size in pixels.
    bool sizeChanged(int32_t width, int32_t height) override;
    // New screen position of the window's top-left corner.
    bool moved(int32_t x, int32_t y) override;
    bool paint() override;
    // Never sent by any backend.
    virtual bool spare();
    // `reserved` is always 0.
    bool mouseDown(int32_t x, int32_t y, int32_t clickCount, int32_t reserved) override;
    bool mouseUp(int32_t x, int32_t y) override;
    bool rightMouseDown(int32_t x, int32_t y, int32_t clickCount, int32_t reserved) override;
    bool rightMouseUp(int32_t x, int32_t y) override;
    bool mouseMoved(int32_t x, int32_t y) override;
    bool captureLost() override;
    // Sent by the program itself, never by a backend.
    virtual bool notifyControls(int32_t value);
    bool command(uint32_t code, uint32_t argument) override;
    // Whether command `code` is available now, in `enabled`.
    virtual bool commandState(uint32_t code, bool& enabled);
    // The client rectangle for a proposed window rectangle (screen pixels);
    // the default copies the proposal and answers false.
    virtual bool adjustClientRect(Rect& client, const Rect& proposed);
    bool isResizeArea(int32_t screenX, int32_t screenY) override;
    bool isClientArea(int32_t screenX, int32_t screenY) override;
    bool isCaptionArea(int32_t screenX, int32_t screenY) override;

    // Creates the native window at `rect` (screen pixels) with `flags`
    // (WindowFlags); the system must outlive the window. With
    // kWindowClampToWorkArea the rectangle is first moved into the work
    // area of its monitor; kWindowRectIsClient (growing the rectangle by a
    // system frame) is the backend's. Then the client size becomes the zoom size, the
    // window rectangle is read and `opened` runs. Answers 0, -1 when this
    // object already has a window, or the backend's non-zero error code.
    int Create(WindowSystem& system, const Rect& rect, uint32_t flags);
    // Destroys the native window; -1 when there is none, else 0.
    int Destroy();

    void Show(bool visible);
    void Minimize();
    void SetTitle(const std::string& utf8);
    // Keeps the mouse events coming while a button is held, until released.
    void CaptureMouse();
    void ReleaseMouse();
    // The window's screen rectangle, read from the system now; without a
    // window the stored one. Leaves the stored rectangle alone.
    Rect GetWindowRect() const;
    // Reads the screen rectangle from the system and stores it as the
    // window rectangle (which the zoom toggle returns to); owners call it on
    // every move. Answers the rectangle.
    Rect RefreshWindowRect();
    // The stored window rectangle (screen pixels): as read at creation, by
    // RefreshWindowRect, or saved by the zoom toggle.
    const Rect& windowRect() const { return windowRect_; }
    // The client area (0, 0, width, height); empty without a window.
    Rect GetClientRect() const;
    // Stores the size (pixels) the zoom toggle switches to; nothing moves.
    void SetZoomSize(int32_t width, int32_t height);
    int32_t zoomWidth() const { return zoomWidth_; }
    int32_t zoomHeight() const { return zoomHeight_; }
    // Limits (pixels) for interactive resizing; a maximum width of 0 means
    // none. Kept and handed to the native window, now or when it is created.
    void SetTrackingLimits(int32_t minWidth, int32_t minHeight, int32_t maxWidth,
                           int32_t maxHeight);
    // Switches the window between its current rectangle and the zoom size
    // at the same top-left corner, moved into the monitor's work area; a
    // toggle that finds the window at its zoom rectangle returns it to the
    // stored window rectangle. Nothing happens without a window.
    void ToggleZoom();
    // Dialog control id to command code.
    void SetCommandMapping(int32_t controlId, uint32_t code);
    // The code mapped to `controlId`, 0 when there is none.
    uint32_t MappedCommand(int32_t controlId) const;

    uint32_t creationFlags() const { return flags_; }
    // The native window, null before Create and after Destroy; owned.
    NativeWindow* nativeWindow() const { return native_.get(); }

  private:
    uint32_t flags_ = 0;
    int32_t zoomWidth_ = 0;
    int32_t zoomHeight_ = 0;
    std::unique_ptr<NativeWindow> native_;
    WindowSystem* system_ = nullptr;  // not owned; set by Create
    Rect windowRect_;
    int32_t minWidth_ = 0;
    int32_t minHeight_ = 0;
    int32_t maxWidth_ = 0;
    int32_t maxHeight_ = 0;
    std::map<int32_t, uint32_t> commandMap_;
};

}  // namespace quil
