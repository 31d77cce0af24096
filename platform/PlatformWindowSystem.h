#pragma once

#include <memory>

#include "platform/WindowSystem.h"

namespace quil {

// The windowing system of this platform (GTK 3 on Linux, Win32 on
// Windows). Takes the toolkit's own command-line options out of argc/argv
// (Windows has none). Null when no display
// can be opened. Call once, on the thread that will run the main loop; the
// result must outlive every window made through it.
std::unique_ptr<WindowSystem> CreatePlatformWindowSystem(int& argc, char**& argv);

}  // namespace quil
