#include "app/WaveformTicker.h"

#include <algorithm>
#include <cmath>

#include "gfx/Rasterizer.h"

namespace quil {

namespace {

// The rasteriser's 16.16 fixed point; the band stays within a few pixels of
// the mask, so the product never leaves the int32 range for finite samples.
int32_t Fixed(double v) {
    if (!(v == v))
        return 0;
    v = std::clamp(v * 65536.0, -2147483648.0, 2147483647.0);
    return static_cast<int32_t>(v);
}

bool SamePixels(const Mask& a, const Mask& b) {
    const Rect& r = a.bounds();
    if (!(r == b.bounds()))
        return false;
    for (int32_t y = r.top; y < r.bottom; ++y) {
        if (!std::equal(a.At(r.left, y), a.At(r.left, y) + r.Width(), b.At(r.left, y)))
            return false;
    }
    return true;
}

}  // namespace

size_t WaveformTicker::TriggerIndex(const float* samples) {
    for (size_t i = 1; i < size_t{kTriggerSpan}; ++i) {
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f)
            return i;
    }
    return kTriggerSpan;
}

void WaveformTicker::FetchSamples(const Fetch& fetch, std::vector<float>& samples) {
    if (fetch && fetch(static_cast<int32_t>(samples.size()), samples.data(), kStep) == 0)
        return;
    // A device that fails to deliver shows as a closed one: silence.
    std::fill(samples.begin(), samples.end(), 0.0f);
}

void WaveformTicker::DrawBand(Mask& mask, const std::vector<float>& samples) {
    if (!mask.IsWritable())
        return;
    const Rect bounds = mask.bounds();
    const int64_t w = bounds.Width();
    const int64_t h = bounds.Height();
    mask.Fill(0);
    if (w <= 0 || samples.size() < size_t(w) + kTriggerSpan)
        return;
    const size_t start = TriggerIndex(samples.data());
    const double scale = double(h - 2 - 1) * 0.5;
    const auto y = [&](int64_t k) { return (1.0 - double(samples[start + size_t(k)])) * scale; };
    const auto x = [&](int64_t k) { return Fixed(double(bounds.left + k)); };
    const double top = bounds.top;

    Rasterizer raster(bounds, 0x10000);
    raster.MoveTo(x(0), Fixed(top + y(0) + 1));
    raster.BeginContour();
    for (int64_t k = 0; k < w; ++k)
        raster.LineTo(x(k), Fixed(top + y(k) - 1));
    for (int64_t k = w - 1; k >= 0; --k)
        raster.LineTo(x(k), Fixed(top + y(k) + 1));
    raster.CloseContour();
    raster.ResolveToMask(mask, bounds, Point{bounds.left, bounds.top});
}

bool WaveformTicker::Redraw(Mask& shown, const std::vector<float>& samples) {
    if (!shown.IsWritable())
        return false;
    // The same samples over the band last drawn, still shown as drawn: the
    // pixels cannot change, so the band is not even drawn (a closed device
    // delivers silence 25 times a second).
    if (samples == drawnSamples_ && SamePixels(shown, drawn_))
        return false;
    if (drawn_.bounds() != shown.bounds() || !drawn_.IsWritable()) {
        if (!drawn_.SetBounds(shown.bounds())) {
            // Without memory for the comparison the band is drawn in place.
            drawnSamples_.clear();
            DrawBand(shown, samples);
            return true;
        }
    }
    drawnSamples_ = samples;
    DrawBand(drawn_, samples);
    if (SamePixels(shown, drawn_))
        return false;
    const Rect& r = shown.bounds();
    for (int32_t y = r.top; y < r.bottom; ++y)
        std::copy_n(drawn_.At(r.left, y), r.Width(), shown.At(r.left, y));
    return true;
}

int32_t WaveformTicker::PeriodMs(int32_t unchangedPasses) {
    return unchangedPasses >= kQuietAfterPasses ? kQuietPeriodMs : kPeriodMs;
}

}  // namespace quil
