#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quil {

// What the settings dialog is made of: its texts (UTF-8) and the command
// codes its controls deliver.
struct SettingsDialogLayout {
    std::string title;
    std::string listLabel;   // before the drop-down list
    std::string buttonText;  // the push button after it
    // Delivered for every user action on the list: a new selection, and also
    // opening and closing it without a change.
    uint32_t listCode = 0;
    uint32_t buttonCode = 0;
    // Delivered by the close box and the Escape key; the dialog stays as it
    // is, the listener decides whether to hide it.
    uint32_t closeCode = 0;
};

// Receives the dialog's commands, on the main thread.
class SettingsDialogListener {
  public:
    virtual ~SettingsDialogListener() = default;
    // Answers whether the code was handled.
    virtual bool command(uint32_t code, uint32_t argument) = 0;
};

// A small modeless top-level dialog with one row: a label, a drop-down list
// of texts and a push button. Made by WindowSystem, hidden at first;
// destroying the object destroys the native dialog. Main thread only.
// Changes made through this interface never deliver commands.
class SettingsDialogWindow {
  public:
    virtual ~SettingsDialogWindow() = default;

    // Shows the dialog in its normal state (not minimised) above the
    // other windows.
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual bool IsVisible() const = 0;

    // Replaces the list's entries, selects entry `selected` (-1: none) and
    // enables or disables the list.
    virtual void SetItems(const std::vector<std::string>& items, int32_t selected,
                          bool enabled) = 0;
    virtual std::vector<std::string> Items() const = 0;
    // The selected entry's index, -1 when none is.
    virtual int32_t SelectedItem() const = 0;
    virtual bool ListEnabled() const = 0;
};

}  // namespace quil
