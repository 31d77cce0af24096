#include "platform/headless/HeadlessSettingsDialog.h"

namespace quil {

void HeadlessSettingsDialog::Show() {
    visible_ = true;
    ++shows_;
}

void HeadlessSettingsDialog::SetItems(const std::vector<std::string>& items, int32_t selected,
                                      bool enabled) {
    items_ = items;
    selected_ = selected >= 0 && size_t(selected) < items.size() ? selected : -1;
    enabled_ = enabled;
    ++fills_;
}

bool HeadlessSettingsDialog::Choose(int32_t index) {
    if (!enabled_ || index < 0 || size_t(index) >= items_.size())
        return false;
    selected_ = index;
    return listener_.command(layout_.listCode, 0);
}

}  // namespace quil
