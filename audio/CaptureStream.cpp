#include "audio/CaptureStream.h"

#include <algorithm>
#include <cstring>

#include "audio/CaptureDevices.h"

namespace quil {

namespace {

// 1/32767 rather than 1/32768: full scale is +1 exactly, and -32768 lands
// just below -1.
constexpr float kScale = 1.0f / 32767.0f;

}  // namespace

CaptureStream::CaptureStream(SoundInput& input) : input_(input), ring_(kBufferSamples, 0) {}

CaptureStream::~CaptureStream() {
    Close();
}

int CaptureStream::Open(const std::string& deviceName) {
    std::lock_guard<std::mutex> control(controlMutex_);
    // The old capture stops first, so none of its blocks lands in the new ring.
    input_.StopCapture();
    {
        std::lock_guard<std::mutex> ring(ringMutex_);
        std::fill(ring_.begin(), ring_.end(), int16_t{0});
        written_ = 0;
        readPosition_ = 0;
        ended_ = false;
        endError_ = 0;
    }
    CaptureDevices::NameMap devices;
    CaptureDevices::MapCaptureDevices(input_, devices);
    const auto found = devices.find(deviceName);
    int result = kNoDevice;
    if (found != devices.end())
        result = input_.StartCapture(
            found->second,
            [this](const int16_t* samples, size_t count) { Deliver(samples, count); },
            [this](int error) { Ended(error); });

    std::lock_guard<std::mutex> ring(ringMutex_);
    if (result == 0 && ended_)
        result = endError_ != 0 ? endError_ : kClosed;
    if (result == 0) {
        // Written only when it changes: the analysis reads it unlocked.
        if (sampleRate != kRate)
            sampleRate = kRate;
        open = true;
    } else {
        open = false;
    }
    arrived_.notify_all();
    return result;
}

int CaptureStream::Close() {
    std::lock_guard<std::mutex> control(controlMutex_);
    input_.StopCapture();
    std::lock_guard<std::mutex> ring(ringMutex_);
    open = false;
    arrived_.notify_all();
    return 0;
}

int CaptureStream::Read(int32_t count, float* out) {
    std::lock_guard<std::mutex> reading(readMutex_);
    std::unique_lock<std::mutex> lock(ringMutex_);
    if (!open)
        return kClosed;
    for (int32_t done = 0; done < count;) {
        const int32_t chunk = std::min(count - done, kChunkSamples);
        // The lock is released while waiting: the capture needs it to write.
        arrived_.wait(lock, [&] { return !open || written_ - readPosition_ >= uint64_t(chunk); });
        if (!open)
            return kClosed;
        if (written_ - readPosition_ > uint64_t(kBufferSamples))
            readPosition_ = written_ - kBufferSamples;
        const size_t start = readPosition_ % kBufferSamples;
        const size_t first = std::min<size_t>(chunk, kBufferSamples - start);
        float* target = out + done;
        for (size_t i = 0; i < first; ++i)
            target[i] = ring_[start + i] * kScale;
        for (size_t i = first; i < size_t(chunk); ++i)
            target[i] = ring_[i - first] * kScale;
        readPosition_ += chunk;
        done += chunk;
    }
    return 0;
}

int CaptureStream::SyncToNow() {
    std::lock_guard<std::mutex> reading(readMutex_);
    std::lock_guard<std::mutex> ring(ringMutex_);
    if (!open)
        return kClosed;
    readPosition_ = written_;
    return 0;
}

int CaptureStream::Peek(int32_t count, float* out, int32_t step) {
    if (step < 1)
        return -1;
    std::lock_guard<std::mutex> ring(ringMutex_);
    if (!open) {
        std::fill(out, out + std::max(count, 0), 0.0f);
        return 0;
    }
    // Signed: right after Open the span reaches back before the first sample.
    const int64_t newestEnd = static_cast<int64_t>(written_);
    const int64_t oldestHeld = std::max<int64_t>(newestEnd - kBufferSamples, 0);
    const int64_t first = newestEnd - int64_t(count) * step;
    for (int32_t i = 0; i < count; ++i) {
        const int64_t index = first + int64_t(i) * step;
        out[i] = index < oldestHeld ? 0.0f : ring_[index % kBufferSamples] * kScale;
    }
    return 0;
}

void CaptureStream::Deliver(const int16_t* samples, size_t count) {
    std::lock_guard<std::mutex> ring(ringMutex_);
    // Of a block longer than the ring only its newest part can be kept.
    if (count > size_t(kBufferSamples)) {
        samples += count - kBufferSamples;
        written_ += count - kBufferSamples;
        count = kBufferSamples;
    }
    const size_t start = written_ % kBufferSamples;
    const size_t first = std::min(count, kBufferSamples - start);
    std::memcpy(ring_.data() + start, samples, first * sizeof(int16_t));
    std::memcpy(ring_.data(), samples + first, (count - first) * sizeof(int16_t));
    written_ += count;
    arrived_.notify_all();
}

void CaptureStream::Ended(int error) {
    {
        std::lock_guard<std::mutex> ring(ringMutex_);
        ended_ = true;
        endError_ = error;
        open = false;
        arrived_.notify_all();
    }
    if (onEnded_)
        onEnded_();
}

}  // namespace quil
