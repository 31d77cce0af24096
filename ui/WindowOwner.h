#pragma once

#include <cstdint>

namespace quil {

// What a control knows of the window it lives in. Window implements it and
// hands itself to every control it adds.
class WindowOwner {
  public:
    // Redraws the invalid parts of the window's offscreen image and puts
    // them on the screen. Any thread; takes the window lock, then the
    // drawing mutex.
    virtual void update() = 0;
    // Delivers a four-character command (for example 'FIND') with its
    // argument to the window's own command handler; answers whether it was
    // handled.
    virtual bool command(uint32_t code, uint32_t argument) = 0;

    virtual ~WindowOwner() = default;
};

}  // namespace quil
