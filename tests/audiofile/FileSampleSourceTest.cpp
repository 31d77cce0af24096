#include "audiofile/FileSampleSource.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "tests/audiofile/SoundFiles.h"

namespace quil {
namespace {

using test::Pcm16Ramp;
using test::ReadAll;
using test::ScratchPath;
using test::WriteSound;

constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

// Ogg Vorbis and MP3 come from libsndfile's external codecs, which the
// Windows build's libsndfile goes without.
#ifdef _WIN32
constexpr bool kExternalCodecs = false;
#else
constexpr bool kExternalCodecs = true;
#endif

TEST(FileSampleSource, DeliversTheFileAsMonoExactly) {
    const std::vector<float> a = Pcm16Ramp(10007, 331, 12345);
    const std::vector<float> b = Pcm16Ramp(10007, 1003, 40000);
    const std::vector<float> c = Pcm16Ramp(10007, 7, 3);
    std::vector<float> three, average;  // three channels, and what they make in mono
    for (size_t i = 0; i < a.size(); ++i) {
        three.insert(three.end(), {a[i], b[i], c[i]});
        average.push_back(static_cast<float>((static_cast<double>(a[i]) + b[i] + c[i]) / 3));
    }
    const std::vector<float> whole(a.begin(), a.begin() + 2000);
    const struct {
        const char* name;
        std::vector<float> frames;
        int channels;
        std::vector<float> mono;
    } cases[] = {
        {"three.wav", three, 3, average},
        {"paced.wav", whole, 1, whole},  // whole blocks, at the pace of real time
        {"empty.wav", {}, 1, {}},
    };
    FileSampleSource source;  // each Open closes the file before
    for (const auto& f : cases) {
        SCOPED_TRACE(f.name);
        const std::string path = ScratchPath(f.name);
        ASSERT_TRUE(WriteSound(path, kWav16, 44100, f.channels, f.frames));
        source.SetRealTime(std::string(f.name) == "paced.wav");
        ASSERT_EQ(source.Open(path), 0) << source.ErrorText();
        EXPECT_EQ(source.TotalLength(), static_cast<int64_t>(f.mono.size()));
        // Blocks that straddle the decoder's own; the last one padded with
        // zeros, and the read after it finds the end (and gives zeros).
        std::vector<float> want = f.mono;
        want.resize((want.size() + 999) / 1000 * 1000, 0.0f);
        EXPECT_EQ(ReadAll(source, 1000), want);
        float after[2] = {9, 9};
        EXPECT_EQ(source.Read(2, after), FileSampleSource::kEndOfFile);
        EXPECT_EQ(after[1], 0.0f);
    }
    source.Close();
    float none[2];
    EXPECT_EQ(source.Read(2, none), FileSampleSource::kNotOpen);
}

TEST(FileSampleSource, ResamplesKeepingPitchLoudnessAndLength) {
    const struct {
        const char* name;
        int format, rate;
        int64_t lengthSlack;  // how far the decoder's length may be an estimate
    } cases[] = {
        {"8000.wav", kWav16, 8000, 0},
        {"48000.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000, 1024},
        {"32000.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 32000, 4096},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if ((c.format & SF_FORMAT_TYPEMASK) != SF_FORMAT_WAV && !kExternalCodecs)
            continue;
        const size_t frames = static_cast<size_t>(c.rate) * 3 + 17;
        std::vector<float> tone(frames);
        for (size_t i = 0; i < frames; ++i)
            tone[i] =
                static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 440 * double(i) / c.rate));
        const std::string path = ScratchPath(c.name);
        ASSERT_TRUE(WriteSound(path, c.format, c.rate, 1, tone));
        FileSampleSource source;
        ASSERT_EQ(source.Open(path), 0) << source.ErrorText();
        EXPECT_EQ(source.sampleRate, 44100.0);
        const int64_t length = std::llround(static_cast<double>(frames) * 44100 / c.rate);
        EXPECT_NEAR(source.TotalLength(), length, c.lengthSlack);
        const std::vector<float> got = ReadAll(source, 1);
        ASSERT_NEAR(static_cast<int64_t>(got.size()), length, c.lengthSlack);
        // 440 periods a second at the written loudness, from the first second
        // (no delay from the resampler's filter) to the last.
        for (size_t start : {size_t{0}, size_t{44100}, got.size() - 44100}) {
            int crossings = 0;
            double power = 0;
            for (size_t i = start; i < start + 44100; ++i) {
                crossings += i > start && got[i - 1] < 0 && got[i] >= 0;
                power += static_cast<double>(got[i]) * got[i] / 44100;
            }
            EXPECT_NEAR(crossings, 440, start == 0 ? 2 : 1) << "from " << start;
            EXPECT_NEAR(std::sqrt(power), 0.5 / std::sqrt(2.0), 0.01) << "from " << start;
        }
    }
}

TEST(FileSampleSource, RefusesWhatItCannotReadAndStaysClosed) {
    const std::string rateTooHigh = ScratchPath("768001.wav");
    ASSERT_TRUE(WriteSound(rateTooHigh, kWav16, 768001, 1, Pcm16Ramp(100, 1)));
    const struct {
        std::string path;
        int result;
        const char* inError;
    } cases[] = {
        {ScratchPath("missing.wav"), FileSampleSource::kUnreadable, "missing.wav"},
        {rateTooHigh, FileSampleSource::kBadFormat, "768001 Hz"},
    };
    // No file stays open behind a refusal, counted where the system lists a
    // process's open files. A Windows program has no such list: under Wine
    // the path shows the emulator's own descriptors, which its threads open
    // and close at any time, so there the count stays 0.
    const auto openFiles = [] {
#ifdef _WIN32
        return std::ptrdiff_t{0};
#else
        std::error_code none;
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd", none), {});
#endif
    };
    const auto before = openFiles();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        FileSampleSource source;
        EXPECT_EQ(source.Open(c.path), c.result);
        EXPECT_NE(source.ErrorText().find(c.inError), std::string::npos) << source.ErrorText();
        EXPECT_FALSE(source.open);
        float out[8];
        EXPECT_EQ(source.Read(8, out), FileSampleSource::kNotOpen);
        EXPECT_EQ(openFiles(), before);
    }
}

}  // namespace
}  // namespace quil
