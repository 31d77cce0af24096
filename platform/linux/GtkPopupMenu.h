#pragma once

#include <cstdint>
#include <vector>

#include "platform/NativeWindow.h"

namespace quil {

// A modal popup menu on GTK, built for one opening and destroyed after it.
class GtkPopupMenu {
  public:
    // Shows `items` at (x, y) relative to `toplevel` (a GtkWindow, passed
    // untyped to keep GTK out of this header) and runs a nested main loop
    // until the menu closes. Answers the chosen item's code, 0 when the menu
    // was dismissed or could not open. Main thread only.
    static uint32_t Run(void* toplevel, const std::vector<MenuItem>& items, int32_t x, int32_t y);
};

}  // namespace quil
