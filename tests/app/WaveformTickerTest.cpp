// The waveform band: trigger search, the band's shape for silence and for
// a sine, and a pass of the application's ticker.
#include "app/WaveformTicker.h"

#include <gtest/gtest.h>

#include <cmath>
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

// Coverage sum and centre of a column, in pixels.
void Column(const Mask& mask, int32_t x, double& sum, double& centre) {
    sum = 0;
    double moment = 0;
    for (int32_t y = 0; y < mask.bounds().bottom; ++y) {
        sum += *mask.At(x, y) / 255.0;
        moment += *mask.At(x, y) / 255.0 * (y + 0.5);
    }
    centre = sum > 0 ? moment / sum : -1;
}

TEST(WaveformTickerTest, TriggerIsTheFirstRisingZeroCrossing) {
    std::vector<float> s(60, 0.5f);
    EXPECT_EQ(WaveformTicker::TriggerIndex(s.data()), 50u);  // none: 50
    s[9] = -0.1f;
    s[10] = 0.0f;  // reaching zero counts as rising
    s[30] = -0.2f;
    EXPECT_EQ(WaveformTicker::TriggerIndex(s.data()), 10u);
    s.assign(60, -0.5f);
    s[0] = 0.5f;   // a first sample has no predecessor
    s[55] = 0.5f;  // beyond the search
    EXPECT_EQ(WaveformTicker::TriggerIndex(s.data()), 50u);
    s[49] = 0.25f;
    EXPECT_EQ(WaveformTicker::TriggerIndex(s.data()), 49u);
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
        double sum = 0;
        double centre = 0;
        Column(mask, x, sum, centre);
        EXPECT_NEAR(centre, (y0 + y1) / 2, 0.6) << x;
    }
}

TEST(WaveformTickerTest, AFailedFetchShowsSilence) {
    std::vector<float> s(10, 0.7f);
    WaveformTicker::FetchSamples(
        [](int32_t, float* out, int32_t) {
            out[0] = 1.0f;
            return -1;
        },
        s);
    EXPECT_EQ(s, std::vector<float>(10, 0.0f));
    s.assign(10, 0.7f);
    WaveformTicker::FetchSamples({}, s);
    EXPECT_EQ(s, std::vector<float>(10, 0.0f));
    int32_t asked = 0;
    int32_t step = 0;
    WaveformTicker::FetchSamples(
        [&](int32_t count, float* out, int32_t st) {
            asked = count;
            step = st;
            out[3] = 0.5f;
            return 0;
        },
        s);
    EXPECT_EQ(asked, 10);
    EXPECT_EQ(step, 4);
    EXPECT_EQ(s[3], 0.5f);
}

using testing::AppTest;

TEST_F(AppTest, APassDrawsTheFetchedSamplesIntoTheWaveformView) {
    ASSERT_EQ(StartApp(), 0);
    int32_t asked = 0;
    float level = 0.9f;  // no crossing: the band lies high
    app().SetWaveformSamples([&](int32_t count, float* out, int32_t) {
        asked = count;
        for (int32_t k = 0; k < count; ++k)
            out[k] = level;
        return 0;
    });
    Window::LockGuard hold(app());
    app().DrawWaveformPass();
    EXPECT_EQ(asked, 127 + 50);
    double sum = 0;
    double centre = 0;
    Column(app().waveformMask(), 60, sum, centre);
    EXPECT_NEAR(centre, 0.1 * 18.5, 0.5);
    // On the screen: white at opacity 63 over the body, at the band only.
    const uint32_t band = window().ScreenPixel(40 + 60, 13 + 1);
    const uint32_t clear = window().ScreenPixel(40 + 60, 13 + 10);
    EXPECT_GT(band & 0xFF, clear & 0xFF);

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
