#pragma once

#include <cstdint>

namespace quil {

// What a native window reports about itself, always on the main thread.
// The toolkit's WindowEvents implements it. Every operation answers whether
// it handled the event; an unhandled event gets the platform's default
// behaviour. Window coordinates are pixels relative to the window's top-left
// corner (the whole window is client area), screen coordinates are absolute;
// x grows right, y grows down.
class NativeWindowListener {
  public:
    virtual ~NativeWindowListener() = default;

    virtual bool sizeChanged(int32_t width, int32_t height) = 0;
    // New screen position of the window's top-left corner.
    virtual bool moved(int32_t x, int32_t y) = 0;
    // The window must be drawn now: the listener hands its whole image to
    // NativeWindow::PaintPixels before it returns.
    virtual bool paint() = 0;
    // clickCount is 1, or 2 for the second press of a double click.
    virtual bool mouseDown(int32_t x, int32_t y, int32_t clickCount, int32_t reserved) = 0;
    virtual bool mouseUp(int32_t x, int32_t y) = 0;
    virtual bool rightMouseDown(int32_t x, int32_t y, int32_t clickCount, int32_t reserved) = 0;
    virtual bool rightMouseUp(int32_t x, int32_t y) = 0;
    virtual bool mouseMoved(int32_t x, int32_t y) = 0;
    // The mouse capture ended without a release: another grab took the
    // pointer, or the window lost the focus. A press in progress will see
    // no release. The default ignores it.
    virtual bool captureLost() { return false; }
    // A four-character command: 'clos' for a close request, 104 for the
    // accelerator keys.
    virtual bool command(uint32_t code, uint32_t argument) = 0;
    // The hit test of a left press, asked in this order: a resize area starts
    // a native resize of the right edge, a client area delivers mouseDown, a
    // caption area starts a native move of the window.
    virtual bool isResizeArea(int32_t screenX, int32_t screenY) = 0;
    virtual bool isClientArea(int32_t screenX, int32_t screenY) = 0;
    virtual bool isCaptionArea(int32_t screenX, int32_t screenY) = 0;
};

}  // namespace quil
