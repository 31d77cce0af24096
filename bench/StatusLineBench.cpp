// Rasterising and resolving one status line, as the window does whenever a
// status text changes.
#include <benchmark/benchmark.h>

#include "gfx/Mask.h"
#include "gfx/RenderText.h"
#include "gfx/TrueTypeFont.h"

namespace {

const char* const kFont = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";

void BM_StatusLineIntoMask(benchmark::State& state) {
    quil::TrueTypeFont font;
    if (font.Load(kFont) != 0) {
        state.SkipWithError("Liberation Sans is not installed");
        return;
    }
    // Status line 1 of a 200-pixel window: frame {40, 13, 167, 31}, 14 px,
    // baseline three pixels above the frame's bottom, ellipsis on.
    const quil::Rect frame{40, 13, 167, 31};
    quil::Mask cache;
    cache.SetBounds(frame);
    quil::TextStyle style;
    style.font = &font;
    style.m0 = style.m3 = 14;
    style.originX = 40;
    style.originY = 28;
    style.flags = quil::kTextEllipsis;
    for (auto _ : state) {
        quil::RenderText(cache, frame, "Identifying song...", style, frame);
        benchmark::DoNotOptimize(*cache.At(60, 20));
    }
}
BENCHMARK(BM_StatusLineIntoMask);

}  // namespace
