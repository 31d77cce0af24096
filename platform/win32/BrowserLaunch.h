#pragma once

#include <string>

#include "platform/ProcessStarter.h"

namespace quil {

// Opens a URL in the browser registered for "http": the default value of
// HKEY_CLASSES_ROOT\http\shell\open\command names the program; only its
// path is used, started with two arguments, the registered path as it
// stands and the URL in double quotes. Main thread.
class BrowserLaunch {
  public:
    // The program path and the first argument taken from a registered
    // command: a command that begins with a double quote gives the text up
    // to the next one as the path and the text through that quote as the
    // argument; any other is cut at its first space, and that text is both.
    // False for a quote that is never closed.
    static bool Split(const std::string& command, std::string& path, std::string& firstArgument);

    // Starts the registered browser for `url`; where none is registered,
    // its registration cannot be read or split, or it does not start,
    // "explorer" (found along the search path) with the quoted URL instead.
    // True when either started.
    static bool Open(const std::string& url, ProcessStarter& processes);
};

}  // namespace quil
