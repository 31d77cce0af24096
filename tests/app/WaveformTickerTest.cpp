// The waveform band: trigger search, the band's shape for silence and for
// a sine, and a pass of the application's ticker.
#include "app/WaveformTicker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#include "AppTestSupport.h"

namespace quil {
namespace {

Mask MaskOf(int32_t w, int32_t h) {
    Mask mask;
    EXPECT_TRUE(mask.SetBounds(Rect{0, 0, w, h}));
    mask.Fill(0x55);
    return mask;
}

// The coverage's centre in a column, in pixels.
double Centre(const Mask& mask, int32_t x) {
    double sum = 0;
    double moment = 0;
    for (int32_t y = 0; y < mask.bounds().bottom; ++y) {
        sum += *mask.At(x, y) / 255.0;
        moment += *mask.At(x, y) / 255.0 * (y + 0.5);
    }
    return sum > 0 ? moment / sum : -1;
}

TEST(WaveformTickerTest, TriggerIsTheFirstRisingZeroCrossing) {
    const struct {
        const char* what;
        float fill;
        std::vector<std::pair<size_t, float>> samples;
        size_t trigger;
    } cases[] = {
        {"no crossing: the span's end", 0.5f, {}, 50},
        {"reaching zero counts as rising", 0.5f, {{9, -0.1f}, {10, 0.0f}, {30, -0.2f}}, 10},
        {"at the second sample", -0.5f, {{1, 0.5f}}, 1},
        {"a first sample has no predecessor", -0.5f, {{0, 0.5f}}, 50},
        {"the last one searched", -0.5f, {{49, 0.25f}}, 49},
        {"beyond the search", -0.5f, {{50, 0.5f}, {55, 0.5f}}, 50},
    };
    for (const auto& c : cases) {
        std::vector<float> s(60, c.fill);
        for (const auto& [i, value] : c.samples)
            s[i] = value;
        EXPECT_EQ(WaveformTicker::TriggerIndex(s.data()), c.trigger) << c.what;
    }
}

TEST(WaveformTickerTest, SilenceDrawsAFlatTwoPixelBand) {
    Mask mask = MaskOf(127, 40);
    WaveformTicker::DrawBand(mask, std::vector<float>(177, 0.0f));
    // y = 18.5: the band runs from 17.5 to 19.5, half of row 17, row 18 and
    // half of row 19 (the band's top sample row stays out), in every column
    // up to the last sample's.
    for (int32_t x = 0; x < 127; ++x) {
        for (int32_t y = 0; y < 40; ++y) {
            const int want = x == 126 ? 0 : y == 17 ? 112 : y == 18 ? 255 : y == 19 ? 128 : 0;
            ASSERT_EQ(*mask.At(x, y), want) << x << ", " << y;
        }
    }
}

TEST(WaveformTickerTest, RedrawChangesTheMaskOnlyWhenItsPixelsChange) {
    WaveformTicker ticker;
    Mask mask = MaskOf(127, 40);
    const std::vector<float> silence(177, 0.0f);
    EXPECT_TRUE(ticker.Redraw(mask, silence));
    EXPECT_EQ(*mask.At(60, 18), 255);
    EXPECT_FALSE(ticker.Redraw(mask, silence));
    // Pixels changed elsewhere (a width change keeps only part of them) are
    // drawn again, for the same samples too.
    *mask.At(60, 18) = 7;
    EXPECT_TRUE(ticker.Redraw(mask, silence));
    EXPECT_EQ(*mask.At(60, 18), 255);
    // Other samples that draw the same pixels change nothing.
    std::vector<float> faint = silence;
    faint[100] = -0.001f;  // a third of a sample row lower
    EXPECT_FALSE(ticker.Redraw(mask, faint));

    // Passes slow down once the band has stayed the same for a while.
    for (const auto& [unchanged, period] :
         {std::pair{0, 40}, std::pair{4, 40}, std::pair{5, 200}, std::pair{1000, 200}}) {
        EXPECT_EQ(WaveformTicker::PeriodMs(unchanged), period) << unchanged;
    }
}

TEST(WaveformTickerTest, TheBandFollowsTheSamplesFromTheTrigger) {
    const int32_t w = 227;
    std::vector<float> s(w + 50);
    // Positive for the first 20 samples, then a sine that starts rising at
    // index 20.
    for (size_t k = 0; k < s.size(); ++k)
        s[k] = k < 20 ? 0.3f : 0.9f * float(std::sin((double(k) - 20.0) * 0.05));
    s[19] = -0.01f;
    Mask mask = MaskOf(w, 40);
    WaveformTicker::DrawBand(mask, s);
    for (int32_t x = 0; x < w - 1; x += 5) {
        // The band's centre is the sample's height, averaged over the pixel.
        const double y0 = (1.0 - s[20 + x]) * 18.5;
        const double y1 = (1.0 - s[20 + x + 1]) * 18.5;
        EXPECT_NEAR(Centre(mask, x), (y0 + y1) / 2, 0.6) << x;
    }
}

TEST(WaveformTickerTest, AFailedOrMissingFetchShowsSilence) {
    std::vector<float> s(10, 0.7f);
    int32_t asked = 0;
    int32_t step = 0;
    const auto fetch = [&](int32_t count, float* out, int32_t st) {
        asked = count;
        step = st;
        out[3] = 0.5f;
        return asked == 10 ? 0 : -1;
    };
    WaveformTicker::FetchSamples(fetch, s);
    EXPECT_EQ(std::tuple(asked, step, s[3], s[0]), std::tuple(10, 4, 0.5f, 0.7f));
    s.assign(11, 0.7f);
    WaveformTicker::FetchSamples(fetch, s);
    EXPECT_EQ(s, std::vector<float>(11, 0.0f));
    s.assign(10, 0.7f);
    WaveformTicker::FetchSamples({}, s);
    EXPECT_EQ(s, std::vector<float>(10, 0.0f));
}

using testing::AppTest;

TEST_F(AppTest, APassDrawsTheFetchedSamplesIntoTheWaveformView) {
    ASSERT_EQ(StartApp(), 0);
    int32_t asked = 0;
    float level = 0.9f;
    app().SetWaveformSamples([&](int32_t count, float* out, int32_t) {
        asked = count;
        for (int32_t k = 0; k < count; ++k)
            out[k] = level;
        return 0;
    });
    Window::LockGuard hold(app());
    app().DrawWaveformPass();
    EXPECT_EQ(asked, 127 + 50);
    // Only a band whose pixels change is presented again: live input draws,
    // a steady signal or silence stays as it is shown.
    const std::vector<uint8_t> shown = testing::ToRgba(window().Screen());
    struct Pass {
        float level;
        bool presents;
    };
    for (const Pass& pass : {Pass{0.9f, false}, Pass{-0.5f, true}, Pass{-0.5f, false},
                             Pass{0.0f, true}, Pass{0.0f, false}, Pass{0.9f, true}}) {
        level = pass.level;
        window().ClearPresentations();
        app().DrawWaveformPass();
        EXPECT_EQ(window().Presentations().empty(), !pass.presents) << pass.level;
    }
    EXPECT_EQ(testing::ToRgba(window().Screen()), shown);
    // The ticker must not call into this frame once it has gone.
    app().SetWaveformSamples({});
}

}  // namespace
}  // namespace quil
