#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/SettingsDialogWindow.h"

namespace quil {

// A settings dialog without a display (made by HeadlessWindowSystem): it
// keeps what it is given, counts how often the list was filled and shown,
// and has hooks that act as the user would. Main thread only.
class HeadlessSettingsDialog : public SettingsDialogWindow {
  public:
    HeadlessSettingsDialog(const SettingsDialogLayout& layout, SettingsDialogListener& listener)
        : layout_(layout), listener_(listener) {}

    void Show() override;
    void Hide() override { visible_ = false; }
    bool IsVisible() const override { return visible_; }
    void SetItems(const std::vector<std::string>& items, int32_t selected, bool enabled) override;
    std::vector<std::string> Items() const override { return items_; }
    int32_t SelectedItem() const override { return selected_; }
    bool ListEnabled() const override { return enabled_; }

    const SettingsDialogLayout& layout() const { return layout_; }
    // How many times SetItems and Show were called.
    int fillCount() const { return fills_; }
    int showCount() const { return shows_; }

    // The user picks entry `index` (the same one again, too, as opening and
    // closing the list does); nothing happens on a disabled list. Answers
    // the listener's answer, false when nothing was delivered.
    bool Choose(int32_t index);
    bool PressButton() { return listener_.command(layout_.buttonCode, 0); }
    bool PressCloseBox() { return listener_.command(layout_.closeCode, 0); }

  private:
    SettingsDialogLayout layout_;
    SettingsDialogListener& listener_;
    std::vector<std::string> items_;
    int32_t selected_ = -1;
    bool enabled_ = true;
    bool visible_ = false;
    int fills_ = 0;
    int shows_ = 0;
};

}  // namespace quil
