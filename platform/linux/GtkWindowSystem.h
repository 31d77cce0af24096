#pragma once

#include <memory>

#include "platform/WindowSystem.h"

namespace quil {

// The GTK 3 windowing system. X11 is preferred (also under Wayland, through
// XWayland), because only there do windows go exactly where they are told,
// which the stored window origin needs. The main loop is GLib's default
// context on the thread that opened the system.
class GtkWindowSystem final : public WindowSystem {
  public:
    // Initialises GTK; null when no display can be opened.
    static std::unique_ptr<GtkWindowSystem> Open(int& argc, char**& argv);
    ~GtkWindowSystem() override;

    std::unique_ptr<NativeWindow> CreateNativeWindow(const Rect& rect, uint32_t flags,
                                                     NativeWindowListener& listener,
                                                     int& error) override;
    std::unique_ptr<SettingsDialogWindow> CreateSettingsDialog(const SettingsDialogLayout& layout,
                                                               SettingsDialogListener& listener,
                                                               int& error) override;
    Rect WorkAreaFor(const Rect& rect) override;
    bool LayeredAvailable() override;
    int RunMainLoop() override;
    void PostQuit(int exitCode) override;
    // An idle source of the default main context runs the task.
    void Post(std::function<void()> task) override;
    // GLib's Unix signal sources: the signal handler only wakes the main
    // context, and the handler runs there. A signal ignored at start-up
    // (SIGINT of a shell's background job) stays ignored.
    void SetEndRequestHandler(std::function<void()> handler) override;
    // GIO's default application for the URL's scheme.
    bool OpenUrl(const std::string& url) override;

  private:
    struct Impl;
    explicit GtkWindowSystem(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace quil
