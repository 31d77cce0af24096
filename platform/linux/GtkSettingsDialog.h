#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/SettingsDialogWindow.h"

namespace quil {

// The settings dialog on GTK 3: a fixed-size top-level window centred on the
// screen, with the label, the drop-down list and the button in one row.
//
// The list's command follows a selection by the user and also the closing
// of its drop-down without a change; the two come together when an entry is
// picked from the drop-down, so they are gathered into one command delivered
// from the main loop when it is next idle. The close box and Escape deliver
// the close command and leave the window as it is.
class GtkSettingsDialog final : public SettingsDialogWindow {
  public:
    // Null with `error` set when the window cannot be made.
    static std::unique_ptr<GtkSettingsDialog> Create(const SettingsDialogLayout& layout,
                                                     SettingsDialogListener& listener, int& error);
    ~GtkSettingsDialog() override;

    void Show() override;
    void Hide() override;
    bool IsVisible() const override;
    // Texts that are not valid UTF-8 are shown with replacement characters;
    // Items answers them as given.
    void SetItems(const std::vector<std::string>& items, int32_t selected, bool enabled) override;
    std::vector<std::string> Items() const override;
    int32_t SelectedItem() const override;
    bool ListEnabled() const override;

    struct Impl;

  private:
    explicit GtkSettingsDialog(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace quil
