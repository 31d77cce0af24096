#pragma once

#include <cstdint>
#include <memory>

#include "platform/NativeWindow.h"
#include "platform/NativeWindowListener.h"
#include "platform/Rect.h"
#include "platform/SettingsDialogWindow.h"

namespace quil {

// Creation flags of a native window.
enum WindowFlags : uint32_t {
    kWindowCaption = 0x1,
    kWindowSystemMenu = 0x2,
    kWindowSystemMenuToo = 0x4,
    kWindowMinimizeBox = 0x8,
    kWindowMaximizeBox = 0x20,
    kWindowSizingBorder = 0x40,
    kWindowLayered = 0x100,      // per-pixel alpha presentation where available
    kWindowCustomFrame = 0x200,  // no system frame: the whole window is client area
    kWindowRectIsClient = 0x10000,
    kWindowClampToWorkArea = 0x20000,
};

// The windowing system behind the toolkit: a few functions wide, so that a
// new platform is one more implementation (GTK on Linux; a headless one for
// tests that need no display).
class WindowSystem {
  public:
    virtual ~WindowSystem() = default;

    // Creates a hidden top-level window at `rect` (screen pixels) that
    // reports to `listener`, which must outlive it. On failure answers null
    // and sets `error` to a non-zero code.
    virtual std::unique_ptr<NativeWindow> CreateNativeWindow(const Rect& rect, uint32_t flags,
                                                             NativeWindowListener& listener,
                                                             int& error) = 0;
    // Creates the hidden settings dialog described by `layout`, reporting
    // to `listener`, which must outlive it. On failure answers null and sets
    // `error` to a non-zero code.
    virtual std::unique_ptr<SettingsDialogWindow> CreateSettingsDialog(
        const SettingsDialogLayout& layout, SettingsDialogListener& listener, int& error) = 0;
    // The work area of the monitor nearest to `rect` (screen pixels).
    virtual Rect WorkAreaFor(const Rect& rect) = 0;
    // True when windows can show per-pixel alpha on this display.
    virtual bool LayeredAvailable() = 0;
    // Runs the main loop on the calling thread until PostQuit; answers the
    // exit code given there.
    virtual int RunMainLoop() = 0;
    // Any thread: ends RunMainLoop with `exitCode`.
    virtual void PostQuit(int exitCode) = 0;
};

}  // namespace quil
