#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/NativeWindow.h"
#include "platform/NativeWindowListener.h"

namespace quil {

// A native window without a display (made by HeadlessWindowSystem). It
// keeps the rectangle it is given, records what the toolkit asks of it, and
// keeps a "screen": the pixels (premultiplied 0xAARRGGBB, rows of
// screenWidth() pixels) that Present and PaintPixels put there. Test hooks
// simulate what a user and the system would do. Main thread only, except
// Present and the screen and presentation readers, which are thread-safe.
class HeadlessWindow : public NativeWindow {
  public:
    // How a left press was taken (see Press).
    enum class PressResult { kResize, kClient, kCaption, kNone };

    HeadlessWindow(const Rect& rect, uint32_t flags, bool layered, NativeWindowListener& listener);

    void Show(bool visible) override { visible_ = visible; }
    void Minimize() override { ++minimizeCount_; }
    void SetTitle(const std::string& utf8) override { title_ = utf8; }
    Rect GetWindowRect() override { return rect_; }
    Rect GetClientRect() override;
    // Takes the rectangle as given, then reports a new size and a new
    // position (in that order) to the listener when they changed.
    void SetWindowRect(const Rect& rect) override;
    void SetTrackingLimits(int32_t minWidth, int32_t minHeight, int32_t maxWidth,
                           int32_t maxHeight) override;
    void CaptureMouse() override { captured_ = true; }
    void ReleaseMouse() override { captured_ = false; }
    // Records the items and the position; answers the scripted choice.
    uint32_t PopupMenu(const std::vector<MenuItem>& items, int32_t x, int32_t y) override;
    bool IsLayered() const override { return layered_; }
    // Copies the whole image to the screen. Outside a paint it is counted
    // as a misuse and copies nothing.
    void PaintPixels(const uint32_t* pixels, int32_t stride, int32_t width,
                     int32_t height) override;
    // Copies the rectangles (clipped to the image) to the screen and logs
    // them. A screen of another size than the image is made anew, cleared.
    void Present(const uint32_t* pixels, int32_t stride, int32_t width, int32_t height,
                 const std::vector<Rect>& rects) override;

    // What the toolkit did.
    uint32_t flags() const { return flags_; }
    bool visible() const { return visible_; }
    int minimizeCount() const { return minimizeCount_; }
    const std::string& title() const { return title_; }
    bool mouseCaptured() const { return captured_; }
    // min width, min height, max width, max height.
    const int32_t* trackingLimits() const { return limits_; }
    const std::vector<MenuItem>& lastMenuItems() const { return menuItems_; }
    Point lastMenuPosition() const { return menuPosition_; }
    int menuCount() const { return menuCount_; }
    void SetPopupChoice(uint32_t code) { popupChoice_ = code; }

    // The screen; any thread.
    std::vector<uint32_t> Screen() const;
    int32_t screenWidth() const;
    int32_t screenHeight() const;
    uint32_t ScreenPixel(int32_t x, int32_t y) const;
    // The rectangle lists of every Present so far, oldest first; any thread.
    std::vector<std::vector<Rect>> Presentations() const;
    void ClearPresentations();
    int paintCount() const;
    int paintMisuseCount() const;

    // Simulations. RequestPaint asks the listener to paint now.
    bool RequestPaint();
    // A left press at screen (x, y), decided as the system would: a resize
    // area, else a client area (mouseDown with window coordinates), else a
    // caption area.
    PressResult Press(int32_t screenX, int32_t screenY, int32_t clickCount = 1);
    // The system takes the mouse capture away (another grab, a focus
    // change): the listener hears captureLost.
    void LoseCapture();
    // An interactive resize to width × height, held to the tracking limits
    // (when a maximum width is set), keeping the top-left corner.
    void ResizeInteractively(int32_t width, int32_t height);

  private:
    void CopyRect(const uint32_t* pixels, int32_t stride, int32_t width, int32_t height,
                  const Rect& rect);
    void FitScreen(int32_t width, int32_t height);

    NativeWindowListener& listener_;
    Rect rect_;
    const uint32_t flags_;
    const bool layered_;
    bool visible_ = false;
    int minimizeCount_ = 0;
    std::string title_;
    bool captured_ = false;
    int32_t limits_[4] = {0, 0, 0, 0};
    std::vector<MenuItem> menuItems_;
    Point menuPosition_;
    int menuCount_ = 0;
    uint32_t popupChoice_ = 0;
    bool painting_ = false;

    mutable std::mutex screenMutex_;  // the screen, its log and its counters
    std::vector<uint32_t> screen_;
    int32_t screenWidth_ = 0;
    int32_t screenHeight_ = 0;
    std::vector<std::vector<Rect>> presentations_;
    int paintCount_ = 0;
    int paintMisuse_ = 0;
};

}  // namespace quil
