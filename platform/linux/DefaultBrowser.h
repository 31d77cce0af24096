#pragma once

#include <string>

namespace quil {

// Opens `url` in the desktop's default browser: the handler GIO knows for
// the URL's scheme, else "xdg-open URL" found along PATH. The browser runs
// as a process of its own: never through a shell, never waited for; GLib's
// main loop reaps xdg-open when it ends. Failures are ignored. Main thread,
// with the GLib main loop of GtkWindowSystem.
void OpenInDefaultBrowser(const std::string& url);

}  // namespace quil
