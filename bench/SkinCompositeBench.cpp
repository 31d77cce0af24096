// One full repaint of the main window at its widest: every view drawn into
// the 400 x 66 window image in paint order, the status lines from their
// cached coverage masks.
#include <benchmark/benchmark.h>

#include <memory>

#include "data/SkinArtworkData.h"
#include "gfx/Compositing.h"
#include "gfx/RenderText.h"
#include "gfx/Skin.h"
#include "gfx/TrueTypeFont.h"

namespace {

const char* const kFont = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";

void Put(quil::Image& dst, const quil::Rect& clip, const quil::Image& src, int32_t x, int32_t y) {
    quil::overImage(dst, clip, quil::Point{x, y}, src, src.bounds(), quil::Point{0, 0});
}

void BM_FullWindowComposite(benchmark::State& state) {
    constexpr int32_t w = 400;
    constexpr int32_t h = 66;
    quil::SkinArtwork loaded;
    auto skin = std::make_unique<quil::Skin>();
    quil::TrueTypeFont font;
    if (!quil::LoadSkinArtwork(loaded) ||
        !skin->Build(loaded, quil::Skin::kBackgroundColour, quil::Skin::kBackgroundOpacity,
                     quil::Skin::kControlColour) ||
        font.Load(kFont) != 0) {
        state.SkipWithError("skin or font missing");
        return;
    }
    const quil::SkinArtwork& art = loaded;

    // The three status lines' caches, rendered once as the text views do.
    struct Line {
        quil::Rect frame;
        float size;
        const char* text;
        quil::Mask cache;
    } lines[3] = {
        {{40, 13, w - 33, 31}, 14, "Identifying song...", {}},
        {{40, 31, w - 33, 46}, 12, "Please wait", {}},
        {{40, 46, w - 33, 59}, 10, "Listening to the input", {}},
    };
    for (Line& line : lines) {
        line.cache.SetBounds(line.frame);
        quil::TextStyle style;
        style.font = &font;
        style.m0 = style.m3 = line.size;
        style.originX = 40;
        style.originY = static_cast<float>(line.frame.bottom - 3);
        style.flags = quil::kTextEllipsis;
        quil::RenderText(line.cache, line.frame, line.text, style, line.frame);
    }

    quil::Image window;
    window.SetBounds(quil::Rect{0, 0, w, h});
    const quil::Rect all = window.bounds();
    for (auto _ : state) {
        quil::fillRect(window, all, 0);
        quil::copyImage(window, all, {0, 0}, skin->leftEnd(), skin->leftEnd().bounds(), {0, 0});
        quil::tiledCopyImage(window, quil::Rect{24, 0, w - 24, h}, {24, 0}, skin->rightEnd(),
                             quil::Rect{0, 0, 1, h}, {0, 0});
        quil::copyImage(window, all, {w - 24, 0}, skin->rightEnd(), skin->rightEnd().bounds(),
                        {0, 0});
        Put(window, all, skin->close(quil::Skin::kFaint), w - 18, 8);
        Put(window, all, skin->zoom(quil::Skin::kFaint), w - 27, 8);
        Put(window, all, skin->minimize(quil::Skin::kFaint), w - 36, 8);
        Put(window, all, art.identifyButton[2], 10, 21);
        Put(window, all, art.linkButtonLight, w - 24, 27);
        for (const Line& line : lines) {
            quil::overMaskColour(window, line.frame, {0, 0}, line.cache, line.frame, {0, 0},
                                 0xFFFFFFFF);
        }
        quil::overImage(window, quil::Rect{w - 22, h - 22, w - 6, h - 6}, {w - 6, h - 6},
                        art.resizeGrip, quil::Rect{0, 0, 16, 16}, {16, 16});
        benchmark::DoNotOptimize(*window.At(200, 33));
    }
}
BENCHMARK(BM_FullWindowComposite);

}  // namespace
