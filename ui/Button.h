#pragma once

#include <cstdint>

#include "gfx/Image.h"
#include "ui/Control.h"
#include "ui/ImageView.h"

namespace quil {

// Bits of a button's flags.
enum ButtonFlags : uint32_t {
    kButtonFireOnPress = 0x1,  // fire on the press instead of on the release
    kButtonRectangular = 0x2,  // hit anywhere in the image, transparent pixels too
};

// A push button drawn by one of four images (not owned; premultiplied
// 0xAARRGGBB): disabled when not enabled, else pressed while pressed, else
// hover while the pointer is over it (when it has a hover image), else
// normal. It is hit only on the non-transparent pixels of the image it
// shows, unless kButtonRectangular. Without kButtonFireOnPress it fires when
// the press is released over it. Every change needs the window lock.
class Button : public Control {
  public:
    // Creates the face view in `list` with the normal image's bounds moved
    // by (x, y) (window pixels), then sets the images; null images are
    // absent. `owner` is not owned.
    Button(WindowOwner* owner, ViewList& list, uint32_t command, const Image* normal,
           const Image* pressed, const Image* disabled, const Image* hover, int32_t x, int32_t y,
           uint32_t flags);

    void setEnabled(bool enabled) override;
    void setVisible(bool visible) override;
    bool hitTest(int32_t x, int32_t y) const override;
    bool mouseDown(int32_t x, int32_t y) override;
    bool mouseUp(int32_t x, int32_t y) override;
    void mouseDragged(int32_t x, int32_t y) override;
    void pressCancelled() override;
    void setHover(bool hover) override;

    // Replaces each image given; a null argument keeps the current one.
    // Then shows the image the state calls for and updates the window.
    void setImages(const Image* normal, const Image* pressed, const Image* disabled,
                   const Image* hover);

    bool pressed() const { return pressed_; }
    bool hover() const { return hover_; }
    uint32_t flags() const { return flags_; }
    // The image on show now, null when the state's image is absent.
    const Image* currentImage() const { return face_.image(); }
    ImageView& face() { return face_; }
    const ImageView& face() const { return face_; }

  private:
    // Shows the state's image, invalidates the face and updates the window.
    void refresh();

    ImageView face_;
    bool pressed_ = false;
    bool hover_ = false;
    uint32_t flags_;
    const Image* normal_ = nullptr;
    const Image* pressedImage_ = nullptr;
    const Image* disabled_ = nullptr;
    const Image* hoverImage_ = nullptr;
};

}  // namespace quil
