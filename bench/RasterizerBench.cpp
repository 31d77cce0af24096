#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "gfx/Image.h"
#include "gfx/Mask.h"
#include "gfx/Path.h"
#include "gfx/Rasterizer.h"

namespace quil {
namespace {

// A ring of two quadratic circles, about the size of a 14-pixel "o".
void AddGlyph(Path& path, float cx, float cy) {
    const double pi = std::acos(-1.0);
    for (const float radius : {4.6f, 3.1f}) {
        const double k = radius / std::cos(pi / 8);
        path.MoveTo(cx + radius, cy);
        for (int i = 0; i < 8; ++i) {
            const double mid = (i + 0.5) * pi / 4;
            const double end = (i + 1) * pi / 4;
            path.QuadTo(float(cx + k * std::cos(mid)), float(cy + k * 0.9 * std::sin(mid)),
                        float(cx + radius * std::cos(end)),
                        float(cy + radius * 0.9 * std::sin(end)));
        }
        path.Close();
    }
}

// One text line: 20 glyph-like shapes in a 200 x 18 clip, filled and
// resolved into a mask, a fresh Rasterizer per drawing as the program does.
void BM_TextLine(benchmark::State& state) {
    const Rect clip{0, 0, 200, 18};
    Path path;
    for (int i = 0; i < 20; ++i)
        AddGlyph(path, 6.3f + i * 9.4f, 9.2f);
    Mask mask;
    mask.SetBounds(clip);
    for (auto _ : state) {
        Rasterizer r(clip, 0x10000);
        r.FillPath(path);
        r.ResolveToMask(mask, clip, Point{0, 0});
        benchmark::DoNotOptimize(*mask.At(100, 9));
    }
}
BENCHMARK(BM_TextLine);

// The waveform band: 400 x 40, driven point by point and composed over an image.
void BM_WaveformBand(benchmark::State& state) {
    const Rect clip{0, 0, 400, 40};
    std::vector<int32_t> top;
    for (int i = 0; i <= 400; ++i) {
        const double amplitude = 18 * std::abs(std::sin(i * 0.37) * std::cos(i * 0.051));
        top.push_back(static_cast<int32_t>((20 - amplitude) * 65536));
    }
    Image image;
    image.SetBounds(clip);
    image.Fill(0xFF202020);
    for (auto _ : state) {
        Rasterizer r(clip, 0x10000);
        r.BeginContour();
        r.MoveTo(0, top[0]);
        for (int i = 1; i <= 400; ++i)
            r.LineTo(i * 65536, top[static_cast<size_t>(i)]);
        for (int i = 400; i >= 0; --i) {
            r.LineTo(i * 65536, 40 * 65536 - top[static_cast<size_t>(i)]);
        }
        r.LineTo(0, top[0]);
        r.CloseContour();
        r.ResolveOverImage(image, clip, Point{0, 0}, 0xFF3FA0E0);
        benchmark::DoNotOptimize(*image.At(200, 20));
    }
}
BENCHMARK(BM_WaveformBand);

}  // namespace
}  // namespace quil
