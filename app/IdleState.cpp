// The ready and no-input states and the width the status texts need.
#include <algorithm>
#include <cmath>

#include "app/Application.h"

namespace quil {

bool Application::InputOpen() const {
    return capture_ && capture_->open;
}

void Application::ShowIdleState() {
    // Stops are requested before the lock is taken; nothing waits for them.
    runWorkers_.RequestStop();
    statusTickers_.RequestStop();
    LockGuard hold(*this);
    if (!viewsBuilt_)
        return;
    ShowFindLook();
    link_->setVisible(false);
    const bool open = InputOpen();
    find_->setEnabled(open);
    lines_[0]->setText(open ? "Harkbox ready" : "No sound input");
    lines_[1]->setText(open ? "Click to identify song" : "Check preferences");
    lines_[2]->setText("");
    update();
    FitWidthToStatus();
}

void Application::FitWidthToStatus() {
    LockGuard hold(*this);
    if (!viewsBuilt_)
        return;
    int64_t zoom = kMinWidth;
    for (const auto& line : lines_) {
        const Rect& frame = line->frame();
        const float advance = line->MeasureText();
        const int64_t text = std::isfinite(advance) ? static_cast<int64_t>(advance) : 0;
        zoom = std::max(zoom, int64_t{width_} + frame.left + text - frame.right + 1);
    }
    // No stored width can exceed the tracking limits' range of int32.
    SetZoomSize(static_cast<int32_t>(std::min<int64_t>(zoom, INT32_MAX)), height_);
}

}  // namespace quil
