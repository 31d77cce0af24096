#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "gfx/Mask.h"

namespace quil {

// The live input display: a band two pixels thick that follows the newest
// samples, drawn 25 times a second and shown only when its pixels change
// (silence draws the same flat band every time). The drawing is here; the
// thread that runs it is the application's.
class WaveformTicker {
  public:
    // Milliseconds between passes.
    static constexpr int32_t kPeriodMs = 40;
    // After this many passes in a row that changed nothing (silence, no
    // device), passes come every kQuietPeriodMs instead: waking 25 times a
    // second costs more than anything a pass of an unchanged band does.
    static constexpr int32_t kQuietAfterPasses = 5;
    static constexpr int32_t kQuietPeriodMs = 200;
    // Samples beyond the mask width, searched for the trigger.
    static constexpr int32_t kTriggerSpan = 50;
    // Every fourth sample is shown.
    static constexpr int32_t kStep = 4;

    // Writes the `count` newest samples, taking every `step`-th one, oldest
    // first, as floats in -1 … 1 into `out`; answers 0, or non-zero when
    // nothing could be read (the pass then shows silence). The capture
    // stream's Peek has this form.
    using Fetch = std::function<int(int32_t count, float* out, int32_t step)>;

    // The first index i in 1 … kTriggerSpan - 1 with samples[i - 1] < 0 and
    // samples[i] >= 0 (a rising zero crossing), else kTriggerSpan. `samples`
    // holds at least kTriggerSpan values.
    static size_t TriggerIndex(const float* samples);

    // Fills `samples` (width + kTriggerSpan values) from `fetch`, or with
    // zeros when there is no fetch or it fails.
    static void FetchSamples(const Fetch& fetch, std::vector<float>& samples);

    // Clears `mask` and fills the band over its whole bounds (mask pixels,
    // y down): for k = 0 … W - 1, y(k) = (1 - samples[i + k]) × (H - 3) / 2
    // with i the trigger index, the band running from y(k) - 1 to y(k) + 1.
    // `samples` holds W + kTriggerSpan values; W and H are the mask's size.
    static void DrawBand(Mask& mask, const std::vector<float>& samples);

    // Draws the band for `samples` (width + kTriggerSpan values, W being
    // the width of `shown`) into `shown` when that changes its pixels;
    // answers whether it did. Samples equal to the last drawn ones over a
    // mask that still shows that band are not drawn again. One thread at a
    // time (the application's, under the window lock).
    bool Redraw(Mask& shown, const std::vector<float>& samples);

    // Milliseconds to wait before the next pass after `unchangedPasses`
    // passes in a row that changed nothing.
    static int32_t PeriodMs(int32_t unchangedPasses);

  private:
    // The band last drawn and the samples it was drawn from.
    Mask drawn_;
    std::vector<float> drawnSamples_;
};

}  // namespace quil
