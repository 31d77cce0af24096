#include "audiofile/FileSampleSource.h"

#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <thread>

namespace quil {

namespace {

// Frames decoded per block: about 0.1 s at common rates, a few hundred KiB
// of interleaved floats even for many channels.
constexpr sf_count_t kBlockFrames = 4096;
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 768000;

}  // namespace

FileSampleSource::FileSampleSource() = default;

FileSampleSource::~FileSampleSource() {
    Close();
}

void FileSampleSource::Close() {
    if (resampler_)
        soxr_delete(resampler_);
    if (file_)
        sf_close(file_);
    resampler_ = nullptr;
    file_ = nullptr;
    sampleRate = 0;
    open = false;
    fileRate_ = 0;
    fileChannels_ = 0;
    totalLength_ = 0;
    title_.clear();
    artist_.clear();
    delivered_ = 0;
    decodedFrames_ = 0;
    produced_ = 0;
    fileDone_ = false;
    streamDone_ = false;
    status_ = 0;
    frames_.clear();
    mono_.clear();
    pending_.clear();
    pendingPos_ = 0;
    clockStarted_ = false;
}

int FileSampleSource::Fail(int code, std::string text) {
    error_ = std::move(text);
    return code;
}

int FileSampleSource::Open(const std::string& path) {
    Close();
    error_.clear();
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return Fail(kUnreadable, "cannot read " + path + ": " + sf_strerror(nullptr));
    if (info.channels < 1 || info.samplerate < kMinRate || info.samplerate > kMaxRate) {
        sf_close(file);
        return Fail(kBadFormat, path + ": unsupported format (" + std::to_string(info.channels) +
                                    " channels at " + std::to_string(info.samplerate) +
                                    " Hz; need 1 or more channels at 1 to 768 kHz)");
    }
    if (info.samplerate != static_cast<int>(kRate)) {
        soxr_error_t err = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        soxr_t resampler = soxr_create(info.samplerate, kRate, 1, &err, &io, &quality, nullptr);
        if (!resampler || err) {
            if (resampler)
                soxr_delete(resampler);
            sf_close(file);
            return Fail(kResamplerError,
                        path + ": cannot resample: " + (err ? err : "unknown resampler error"));
        }
        resampler_ = resampler;
    }
    // Integer formats come as floats scaled to +-1.
    sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    file_ = file;
    const char* title = sf_get_string(file, SF_STR_TITLE);
    const char* artist = sf_get_string(file, SF_STR_ARTIST);
    title_ = title ? title : "";
    artist_ = artist ? artist : "";
    fileRate_ = info.samplerate;
    fileChannels_ = info.channels;
    // A stream of unknown length reports the largest count; it has no total.
    if (info.frames > 0 && info.frames < SF_COUNT_MAX) {
        totalLength_ = std::llround(static_cast<double>(info.frames) * kRate / info.samplerate);
    }
    try {
        frames_.resize(static_cast<size_t>(kBlockFrames) * static_cast<size_t>(info.channels));
        mono_.resize(static_cast<size_t>(kBlockFrames));
    } catch (const std::bad_alloc&) {
        Close();
        return Fail(kBadFormat,
                    path + ": too many channels (" + std::to_string(info.channels) + ")");
    }
    sampleRate = kRate;
    open = true;
    return 0;
}

bool FileSampleSource::Resample(const float* in, size_t count) {
    // The output of one block is at most ratio x input plus the filter's
    // tail; the loop takes it in pieces whatever its size.
    float out[4096];
    size_t used = 0;
    for (;;) {
        size_t inDone = 0;
        size_t outDone = 0;
        const soxr_error_t err =
            soxr_process(resampler_, in ? in + used : nullptr, in ? count - used : 0, &inDone, out,
                         std::size(out), &outDone);
        if (err) {
            status_ = Fail(kResamplerError, std::string("resampler failed: ") + err);
            return false;
        }
        pending_.insert(pending_.end(), out, out + outDone);
        produced_ += static_cast<int64_t>(outDone);
        used += inDone;
        if (in ? (used >= count && outDone < std::size(out)) : outDone == 0)
            return true;
    }
}

bool FileSampleSource::Refill() {
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(pendingPos_));
    pendingPos_ = 0;
    if (streamDone_ || status_ != 0)
        return false;
    if (!fileDone_) {
        const sf_count_t got = sf_readf_float(file_, frames_.data(), kBlockFrames);
        if (got > 0) {
            const size_t n = static_cast<size_t>(got);
            const size_t channels = static_cast<size_t>(fileChannels_);
            for (size_t i = 0; i < n; ++i) {
                const float* frame = &frames_[i * channels];
                double sum = 0;
                for (size_t c = 0; c < channels; ++c)
                    sum += frame[c];
                mono_[i] = static_cast<float>(sum / static_cast<double>(channels));
            }
            decodedFrames_ += got;
            if (!resampler_) {
                pending_.insert(pending_.end(), mono_.begin(), mono_.begin() + got);
                produced_ += got;
                return true;
            }
            return Resample(mono_.data(), n);
        }
        fileDone_ = true;
        if (sf_error(file_) != SF_ERR_NO_ERROR) {
            status_ = Fail(kDecodeError, std::string("decoding failed: ") + sf_strerror(file_));
            return false;
        }
        if (resampler_ && !Resample(nullptr, 0))
            return false;
    }
    // The resampler rounds its output a few samples either way; the stream
    // is made exactly as long as the decoded frames imply.
    const int64_t expected =
        resampler_ ? std::llround(static_cast<double>(decodedFrames_) * kRate / fileRate_)
                   : decodedFrames_;
    if (produced_ < expected) {
        pending_.resize(pending_.size() + static_cast<size_t>(expected - produced_), 0.0f);
    } else if (produced_ > expected) {
        const size_t excess = std::min(static_cast<size_t>(produced_ - expected), pending_.size());
        pending_.resize(pending_.size() - excess);
    }
    produced_ = expected;
    streamDone_ = true;
    return !pending_.empty();
}

void FileSampleSource::Pace() {
    if (!realTime_)
        return;
    if (!clockStarted_) {
        start_ = std::chrono::steady_clock::now();
        clockStarted_ = true;
    }
    const auto due =
        start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                     std::chrono::duration<double>(static_cast<double>(delivered_) / kRate));
    std::this_thread::sleep_until(due);
}

int FileSampleSource::Read(int32_t count, float* out) {
    if (count <= 0)
        return file_ ? status_ : kNotOpen;
    const size_t wanted = static_cast<size_t>(count);
    if (!file_) {
        std::fill(out, out + wanted, 0.0f);
        return kNotOpen;
    }
    if (status_ != 0) {
        std::fill(out, out + wanted, 0.0f);
        return status_;
    }
    size_t filled = 0;
    while (filled < wanted) {
        if (pendingPos_ == pending_.size()) {
            if (!Refill())
                break;
            continue;
        }
        const size_t n = std::min(wanted - filled, pending_.size() - pendingPos_);
        std::copy_n(pending_.begin() + static_cast<ptrdiff_t>(pendingPos_), n, out + filled);
        pendingPos_ += n;
        filled += n;
    }
    if (status_ != 0 || filled == 0) {
        if (status_ == 0)
            status_ = kEndOfFile;
        std::fill(out, out + wanted, 0.0f);
        return status_;
    }
    if (filled < wanted) {
        std::fill(out + filled, out + wanted, 0.0f);
        status_ = kEndOfFile;
    }
    delivered_ += static_cast<int64_t>(filled);
    Pace();
    return 0;
}

}  // namespace quil
