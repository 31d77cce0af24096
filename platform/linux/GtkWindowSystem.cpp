#include "platform/linux/GtkWindowSystem.h"

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>

#include <atomic>
#include <functional>
#include <utility>

#include "platform/PlatformWindowSystem.h"
#include "platform/linux/GtkNativeWindow.h"
#include "platform/linux/GtkSettingsDialog.h"

namespace quil {
namespace {

gboolean QuitLoop(gpointer loop) {
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return G_SOURCE_REMOVE;
}

void UnrefLoop(gpointer loop) {
    g_main_loop_unref(static_cast<GMainLoop*>(loop));
}

gboolean RunTask(gpointer task) {
    (*static_cast<std::function<void()>*>(task))();
    return G_SOURCE_REMOVE;
}

void DeleteTask(gpointer task) {
    delete static_cast<std::function<void()>*>(task);
}

}  // namespace

struct GtkWindowSystem::Impl {
    GMainLoop* loop = nullptr;
    std::atomic<int> exitCode{0};
    // The end request handler and its signal sources (0: none).
    std::function<void()> endRequest;
    guint endSources[2] = {0, 0};

    void RemoveEndSources() {
        for (guint& source : endSources) {
            // Removing the last source of a signal gives it its default
            // action back.
            if (source != 0)
                g_source_remove(source);
            source = 0;
        }
    }

    static gboolean EndRequested(gpointer impl) {
        // A copy: the handler may replace itself.
        const std::function<void()> handler = static_cast<Impl*>(impl)->endRequest;
        if (handler)
            handler();
        return G_SOURCE_CONTINUE;
    }
};

GtkWindowSystem::GtkWindowSystem(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

GtkWindowSystem::~GtkWindowSystem() {
    impl_->RemoveEndSources();
    g_main_loop_unref(impl_->loop);
}

std::unique_ptr<GtkWindowSystem> GtkWindowSystem::Open(int& argc, char**& argv) {
    // Only X11 places windows where they are asked to go; under Wayland the
    // session's XWayland serves.
    gdk_set_allowed_backends("x11,*");
    if (!gtk_init_check(&argc, &argv))
        return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->loop = g_main_loop_new(nullptr, FALSE);
    return std::unique_ptr<GtkWindowSystem>(new GtkWindowSystem(std::move(impl)));
}

std::unique_ptr<NativeWindow> GtkWindowSystem::CreateNativeWindow(const Rect& rect, uint32_t flags,
                                                                  NativeWindowListener& listener,
                                                                  int& error) {
    return GtkNativeWindow::Create(rect, flags, LayeredAvailable(), listener, error);
}

std::unique_ptr<SettingsDialogWindow> GtkWindowSystem::CreateSettingsDialog(
    const SettingsDialogLayout& layout, SettingsDialogListener& listener, int& error) {
    return GtkSettingsDialog::Create(layout, listener, error);
}

Rect GtkWindowSystem::WorkAreaFor(const Rect& rect) {
    GdkDisplay* display = gdk_display_get_default();
    // The monitor under the rectangle's centre, or the nearest one.
    const int x = int((int64_t{rect.left} + rect.right) / 2);
    const int y = int((int64_t{rect.top} + rect.bottom) / 2);
    GdkMonitor* monitor = display ? gdk_display_get_monitor_at_point(display, x, y) : nullptr;
    if (!monitor)
        return rect;
    GdkRectangle area{};
    gdk_monitor_get_workarea(monitor, &area);
    return Rect{area.x, area.y, area.x + area.width, area.y + area.height};
}

bool GtkWindowSystem::LayeredAvailable() {
    GdkScreen* screen = gdk_screen_get_default();
    return screen && gdk_screen_is_composited(screen) && gdk_screen_get_rgba_visual(screen);
}

int GtkWindowSystem::RunMainLoop() {
    g_main_loop_run(impl_->loop);
    return impl_->exitCode.load();
}

void GtkWindowSystem::PostQuit(int exitCode) {
    impl_->exitCode.store(exitCode);
    // Quitting from the loop's own thread, once it runs, so that a request
    // made before RunMainLoop starts is not lost.
    g_idle_add_full(G_PRIORITY_DEFAULT, QuitLoop, g_main_loop_ref(impl_->loop), UnrefLoop);
}

void GtkWindowSystem::Post(std::function<void()> task) {
    // g_idle_add is safe from any thread and wakes the loop; the source owns
    // the task and deletes it whether or not it ever ran.
    auto* owned = new std::function<void()>(std::move(task));
    g_idle_add_full(G_PRIORITY_DEFAULT, RunTask, owned, DeleteTask);
}

void GtkWindowSystem::SetEndRequestHandler(std::function<void()> handler) {
    impl_->RemoveEndSources();
    impl_->endRequest = std::move(handler);
    if (!impl_->endRequest)
        return;
    const int signals[2] = {SIGTERM, SIGINT};
    for (int i = 0; i < 2; ++i) {
        // A signal the program was started to ignore stays ignored: a
        // shell's background job must not end on the terminal's Ctrl-C.
        struct sigaction current {};
        if (sigaction(signals[i], nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
            continue;
        impl_->endSources[i] = g_unix_signal_add(signals[i], Impl::EndRequested, impl_.get());
    }
}

bool GtkWindowSystem::OpenUrl(const std::string& url) {
    // A URL with a zero byte inside would reach the browser cut short.
    if (url.empty() || url.find('\0') != std::string::npos)
        return false;
    GError* error = nullptr;
    const bool started = g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error);
    g_clear_error(&error);
    return started;
}

std::unique_ptr<WindowSystem> CreatePlatformWindowSystem(int& argc, char**& argv) {
    return GtkWindowSystem::Open(argc, argv);
}

}  // namespace quil
