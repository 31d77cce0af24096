#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "fingerprint/SampleSource.h"

struct sf_private_tag;
struct soxr;

namespace quil {

// A sample source over a sound file: anything libsndfile decodes (WAV, FLAC,
// Ogg Vorbis, MP3, ...), mixed to mono as the average of its channels and
// resampled to 44 100 Hz (libsoxr, high quality) when the file has another
// rate, so that the analysis reads it exactly like live capture. The file is
// decoded block by block as it is read; hour-long files are never held whole.
//
// End of file: the last, partial block of a Read is completed with zeros and
// reported as success, so every sample of the file reaches the analysis; the
// Read after it returns kEndOfFile (and zeros). The analysis then stops as on
// any failed read and drops the segments that are still unfinished.
//
// Not thread-safe: one reader at a time.
class FileSampleSource : public SampleSource {
  public:
    // Read results and Open errors (0 is success).
    static constexpr int kEndOfFile = 1;
    static constexpr int kNotOpen = -2;         // Read before a successful Open
    static constexpr int kUnreadable = -3;      // missing, unreadable or not a sound file
    static constexpr int kBadFormat = -4;       // no channels, or a rate outside 1 kHz..768 kHz
    static constexpr int kResamplerError = -5;  // libsoxr refused the rate or failed mid-stream
    static constexpr int kDecodeError = -6;     // libsndfile failed in the middle of the file

    static constexpr double kRate = 44100.0;

    FileSampleSource();
    ~FileSampleSource() override;
    FileSampleSource(const FileSampleSource&) = delete;
    FileSampleSource& operator=(const FileSampleSource&) = delete;

    // Opens `path` (closing any file open before). 0 on success: sampleRate
    // is then 44100 and `open` is set. Otherwise one of the codes above, with
    // a sentence for people in ErrorText(); the source stays closed.
    int Open(const std::string& path);
    void Close();

    // When set, each Read returns no earlier than the moment its last sample
    // would have been captured live, counted from the first Read after Open.
    void SetRealTime(bool on) { realTime_ = on; }

    // Writes `count` samples (full scale +-1; float files are passed through
    // unclipped) to `out`. 0 on success, kEndOfFile once the file is used up,
    // kDecodeError / kResamplerError on failure, kNotOpen when nothing is
    // open. After a non-zero result `out` holds zeros and so does every later
    // Read's.
    int Read(int32_t count, float* out) override;

    // Length of the file in samples at 44 100 Hz: frames x 44100 / file
    // rate, rounded; the stream delivers exactly this many real samples.
    // For formats whose decoder only estimates the frame count (MP3), this
    // is that estimate and the stream ends where the decoder ends.
    int64_t TotalLength() const override { return totalLength_; }

    // The file as opened: its own rate (Hz) and channel count; 0 when closed.
    int FileRate() const { return fileRate_; }
    int FileChannels() const { return fileChannels_; }

    // The file's title and artist tags as libsndfile reads them (UTF-8 as
    // stored); empty when the file has none or nothing is open.
    const std::string& Title() const { return title_; }
    const std::string& Artist() const { return artist_; }

    // Why the last Open or Read failed; empty after a success.
    const std::string& ErrorText() const { return error_; }

  private:
    int Fail(int code, std::string text);
    // Drops what was read from pending_ and decodes the next block into it
    // (possibly nothing yet, while the resampler fills its filter); false
    // once nothing more will come, or on failure (status_ set then).
    bool Refill();
    // Passes `count` mono samples through the resampler into pending_; a
    // null `in` drains the resampler's tail. False on failure.
    bool Resample(const float* in, size_t count);
    // In real-time mode, sleeps until the samples delivered so far are due.
    void Pace();

    sf_private_tag* file_ = nullptr;
    soxr* resampler_ = nullptr;
    int fileRate_ = 0;
    int fileChannels_ = 0;
    int64_t totalLength_ = 0;
    // Samples handed out by Read so far, real ones only.
    int64_t delivered_ = 0;
    int64_t decodedFrames_ = 0;   // frames the decoder gave out
    int64_t produced_ = 0;        // 44.1 kHz samples put into pending_
    bool fileDone_ = false;       // the decoder has nothing more
    bool streamDone_ = false;     // the resampler's tail is in pending_ too
    int status_ = 0;              // sticky result once the stream has ended
    std::vector<float> frames_;   // one decoded block, interleaved
    std::vector<float> mono_;     // the block mixed down
    std::vector<float> pending_;  // 44.1 kHz samples not yet read
    size_t pendingPos_ = 0;
    bool realTime_ = false;
    bool clockStarted_ = false;
    std::chrono::steady_clock::time_point start_;
    std::string title_;
    std::string artist_;
    std::string error_;
};

}  // namespace quil
