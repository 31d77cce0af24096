#pragma once

#include <cstdint>

namespace quil {

class WindowOwner;

// Something the mouse talks to: it answers hit tests and mouse events and,
// when activated, sends its four-character command to its owner window.
// Coordinates are window pixels (x right, y down). A control shows itself
// through views of its own. Mouse events arrive on the main thread with the
// window lock held; any other change needs the window lock too.
class Control {
  public:
    // `owner` (not owned) may be null until the window adopts the control.
    Control(WindowOwner* owner, uint32_t command);
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control() = default;

    virtual void setOwner(WindowOwner* owner);
    virtual void setCommand(uint32_t code);
    // Sends the command with argument 0 to the owner; answers its result
    // (false without an owner).
    virtual bool fire();
    virtual void setEnabled(bool enabled);
    virtual void setVisible(bool visible);
    virtual bool isEnabled() const;
    virtual bool isVisible() const;
    // Whether (x, y) lies on the control; the base says no.
    virtual bool hitTest(int32_t x, int32_t y) const;
    // The window sends these only to an enabled control that took the
    // press. They answer what the command they fired answered, else false.
    virtual bool mouseDown(int32_t x, int32_t y);
    virtual bool mouseUp(int32_t x, int32_t y);
    // The pointer moved while this control holds the mouse.
    virtual void mouseDragged(int32_t x, int32_t y);
    // The press this control took ends without a release (the system took
    // the pointer away); nothing is to fire.
    virtual void pressCancelled();
    // The pointer came over the control (true) or left it (false).
    virtual void setHover(bool hover);
    // A program-wide notification passed on by the window.
    virtual void notify(int32_t value);

    WindowOwner* owner() const { return owner_; }
    uint32_t commandCode() const { return command_; }

  protected:
    WindowOwner* owner_;
    uint32_t command_;
    bool enabled_ = true;
    bool visible_ = true;
};

}  // namespace quil
