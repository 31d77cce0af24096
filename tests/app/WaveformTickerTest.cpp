// The waveform band: trigger search, the band's shape, redrawing only what
// changed, and a pass of the application's ticker.
#include "app/WaveformTicker.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "AppTestSupport.h"

namespace quil {
namespace {

Mask MaskOf(int32_t w) {
    Mask mask;
    EXPECT_TRUE(mask.SetBounds(Rect{0, 0, w, 40}));
    mask.Fill(0x55);
    return mask;
}

TEST(WaveformTickerTest, TriggerIsTheFirstRisingZeroCrossing) {
    // What the case shows, the samples' value, others set and the trigger.
    const std::tuple<const char*, float, std::vector<std::pair<size_t, float>>, size_t> cases[] = {
        {"reaching zero counts as rising", 0.5f, {{9, -0.1f}, {10, 0.0f}, {30, -0.2f}}, 10},
        {"at the second sample", -0.5f, {{1, 0.5f}}, 1},
        {"no crossing: the first sample has no predecessor", -0.5f, {{0, 0.5f}}, 50},
        {"the last one searched", -0.5f, {{49, 0.25f}}, 49},
    };
    for (const auto& [what, fill, samples, trigger] : cases) {
        std::vector<float> s(60, fill);
        for (const auto& [i, value] : samples)
            s[i] = value;
        EXPECT_EQ(WaveformTicker::TriggerIndex(s.data()), trigger) << what;
    }
}

TEST(WaveformTickerTest, TheBandFollowsTheLevel) {
    // Silence, drawn at the idle window's width, is in the reference picture.
    Mask mask = MaskOf(127);
    // A level of 0.5 lifts the band's centre of coverage to y = 9.25.
    WaveformTicker::DrawBand(mask, std::vector<float>(177, 0.5f));
    double sum = 0, moment = 0;
    for (int32_t y = 0; y < 40; ++y) {
        sum += *mask.At(60, y);
        moment += *mask.At(60, y) * (y + 0.5);
    }
    EXPECT_NEAR(moment / sum, 9.25, 0.2);
}

TEST(WaveformTickerTest, RedrawChangesTheMaskOnlyWhenItsPixelsChange) {
    WaveformTicker ticker;
    Mask mask = MaskOf(127);
    const std::vector<float> silence(177, 0.0f);
    std::vector<float> faint = silence;
    faint[100] = -0.001f;  // a third of a sample row lower: the same pixels
    EXPECT_TRUE(ticker.Redraw(mask, silence));
    EXPECT_FALSE(ticker.Redraw(mask, silence));
    // Pixels changed elsewhere (a width change keeps only part of them) are
    // drawn again, for the same samples too.
    *mask.At(60, 18) = 7;
    EXPECT_TRUE(ticker.Redraw(mask, silence));
    EXPECT_EQ(*mask.At(60, 18), 255);
    EXPECT_FALSE(ticker.Redraw(mask, faint));
    // Passes slow down once the band has stayed the same for a while.
    for (const auto& [unchanged, period] : {std::pair{4, 40}, {5, 200}})
        EXPECT_EQ(WaveformTicker::PeriodMs(unchanged), period) << unchanged;
}

TEST(WaveformTickerTest, AFailedFetchShowsSilence) {
    // The fetch fills in its step at 3 and fails for other than 10 samples.
    const auto fetch = [](int32_t count, float* out, int32_t step) {
        out[3] = float(step);
        return count == 10 ? 0 : -1;
    };
    for (const auto& [size, want] : {std::pair{10, 4.0f}, {11, 0.0f}}) {
        std::vector<float> s(size_t(size), 0.7f);
        WaveformTicker::FetchSamples(fetch, s);
        EXPECT_EQ(std::pair(s[3], s[0]), std::pair(want, want == 4.0f ? 0.7f : 0.0f)) << size;
    }
}

using testing::AppTest;

TEST_F(AppTest, APassDrawsTheFetchedSamplesAndPresentsOnlyChanges) {
    ASSERT_EQ(StartApp(), 0);
    int32_t asked = 0;
    float level = 0.9f;
    app().SetWaveformSamples([&](int32_t count, float* out, int32_t) {
        asked = count;
        std::fill(out, out + count, level);
        return 0;
    });
    Window::LockGuard hold(app());
    app().DrawWaveformPass();
    EXPECT_EQ(asked, 127 + 50);
    const std::vector<uint32_t> shown = window().Screen();
    for (const auto& [pass, presents] : {std::pair{0.9f, false},
                                         {-0.5f, true},
                                         {-0.5f, false},
                                         {0.0f, true},
                                         {0.0f, false},
                                         {0.9f, true}}) {
        level = pass;
        window().ClearPresentations();
        app().DrawWaveformPass();
        EXPECT_EQ(window().Presentations().empty(), !presents) << pass;
    }
    EXPECT_EQ(window().Screen(), shown);
    app().SetWaveformSamples({});  // the ticker must not call into this frame once it has gone
}

}  // namespace
}  // namespace quil
