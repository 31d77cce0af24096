#pragma once

#include <string>

namespace quil {

// The name of the locale the user reads messages in, such as
// "en_GB.UTF-8": the first of LC_ALL, LC_MESSAGES and LANG that is set and
// not empty; empty when none is. Read anew at each call. Any thread.
std::string UserLocaleName();

}  // namespace quil
