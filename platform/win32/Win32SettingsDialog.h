#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/SettingsDialogWindow.h"

struct tagMSG;

namespace quil {

// The settings dialog as a modeless Win32 dialog made from a template in
// memory (dialog units): 272 × 49, centred, 8-point "MS Shell Dlg"; the label
// at (7, 15) 44 × 16, the drop-down list (control 1001) at (54, 16) 150 wide,
// the push button (control 1002) at (210, 15) 55 × 14.
//
// The list's command follows the closing of its drop-down, with or without
// a new selection, and a selection changed with the keys while it is
// closed, so that a pick from the drop-down is one command. The close box
// and Escape (IDCANCEL) deliver the close command and leave the dialog as it
// is.
class Win32SettingsDialog final : public SettingsDialogWindow {
  public:
    // Null with `error` (GetLastError's number) when the dialog cannot be made.
    static std::unique_ptr<Win32SettingsDialog> Create(const SettingsDialogLayout& layout,
                                                       SettingsDialogListener& listener,
                                                       int& error);
    ~Win32SettingsDialog() override;

    void Show() override;
    void Hide() override;
    bool IsVisible() const override;
    void SetItems(const std::vector<std::string>& items, int32_t selected, bool enabled) override;
    std::vector<std::string> Items() const override;
    int32_t SelectedItem() const override;
    bool ListEnabled() const override;

    // The main loop's hand-off of dialog keys (Tab, Enter, Escape): true
    // when `message` went to one of these dialogs.
    static bool IsDialogMessageOfAny(tagMSG* message);

    struct Impl;

  private:
    explicit Win32SettingsDialog(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace quil
