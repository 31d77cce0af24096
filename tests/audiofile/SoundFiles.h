#pragma once

// Sound files that the tests write for themselves with libsndfile, and
// measures of what a FileSampleSource reads back from them.

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "audiofile/FileSampleSource.h"

namespace quil::test {

// A fresh path in the build tree for a file the test writes.
inline std::string ScratchPath(const std::string& name) {
    const std::filesystem::path dir =
        std::filesystem::path(HARKBOX_BINARY_DIR) / "tests" / "server";
    std::filesystem::create_directories(dir);
    const std::filesystem::path path = dir / name;
    std::filesystem::remove(path);
    return path.string();
}

// Writes interleaved float `samples` (frames x channels) in `format`
// (SF_FORMAT_WAV | SF_FORMAT_PCM_16 etc.); false on failure. 16-bit files
// get the samples x 32768, the inverse of the reader's scaling, so that
// whole 16-bit values survive exactly (libsndfile's own float writer
// scales by 32767).
inline bool WriteSound(const std::string& path, int format, int rate, int channels,
                       const std::vector<float>& samples) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f)
        return false;
    const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
    bool ok;
    if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16) {
        std::vector<short> pcm(samples.size());
        for (size_t i = 0; i < samples.size(); ++i)
            pcm[i] =
                static_cast<short>(std::clamp(std::lrint(samples[i] * 32768.0), -32768L, 32767L));
        ok = sf_writef_short(f, pcm.data(), frames) == frames;
    } else {
        ok = sf_writef_float(f, samples.data(), frames) == frames;
    }
    return sf_close(f) == 0 && ok;
}

// Whole 16-bit values as floats at full scale 32768, so that a 16-bit file
// stores them exactly.
inline std::vector<float> Pcm16Ramp(size_t count, int step, int offset = 0) {
    std::vector<float> v(count);
    for (size_t i = 0; i < count; ++i) {
        const int value =
            static_cast<int>((static_cast<int64_t>(i) * step + offset) % 65536) - 32768;
        v[i] = static_cast<float>(value) / 32768.0f;
    }
    return v;
}

// Everything the source delivers, read in blocks of `block` until it ends
// (the source pads the last block with zeros).
inline std::vector<float> ReadAll(FileSampleSource& source, int32_t block) {
    std::vector<float> all;
    std::vector<float> buf(static_cast<size_t>(block));
    while (source.Read(block, buf.data()) == 0)
        all.insert(all.end(), buf.begin(), buf.end());
    return all;
}

}  // namespace quil::test
