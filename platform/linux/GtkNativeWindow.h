#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/NativeWindow.h"
#include "platform/NativeWindowListener.h"

namespace quil {

// A GTK top-level window (see NativeWindow for the contract).
//
// Geometry: the window is placed with north-west gravity, so its rectangle is
// the frame's top-left corner and the client size; a window with the custom
// frame flag is undecorated and the two agree. Moves and size changes are
// reported through the listener when the system reports them (configure
// events) and at once for SetWindowRect, as a synchronous move would.
//
// Mouse: GTK grabs the pointer implicitly from a press to its release, which
// is all CaptureMouse asks for, so CaptureMouse and ReleaseMouse only record
// the request. Click counts: a press is a double click (count 2) when it
// follows the previous press of the same button within the system's
// double-click time and distance and that press was not itself a double
// click; GDK's own 2- and 3-button events are ignored.
//
// Presentation: on a composited screen a window created with kWindowLayered
// gets an RGBA visual and shows the image's alpha. Otherwise the image is
// copied without alpha and, for a layered window, the window is shaped to
// the image's pixels with alpha > 0 so that transparent corners do not show
// black; the shape is recomputed on the first paint after a size change.
// The input shape follows the same pixels in both cases, so the mouse passes
// through fully transparent pixels.
class GtkNativeWindow final : public NativeWindow {
  public:
    // Creates the hidden window at `rect` (screen pixels). `composited` tells
    // whether the screen shows per-pixel alpha. Null with `error` set on
    // failure.
    static std::unique_ptr<GtkNativeWindow> Create(const Rect& rect, uint32_t flags,
                                                   bool composited, NativeWindowListener& listener,
                                                   int& error);
    ~GtkNativeWindow() override;

    void Show(bool visible) override;
    void Minimize() override;
    void SetTitle(const std::string& utf8) override;
    Rect GetWindowRect() override;
    Rect GetClientRect() override;
    void SetWindowRect(const Rect& rect) override;
    void SetTrackingLimits(int32_t minWidth, int32_t minHeight, int32_t maxWidth,
                           int32_t maxHeight) override;
    void CaptureMouse() override;
    void ReleaseMouse() override;
    uint32_t PopupMenu(const std::vector<MenuItem>& items, int32_t x, int32_t y) override;
    bool IsLayered() const override;
    void PaintPixels(const uint32_t* pixels, int32_t stride, int32_t width,
                     int32_t height) override;
    void Present(const uint32_t* pixels, int32_t stride, int32_t width, int32_t height,
                 const std::vector<Rect>& rects) override;

    struct Impl;

  private:
    explicit GtkNativeWindow(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace quil
