// The application's commands: buttons, the popup menu and the window's
// close request deliver them here.
#include "app/Application.h"

namespace quil {

bool Application::command(uint32_t code, uint32_t) {
    switch (code) {
        case CommandCode("FIND"):
            // Starts an identification run once the run exists; nothing yet.
            return true;
        case CommandCode("STOP"):
            ShowIdleState();
            return true;
        case CommandCode("LINK"):
        case CommandCode("TWWW"):
            // Open a page in the browser once result links exist; nothing yet.
            return true;
        case CommandCode("pref"):
            // A dialog that cannot be made leaves nothing to show.
            if (system_)
                inputSettings_.ShowInputSettings(*system_);
            return true;
        case CommandCode("quit"):
        case CommandCode("clos"):
            if (system_)
                system_->PostQuit(0);
            return true;
        case CommandCode("mini"):
            Minimize();
            return true;
        case CommandCode("zoom"):
            ToggleZoom();
            return true;
        default:
            return false;
    }
}

bool Application::rightMouseDown(int32_t x, int32_t y, int32_t, int32_t) {
    NativeWindow* native = nativeWindow();
    if (!native)
        return true;
    // Built for this opening only; the menu runs its own loop, without the
    // window lock, so that the tickers keep drawing meanwhile.
    const std::vector<MenuItem> items = {
        {"Visit Harkbox Website", CommandCode("TWWW"), false},
        {"Settings...", CommandCode("pref"), false},
        {"", 0, true},
        {"Minimize", CommandCode("mini"), false},
        {"Adjust Window", CommandCode("zoom"), false},
        {"Close", CommandCode("quit"), false},
    };
    const uint32_t chosen = native->PopupMenu(items, x, y);
    if (chosen != 0)
        command(chosen, 0);
    return true;
}

}  // namespace quil
