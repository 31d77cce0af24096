// Compressed formats through libsndfile's external codecs (FLAC, Ogg
// Vorbis, MP3), which the Windows build's libsndfile goes without.
#include "audiofile/FileSampleSource.h"

#include <gtest/gtest.h>

#include <cmath>
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

TEST(FileSampleSource, ReadsFlacExactlyAndOggVorbisAndMp3Closely) {
    const std::vector<float> samples = Pcm16Ramp(30000, 211, 7);
    const std::string flac = ScratchPath("ramp.flac");
    ASSERT_TRUE(WriteSound(flac, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 1, samples));
    FileSampleSource source;
    ASSERT_EQ(source.Open(flac), 0) << source.ErrorText();
    EXPECT_EQ(source.TotalLength(), 30000);
    std::vector<float> got(30000);
    ASSERT_EQ(source.Read(30000, got.data()), 0);
    EXPECT_EQ(got, samples);

    const std::string ogg = ScratchPath("tone.ogg");
    const size_t frames = 48000 * 2;
    std::vector<float> stereo;
    for (const float v : Tone(440, 48000, frames, 0.4))
        stereo.insert(stereo.end(), {v, v});
    ASSERT_TRUE(WriteSound(ogg, SF_FORMAT_OGG | SF_FORMAT_VORBIS, 48000, 2, stereo));
    ASSERT_EQ(source.Open(ogg), 0) << source.ErrorText();
    EXPECT_EQ(source.FileRate(), 48000);
    EXPECT_NEAR(static_cast<double>(source.TotalLength()), 88200, 1024);
    const std::vector<float> all = ReadAll(source, 1024);
    ASSERT_GE(all.size(), 88200u);
    EXPECT_NEAR(UpwardCrossings(all, 22050, 66150), 440, 1);
    EXPECT_NEAR(Rms(all, 22050, 66150), 0.4 / std::sqrt(2.0), 0.01);

    // MP3 at 32 kHz: the decoder's frame count may be an estimate.
    const std::string mp3 = ScratchPath("tone.mp3");
    ASSERT_TRUE(WriteSound(mp3, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 32000, 1,
                           Tone(440, 32000, 64000, 0.4)));
    ASSERT_EQ(source.Open(mp3), 0) << source.ErrorText();
    EXPECT_EQ(source.FileRate(), 32000);
    EXPECT_NEAR(static_cast<double>(source.TotalLength()), 88200, 4096);
    const std::vector<float> decoded = ReadAll(source, 1024);
    ASSERT_GE(decoded.size(), 80000u);
    EXPECT_NEAR(UpwardCrossings(decoded, 22050, 66150), 440, 1);
    EXPECT_NEAR(Rms(decoded, 22050, 66150), 0.4 / std::sqrt(2.0), 0.01);
}

}  // namespace
}  // namespace quil
