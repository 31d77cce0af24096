#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/NativeWindow.h"
#include "platform/NativeWindowListener.h"

namespace quil {

// A top-level window of the class "quil::WindowEvents" (see NativeWindow for
// the contract), registered once per process.
//
// Messages become listener calls on the thread that created the window: a
// custom frame answers WM_NCCALCSIZE so that the whole window is client
// area and WM_NCHITTEST from the listener's areas (resize: the right edge;
// client; caption), so a press the listener declines on the edge or the
// caption starts the system's own sizing or moving. WM_CLOSE is the command
// 'clos' and never destroys the window; WM_COMMAND (menus, accelerators) is
// the command with the identifier's low word. A capture that another window
// takes away is reported as captureLost.
//
// Presentation: a window created with kWindowLayered is layered: Present
// copies the whole image into a bitmap section of the window and the main
// thread hands it to UpdateLayeredWindow with per-pixel alpha. Otherwise
// Present asks the main thread to repaint, and paint copies the image with
// SetDIBitsToDevice (alpha ignored).
class Win32NativeWindow final : public NativeWindow {
  public:
    // Creates the hidden window at `rect` (screen pixels). Null with `error`
    // set (GetLastError's number, or EINVAL for an empty rectangle).
    static std::unique_ptr<Win32NativeWindow> Create(const Rect& rect, uint32_t flags,
                                                     NativeWindowListener& listener, int& error);
    ~Win32NativeWindow() override;

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
    // TrackPopupMenu at the window position, returning the chosen code.
    uint32_t PopupMenu(const std::vector<MenuItem>& items, int32_t x, int32_t y) override;
    bool IsLayered() const override;
    void PaintPixels(const uint32_t* pixels, int32_t stride, int32_t width,
                     int32_t height) override;
    void Present(const uint32_t* pixels, int32_t stride, int32_t width, int32_t height,
                 const std::vector<Rect>& rects) override;

    struct Impl;

  private:
    explicit Win32NativeWindow(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace quil
