#include "platform/linux/DefaultBrowser.h"

#include <gio/gio.h>
#include <spawn.h>
#include <sys/types.h>

extern char** environ;

namespace quil {

namespace {

// The child watch reaps the process; nothing else is to be done.
void Reaped(GPid pid, gint, gpointer) {
    g_spawn_close_pid(pid);
}

void SpawnXdgOpen(const std::string& url) {
    std::string program = "xdg-open";
    std::string argument = url;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0)
        return;
    g_child_watch_add(pid, Reaped, nullptr);
}

}  // namespace

void OpenInDefaultBrowser(const std::string& url) {
    // A URL with a zero byte inside would reach the browser cut short.
    if (url.empty() || url.find('\0') != std::string::npos)
        return;
    GError* error = nullptr;
    if (g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error))
        return;
    g_clear_error(&error);
    SpawnXdgOpen(url);
}

}  // namespace quil
