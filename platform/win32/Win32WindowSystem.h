#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <windows.h>

#include "platform/ProcessStarter.h"
#include "platform/WindowSystem.h"

namespace quil {

// The Win32 windowing system: windows of the class "quil::WindowEvents"
// (Win32NativeWindow), the settings dialog, monitor work areas, and the
// message loop of the thread that opened it, which also translates the
// keyboard accelerators of the program's resource 109 (when it has one).
// Posted tasks and the quit request travel through a hidden message-only
// window, so that they are delivered during the modal loops of menus and of
// sizing and moving too.
class Win32WindowSystem final : public WindowSystem {
  public:
    // Null when the helper window cannot be made.
    static std::unique_ptr<Win32WindowSystem> Open();
    ~Win32WindowSystem() override;

    std::unique_ptr<NativeWindow> CreateNativeWindow(const Rect& rect, uint32_t flags,
                                                     NativeWindowListener& listener,
                                                     int& error) override;
    std::unique_ptr<SettingsDialogWindow> CreateSettingsDialog(const SettingsDialogLayout& layout,
                                                               SettingsDialogListener& listener,
                                                               int& error) override;
    // MonitorFromRect's nearest monitor.
    Rect WorkAreaFor(const Rect& rect) override;
    // Layered windows exist on every system this program runs on.
    bool LayeredAvailable() override { return true; }
    int RunMainLoop() override;
    void PostQuit(int exitCode) override;
    void Post(std::function<void()> task) override;
    // A window program has no console, so no Ctrl-C reaches it; Windows asks
    // it to end by closing its windows (the main window's close, as a task
    // manager does) and by ending the user's session. The session's
    // WM_ENDSESSION reaches top-level windows only, and the process may be
    // ended as soon as it is answered: a hidden window on a thread of its
    // own receives it, queues the handler's call for the main loop and
    // answers once this object is destroyed (the program's state stored by
    // then), or after five seconds. Without a handler it answers at once.
    void SetEndRequestHandler(std::function<void()> handler) override;
    // The browser registered for "http" (BrowserLaunch), else explorer.
    bool OpenUrl(const std::string& url) override;

  private:
    Win32WindowSystem() = default;
    static LRESULT CALLBACK HelperProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    void RunTasks();
    static LRESULT CALLBACK SessionProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);
    // The session thread: its window's messages until WM_QUIT; its id (0
    // when the window cannot be made) goes to `started`.
    void RunSession(std::promise<DWORD>& started);

    HWND helper_ = nullptr;
    HACCEL accelerators_ = nullptr;
    std::unique_ptr<ProcessStarter> processes_;
    std::mutex mutex_;  // guards the queue
    std::deque<std::function<void()>> tasks_;
    std::function<void()> endRequest_;   // main thread only
    std::atomic<bool> awaitEnd_{false};  // a handler is set
    std::thread session_;                // started with the first handler
    DWORD sessionThread_ = 0;            // its id, 0 without its window
    HANDLE ended_ = nullptr;             // manual-reset event: the destructor ran
};

}  // namespace quil
