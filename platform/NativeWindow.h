#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Rect.h"

namespace quil {

// One entry of a popup menu: a text item delivering `code`, or a separator.
struct MenuItem {
    std::string text;  // UTF-8
    uint32_t code = 0;
    bool separator = false;
};

// A top-level window of the windowing system, made by WindowSystem. All
// operations run on the main thread, except Present. Rectangles are screen
// pixels unless named otherwise, right and bottom exclusive, y down.
// Pixels are 32-bit premultiplied 0xAARRGGBB, rows `stride` bytes apart.
// Destroying the object destroys the native window.
class NativeWindow {
public:
    virtual ~NativeWindow() = default;

    virtual void Show(bool visible) = 0;
    virtual void Minimize() = 0;
    virtual void SetTitle(const std::string& utf8) = 0;
    // The window's rectangle on the screen, read from the system now.
    virtual Rect GetWindowRect() = 0;
    // The client area in window coordinates: (0, 0, width, height).
    virtual Rect GetClientRect() = 0;
    // Moves and sizes the window (its normal placement).
    virtual void SetWindowRect(const Rect& rect) = 0;
    // Limits for interactive resizing; all 0 means none.
    virtual void SetTrackingLimits(int32_t minWidth, int32_t minHeight, int32_t maxWidth,
                                   int32_t maxHeight) = 0;
    // Keeps mouse events coming to this window while a button is held.
    virtual void CaptureMouse() = 0;
    virtual void ReleaseMouse() = 0;
    // Shows a popup menu at window position (x, y) and waits until it
    // closes; answers the chosen item's code, 0 when nothing was chosen.
    virtual uint32_t PopupMenu(const std::vector<MenuItem>& items, int32_t x, int32_t y) = 0;
    // True when the window shows per-pixel alpha (the skin's transparent
    // corners are transparent on the desktop).
    virtual bool IsLayered() const = 0;

    // Only inside NativeWindowListener::paint: draws the whole image into
    // the client area. The pixels are read during the call only.
    virtual void PaintPixels(const uint32_t* pixels, int32_t stride, int32_t width,
                             int32_t height) = 0;
    // Any thread, with the caller's drawing lock held: the rectangles
    // (window coordinates) of the image changed and should reach the screen.
    // The backend either copies them now or asks its main loop to repaint,
    // which calls paint; it never blocks on the main thread.
    virtual void Present(const uint32_t* pixels, int32_t stride, int32_t width, int32_t height,
                         const std::vector<Rect>& rects) = 0;
};

}  // namespace quil
