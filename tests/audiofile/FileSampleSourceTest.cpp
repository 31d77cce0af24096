#include "audiofile/FileSampleSource.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "tests/audiofile/SoundFiles.h"

namespace quil {
namespace {

using test::Pcm16Ramp;
using test::ReadAll;
using test::Rms;
using test::ScratchPath;
using test::Tone;
using test::UpwardCrossings;
using test::WriteSound;

constexpr int kWav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;

TEST(FileSampleSource, PassesMono44100ThroughExactlyAcrossBlocks) {
    const std::string path = ScratchPath("mono16.wav");
    const std::vector<float> samples = Pcm16Ramp(10007, 331, 12345);
    ASSERT_TRUE(WriteSound(path, kWav16, 44100, 1, samples));

    FileSampleSource source;
    ASSERT_EQ(source.Open(path), 0) << source.ErrorText();
    EXPECT_EQ(source.sampleRate, 44100.0);
    EXPECT_TRUE(source.open);
    EXPECT_EQ(source.FileRate(), 44100);
    EXPECT_EQ(source.TotalLength(), 10007);
    // Blocks that straddle the decoder's own blocks of 4096 frames.
    const std::vector<float> got = ReadAll(source, 1000);
    ASSERT_EQ(got.size(), 11000u);
    for (size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(got[i], samples[i]) << i;
    for (size_t i = samples.size(); i < got.size(); ++i)
        ASSERT_EQ(got[i], 0.0f) << i;

    // A float file keeps values beyond full scale as they are.
    const std::string floats = ScratchPath("mono-float.wav");
    const std::vector<float> loud{0.25f, -1.5f, 2.0f, 1e-7f};
    ASSERT_TRUE(WriteSound(floats, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, loud));
    ASSERT_EQ(source.Open(floats), 0);
    float out[4];
    ASSERT_EQ(source.Read(4, out), 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(out[i], loud[static_cast<size_t>(i)]);
}

TEST(FileSampleSource, MixesChannelsToTheirAverage) {
    const size_t frames = 5000;
    const std::vector<float> left = Pcm16Ramp(frames, 97, 100);
    const std::vector<float> right = Pcm16Ramp(frames, 1003, 40000);
    const std::vector<float> third = Pcm16Ramp(frames, 7, 3);
    std::vector<float> stereo;
    std::vector<float> three;
    for (size_t i = 0; i < frames; ++i) {
        stereo.insert(stereo.end(), {left[i], right[i]});
        three.insert(three.end(), {left[i], right[i], third[i]});
    }
    const std::string path2 = ScratchPath("stereo.wav");
    const std::string path3 = ScratchPath("three.wav");
    ASSERT_TRUE(WriteSound(path2, kWav16, 44100, 2, stereo));
    ASSERT_TRUE(WriteSound(path3, kWav16, 44100, 3, three));

    FileSampleSource source;
    ASSERT_EQ(source.Open(path2), 0);
    EXPECT_EQ(source.FileChannels(), 2);
    EXPECT_EQ(source.TotalLength(), 5000);
    std::vector<float> got(frames);
    ASSERT_EQ(source.Read(static_cast<int32_t>(frames), got.data()), 0);
    for (size_t i = 0; i < frames; ++i)
        ASSERT_EQ(got[i], (left[i] + right[i]) / 2) << i;

    ASSERT_EQ(source.Open(path3), 0);
    ASSERT_EQ(source.Read(static_cast<int32_t>(frames), got.data()), 0);
    for (size_t i = 0; i < frames; ++i) {
        const double mean = (static_cast<double>(left[i]) + right[i] + third[i]) / 3;
        ASSERT_EQ(got[i], static_cast<float>(mean)) << i;
    }
}

TEST(FileSampleSource, EndOfFilePadsTheLastBlockOnceThenReportsTheEnd) {
    const std::string path = ScratchPath("short.wav");
    const std::vector<float> samples = Pcm16Ramp(2500, 13, 33000);
    ASSERT_TRUE(WriteSound(path, kWav16, 44100, 1, samples));
    FileSampleSource source;
    ASSERT_EQ(source.Open(path), 0);
    std::vector<float> buf(1024, 9.0f);
    EXPECT_EQ(source.Read(1024, buf.data()), 0);
    EXPECT_EQ(source.Read(1024, buf.data()), 0);
    EXPECT_EQ(source.Read(1024, buf.data()), 0);
    EXPECT_EQ(buf[451], samples[2499]);
    for (size_t i = 452; i < 1024; ++i)
        ASSERT_EQ(buf[i], 0.0f) << i;
    std::fill(buf.begin(), buf.end(), 9.0f);
    EXPECT_EQ(source.Read(1024, buf.data()), FileSampleSource::kEndOfFile);
    EXPECT_EQ(buf[0], 0.0f);
    EXPECT_EQ(source.Read(1024, buf.data()), FileSampleSource::kEndOfFile);

    // A file of whole blocks ends with the block after its last.
    const std::string whole = ScratchPath("whole.wav");
    ASSERT_TRUE(WriteSound(whole, kWav16, 44100, 1, Pcm16Ramp(2048, 5)));
    ASSERT_EQ(source.Open(whole), 0);
    EXPECT_EQ(source.Read(1024, buf.data()), 0);
    EXPECT_EQ(source.Read(1024, buf.data()), 0);
    EXPECT_EQ(source.Read(1024, buf.data()), FileSampleSource::kEndOfFile);

    // An empty file opens and ends at once.
    const std::string empty = ScratchPath("empty.wav");
    ASSERT_TRUE(WriteSound(empty, kWav16, 44100, 1, {}));
    ASSERT_EQ(source.Open(empty), 0);
    EXPECT_EQ(source.TotalLength(), 0);
    EXPECT_EQ(source.Read(1024, buf.data()), FileSampleSource::kEndOfFile);

    source.Close();
    EXPECT_FALSE(source.open);
    EXPECT_EQ(source.sampleRate, 0.0);
    EXPECT_EQ(source.Read(16, buf.data()), FileSampleSource::kNotOpen);
}

TEST(FileSampleSource, ResamplesToneKeepingFrequencyAndLength) {
    for (const int rate : {48000, 22050, 8000, 96000}) {
        SCOPED_TRACE(rate);
        const std::string path = ScratchPath("tone" + std::to_string(rate) + ".wav");
        const size_t frames = static_cast<size_t>(rate) * 3 + 17;
        ASSERT_TRUE(WriteSound(path, kWav16, rate, 1, Tone(1000, rate, frames, 0.5)));

        FileSampleSource source;
        ASSERT_EQ(source.Open(path), 0) << source.ErrorText();
        EXPECT_EQ(source.sampleRate, 44100.0);
        EXPECT_EQ(source.FileRate(), rate);
        const int64_t expected = std::llround(static_cast<double>(frames) * 44100.0 / rate);
        EXPECT_EQ(source.TotalLength(), expected);

        // The stream holds exactly TotalLength samples: one Read of that many
        // succeeds, and the next one finds the end.
        std::vector<float> got(static_cast<size_t>(expected));
        ASSERT_EQ(source.Read(static_cast<int32_t>(expected), got.data()), 0);
        float one = 0;
        EXPECT_EQ(source.Read(1, &one), FileSampleSource::kEndOfFile);

        // One second from the middle: 1000 periods at the written amplitude.
        EXPECT_NEAR(UpwardCrossings(got, 44100, 88200), 1000, 1);
        EXPECT_NEAR(Rms(got, 44100, 88200), 0.5 / std::sqrt(2.0), 0.005);
        // The tone starts at the start: no delay from the resampler's filter.
        EXPECT_NEAR(UpwardCrossings(got, 0, 44100), 1000, 2);
    }
}

TEST(FileSampleSource, RefusesWhatItCannotReadAndStaysClosed) {
    FileSampleSource source;
    EXPECT_EQ(source.Open(ScratchPath("missing.wav")), FileSampleSource::kUnreadable);
    EXPECT_NE(source.ErrorText().find("missing.wav"), std::string::npos) << source.ErrorText();

    const std::string garbage = ScratchPath("garbage.wav");
    {
        FILE* f = std::fopen(garbage.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        unsigned state = 12345;
        for (int i = 0; i < 5000; ++i) {
            state = state * 1103515245u + 12345u;
            std::fputc(static_cast<int>(state >> 24), f);
        }
        std::fclose(f);
    }
    const std::string truncatedHeader = ScratchPath("truncated.wav");
    {
        FILE* f = std::fopen(truncatedHeader.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("RIFF\x24\x00\x00\x00WAVEfmt ", f);
        std::fclose(f);
    }
    const std::string emptyFile = ScratchPath("zero-bytes.wav");
    std::fclose(std::fopen(emptyFile.c_str(), "wb"));
    for (const std::string& path :
         {garbage, truncatedHeader, emptyFile, std::string(HARKBOX_SOURCE_DIR) + "/CMakeLists.txt",
          std::string(HARKBOX_SOURCE_DIR)}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(source.Open(path), FileSampleSource::kUnreadable);
        EXPECT_FALSE(source.ErrorText().empty());
        EXPECT_FALSE(source.open);
        EXPECT_EQ(source.sampleRate, 0.0);
        float out[8];
        EXPECT_EQ(source.Read(8, out), FileSampleSource::kNotOpen);
    }

    // A rate the analysis could never use, refused with its own code.
    const std::string slow = ScratchPath("slow.wav");
    ASSERT_TRUE(WriteSound(slow, kWav16, 500, 1, Pcm16Ramp(100, 1)));
    EXPECT_EQ(source.Open(slow), FileSampleSource::kBadFormat);
    EXPECT_NE(source.ErrorText().find("500 Hz"), std::string::npos) << source.ErrorText();

    // A good file after the failures opens normally.
    const std::string good = ScratchPath("good.wav");
    ASSERT_TRUE(WriteSound(good, kWav16, 44100, 1, Pcm16Ramp(10, 1)));
    EXPECT_EQ(source.Open(good), 0);
    EXPECT_TRUE(source.ErrorText().empty());
}

TEST(FileSampleSource, RealTimePacingDeliversTheSameSamples) {
    const std::string path = ScratchPath("paced.wav");
    const std::vector<float> samples = Pcm16Ramp(2205, 77);
    ASSERT_TRUE(WriteSound(path, kWav16, 22050, 1, samples));
    FileSampleSource plain;
    FileSampleSource paced;
    paced.SetRealTime(true);
    ASSERT_EQ(plain.Open(path), 0);
    ASSERT_EQ(paced.Open(path), 0);
    EXPECT_EQ(ReadAll(plain, 512), ReadAll(paced, 512));
}

}  // namespace
}  // namespace quil
