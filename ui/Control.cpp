#include "ui/Control.h"

#include "ui/WindowOwner.h"

namespace quil {

Control::Control(WindowOwner* owner, uint32_t command) : owner_(owner), command_(command) {}

void Control::setOwner(WindowOwner* owner) {
    owner_ = owner;
}
void Control::setCommand(uint32_t code) {
    command_ = code;
}
bool Control::fire() {
    return owner_ ? owner_->command(command_, 0) : false;
}
void Control::setEnabled(bool enabled) {
    enabled_ = enabled;
}
void Control::setVisible(bool visible) {
    visible_ = visible;
}
bool Control::isEnabled() const {
    return enabled_;
}
bool Control::isVisible() const {
    return visible_;
}
bool Control::hitTest(int32_t, int32_t) const {
    return false;
}
bool Control::mouseDown(int32_t, int32_t) {
    return false;
}
bool Control::mouseUp(int32_t, int32_t) {
    return false;
}
void Control::mouseDragged(int32_t, int32_t) {}
void Control::pressCancelled() {}
void Control::setHover(bool) {}
void Control::notify(int32_t) {}

}  // namespace quil
