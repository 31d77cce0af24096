#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

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
    // Any thread, never blocking: `task` runs once on the main loop's thread,
    // after the tasks posted before it. A task still queued when the loop
    // ends may never run, so it must not rely on running.
    virtual void Post(std::function<void()> task) = 0;
    // Main thread: from now on a request of the session or the terminal to
    // end the program (SIGTERM, SIGINT on Linux) runs `handler` once per
    // request on the main loop's thread instead of killing the process; a
    // request made before RunMainLoop waits for it. An empty handler gives
    // the system's default (the process ends at once) back.
    virtual void SetEndRequestHandler(std::function<void()> handler) = 0;
    // Main thread: hands `url` to the desktop's own handler for its scheme
    // (the default browser), which opens it in a process of its own that
    // the program neither waits for nor hears from again. False when the
    // desktop has no handler or it failed to start.
    virtual bool OpenUrl(const std::string& url) = 0;
};

}  // namespace quil
