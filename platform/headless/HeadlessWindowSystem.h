#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"

namespace quil {

// A window system without a display, for tests of the toolkit and the
// application: monitors are given as work areas (screen pixels), windows
// keep whatever rectangle they are given and show their pixels in a buffer
// that tests read (HeadlessWindow). The main loop runs posted tasks.
class HeadlessWindowSystem : public WindowSystem {
  public:
    // One monitor per work area; none given means one of 1920 × 1080.
    explicit HeadlessWindowSystem(std::vector<Rect> workAreas = {});
    ~HeadlessWindowSystem() override;

    // Windows are HeadlessWindows; creation fails with the code set by
    // FailNextCreate, once.
    std::unique_ptr<NativeWindow> CreateNativeWindow(const Rect& rect, uint32_t flags,
                                                     NativeWindowListener& listener,
                                                     int& error) override;
    // HeadlessSettingsDialogs; creation fails like CreateNativeWindow.
    std::unique_ptr<SettingsDialogWindow> CreateSettingsDialog(const SettingsDialogLayout& layout,
                                                               SettingsDialogListener& listener,
                                                               int& error) override;
    // The work area with the largest overlap with `rect`; when none
    // overlaps, the nearest one (by the distance between the rectangles).
    Rect WorkAreaFor(const Rect& rect) override;
    bool LayeredAvailable() override { return layered_; }
    // Runs posted tasks in order, waiting for more, until PostQuit; answers
    // its exit code. Can run again afterwards.
    int RunMainLoop() override;
    // Any thread.
    void PostQuit(int exitCode) override;

    // Any thread: queues `task` for the main loop.
    void Post(std::function<void()> task) override;
    // Keeps the handler for RequestEnd.
    void SetEndRequestHandler(std::function<void()> handler) override;
    // Any thread: what a SIGTERM does on a real display, queues the end
    // request handler's call for the main loop (nothing without a handler).
    void RequestEnd();
    // Records the URL; nothing is started. True.
    bool OpenUrl(const std::string& url) override;
    // The URLs opened so far, oldest first.
    const std::vector<std::string>& openedUrls() const { return openedUrls_; }
    // Runs the tasks queued now without waiting; answers how many ran.
    int RunPendingTasks();

    void SetWorkAreas(std::vector<Rect> workAreas);
    void SetLayeredAvailable(bool available) { layered_ = available; }
    // The next CreateNativeWindow or CreateSettingsDialog fails with `error`
    // (non-zero).
    void FailNextCreate(int error) { failNext_ = error; }
    // How many windows were created so far.
    int windowsCreated() const { return created_; }
    int settingsDialogsCreated() const { return dialogsCreated_; }

  private:
    std::vector<Rect> workAreas_;
    bool layered_ = true;
    int failNext_ = 0;
    int created_ = 0;
    std::vector<std::string> openedUrls_;
    int dialogsCreated_ = 0;

    std::mutex mutex_;  // guards the queue and the quit request
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    std::function<void()> endRequest_;
    bool quit_ = false;
    int exitCode_ = 0;
};

}  // namespace quil
