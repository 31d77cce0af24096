// The main window's steady work at its widest, 400 × 66, on the headless
// backend: one waveform ticker pass (fetch, band, flush of the waveform,
// present) and one full redraw of the window. The program's idle CPU use
// as a whole is measured by scripts/bench-idle.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "app/Application.h"
#include "platform/headless/HeadlessWindow.h"
#include "platform/headless/HeadlessWindowSystem.h"

namespace quil {
namespace {

// An application at width 400 with a scratch configuration folder (nothing
// is read from or written to the user's own).
struct WideApplication {
    WideApplication() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "harkbox-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            root = pattern;
        setenv("XDG_CONFIG_HOME", root.c_str(), 1);
        app = std::make_unique<Application>("harkbox");
        started = app->Start(system) == 0;
        if (started) {
            static_cast<HeadlessWindow*>(app->nativeWindow())->ResizeInteractively(400, 66);
        }
    }
    ~WideApplication() {
        app.reset();
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    std::string root;
    HeadlessWindowSystem system;
    std::unique_ptr<Application> app;
    bool started = false;
};

void BM_WaveformPass400(benchmark::State& state) {
    WideApplication wide;
    if (!wide.started) {
        state.SkipWithError("the application did not start");
        return;
    }
    // Live input: the signal moves on between passes, so each one draws.
    int32_t phase = 0;
    wide.app->SetWaveformSamples([&phase](int32_t count, float* out, int32_t) {
        ++phase;
        for (int32_t k = 0; k < count; ++k)
            out[k] = 0.7f * float(std::sin((k + phase) * 0.21));
        return 0;
    });
    for (auto _ : state)
        wide.app->DrawWaveformPass();
    wide.app->SetWaveformSamples({});
}
BENCHMARK(BM_WaveformPass400)->Unit(benchmark::kMicrosecond);

void BM_FullFlush400(benchmark::State& state) {
    WideApplication wide;
    if (!wide.started) {
        state.SkipWithError("the application did not start");
        return;
    }
    for (auto _ : state) {
        Window::LockGuard hold(*wide.app);
        wide.app->viewList().invalid().Set(Rect{0, 0, 400, 66});
        wide.app->update();
    }
}
BENCHMARK(BM_FullFlush400)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quil
