// render-skin: the window's skin at a given width, laid out as the main
// window places its pieces, with a row of every button state below it, over
// a mid-grey background, written as an RGBA PNG for looking at the artwork.
#include <cstdio>
#include <memory>
#include <string>

#include "data/SkinArtworkData.h"
#include "gfx/Compositing.h"
#include "gfx/Skin.h"
#include "tools/harkbox-tool/PngFile.h"
#include "tools/harkbox-tool/ToolCommands.h"

namespace quil::tool {

namespace {

constexpr int32_t kMinWidth = 200;
constexpr int32_t kMaxWidth = 400;
constexpr int32_t kWindowHeight = 66;
constexpr int32_t kMargin = 8;
constexpr int32_t kGap = 6;
constexpr uint32_t kBackground = 0xFF808080;

[[noreturn]] void Fail(const std::string& message) {
    FailCommand("render-skin", message);
}

// Composes `src` whole over `dst` with its top left at (x, y).
void Put(Image& dst, const Image& src, int32_t x, int32_t y) {
    overImage(dst, dst.bounds(), Point{x, y}, src, src.bounds(), Point{0, 0});
}

// The window's picture at width w, in window coordinates, drawn as its
// views paint: the ends and the middle stretch are copied, buttons and the
// grip are composed over them; the rest stays transparent.
void DrawWindow(Image& window, const Skin& skin, const SkinArtwork& art, int32_t w) {
    const int32_t h = kWindowHeight;
    const Rect all = window.bounds();
    fillRect(window, all, 0);
    copyImage(window, all, Point{0, 0}, skin.leftEnd(), skin.leftEnd().bounds(), Point{0, 0});
    tiledCopyImage(window, Rect{24, 0, w - 24, h}, Point{24, 0}, skin.rightEnd(), Rect{0, 0, 1, h},
                   Point{0, 0});
    copyImage(window, all, Point{w - 24, 0}, skin.rightEnd(), skin.rightEnd().bounds(),
              Point{0, 0});
    Put(window, skin.close(Skin::kFaint), w - 18, 8);
    Put(window, skin.zoom(Skin::kFaint), w - 27, 8);
    Put(window, skin.minimize(Skin::kFaint), w - 36, 8);
    Put(window, art.identifyButton[2], 10, (h - 24) / 2);
    Put(window, art.linkButtonLight, w - 24, (h - 12) / 2);
    overImage(window, Rect{w - 22, h - 22, w - 6, h - 6}, Point{w - 6, h - 6}, art.resizeGrip,
              Rect{0, 0, 16, 16}, Point{16, 16});
}

void Run(int32_t width, const std::string& out) {
    if (width < kMinWidth || width > kMaxWidth) {
        Fail("bad width " + std::to_string(width) + ": the window is " + std::to_string(kMinWidth) +
             " to " + std::to_string(kMaxWidth) + " pixels wide");
    }
    // The artwork's grids wrap read-only data; reading it through a const
    // view keeps every access on the read-only path.
    SkinArtwork loaded;
    if (!LoadSkinArtwork(loaded))
        Fail("the embedded skin images are damaged");
    const SkinArtwork& art = loaded;
    auto skin = std::make_unique<Skin>();
    if (!skin->Build(art, Skin::kBackgroundColour, Skin::kBackgroundOpacity,
                     Skin::kControlColour)) {
        Fail("out of memory for the skin");
    }

    Image window;
    if (!window.SetBounds(Rect{0, 0, width, kWindowHeight}))
        Fail("out of memory");
    DrawWindow(window, *skin, art, width);

    // Below the window: the two buttons' three states (pressed, disabled,
    // normal), then the link button's two looks and each window button at
    // faint, full and half strength.
    const int32_t rowTop = kMargin + kWindowHeight + kMargin;
    const int32_t glyphTop = rowTop + 24 + kGap;
    Image canvas;
    if (!canvas.SetBounds(Rect{0, 0, width + 2 * kMargin, glyphTop + 12 + kMargin})) {
        Fail("out of memory");
    }
    canvas.Fill(kBackground);
    Put(canvas, window, kMargin, kMargin);
    int32_t x = kMargin;
    for (const Image* button :
         {&art.identifyButton[0], &art.identifyButton[1], &art.identifyButton[2],
          &art.stopButton[0], &art.stopButton[1], &art.stopButton[2]}) {
        Put(canvas, *button, x, rowTop);
        x += 24 + kGap;
    }
    x = kMargin;
    for (const Image* link : {&art.linkButtonDark, &art.linkButtonLight}) {
        Put(canvas, *link, x, glyphTop);
        x += 12 + kGap;
    }
    for (auto glyph : {&Skin::close, &Skin::zoom, &Skin::minimize}) {
        for (Skin::Strength s : {Skin::kFaint, Skin::kFull, Skin::kHalf}) {
            Put(canvas, ((*skin).*glyph)(s), x, glyphTop + 2);
            x += 8 + 3;
        }
        x += kGap;
    }
    if (!WriteRgbaPng(out, canvas))
        Fail("cannot write " + out);
}

}  // namespace

void AddRenderSkinCommand(CLI::App& app) {
    auto width = std::make_shared<int32_t>(kMaxWidth);
    auto out = std::make_shared<std::string>();
    CLI::App* cmd = app.add_subcommand(
        "render-skin", "Draw the window skin and every button state into an RGBA PNG");
    cmd->add_option("--width", *width, "window width in pixels, 200 to 400")->required();
    cmd->add_option("--out", *out, "PNG file to write")->required();
    cmd->callback([width, out] { Run(*width, *out); });
}

}  // namespace quil::tool
