#include "audio/CaptureStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <future>
#include <string>
#include <vector>

#include "platform/headless/HeadlessSoundInput.h"

namespace quil {
namespace {

using std::chrono::seconds;

constexpr float kStep = 1.0f / 32767.0f;

// Samples first, first + 1, ... (wrapping within 16 bits).
std::vector<int16_t> Ramp(int64_t first, int32_t count) {
    std::vector<int16_t> samples(count);
    for (int32_t i = 0; i < count; ++i)
        samples[i] = static_cast<int16_t>((first + i) % 30000);
    return samples;
}

float RampValue(int64_t index) {
    return static_cast<float>(index % 30000) * kStep;
}

class CaptureStreamTest : public testing::Test {
  protected:
    void SetUp() override {
        input_.SetDevices({{"Built-in Audio", "pci", false},
                           {"USB Mic", "usb", false},
                           {"Primary Sound Capture Driver", "", false}},
                          "pci");
    }
    // Opens "USB Mic" and checks it took.
    void OpenMic() {
        ASSERT_EQ(stream_.Open("USB Mic"), 0);
        ASSERT_TRUE(stream_.open);
    }
    // Pushes the ramp from `first` up to `end` in blocks of odd length, so
    // that blocks, chunks and the ring's end never line up.
    void PushRamp(int64_t first, int64_t end) {
        for (int64_t at = first; at < end; at += 777)
            input_.Push(Ramp(at, static_cast<int32_t>(std::min<int64_t>(777, end - at))));
    }
    // Reads `count` samples on another thread; the future holds the result.
    std::future<int> ReadAsync(int32_t count, std::vector<float>& out) {
        out.assign(count, -9.0f);
        return std::async(std::launch::async,
                          [this, count, &out] { return stream_.Read(count, out.data()); });
    }

    HeadlessSoundInput input_;
    CaptureStream stream_{input_};
};

TEST_F(CaptureStreamTest, ConvertsSamplesToFloats) {
    OpenMic();
    const std::vector<int16_t> samples{32767, -32768, 0, 1, -1, 16384};
    ASSERT_TRUE(input_.Push(samples));
    std::vector<float> out(samples.size());
    ASSERT_EQ(stream_.Read(static_cast<int32_t>(out.size()), out.data()), 0);
    const float expected[] = {1.0f, -1.0000305f, 0.0f, kStep, -kStep, 16384 * kStep};
    for (size_t i = 0; i < out.size(); ++i)
        EXPECT_FLOAT_EQ(out[i], expected[i]) << "sample " << samples[i];
}

TEST_F(CaptureStreamTest, OpenStartsTheNamedDeviceAndFailsForUnknownNames) {
    EXPECT_EQ(stream_.sampleRate, 0.0);
    struct Case {
        std::string name;
        int result;
        const char* identifier;  // null: no capture runs
    } const cases[] = {
        {"USB Mic", 0, "usb"},
        {"Primary Sound Capture Driver", 0, ""},
        {"Gone Device", CaptureStream::kNoDevice, nullptr},
        {"usb mic", CaptureStream::kNoDevice, nullptr},
    };
    for (const Case& c : cases) {
        OpenMic();
        EXPECT_EQ(stream_.Open(c.name), c.result) << c.name;
        std::string identifier;
        EXPECT_EQ(input_.Capturing(&identifier), c.identifier != nullptr) << c.name;
        EXPECT_EQ(stream_.open, c.identifier != nullptr) << c.name;
        if (c.identifier) {
            EXPECT_EQ(identifier, c.identifier) << c.name;
        }
    }
    EXPECT_EQ(stream_.sampleRate, 44100.0);
}

TEST_F(CaptureStreamTest, OpenPassesTheBackendsErrorOn) {
    OpenMic();
    input_.FailNextStart(42);
    EXPECT_EQ(stream_.Open("USB Mic"), 42);
    EXPECT_FALSE(stream_.open);
    input_.SetServerUp(false);
    EXPECT_EQ(stream_.Open("USB Mic"), CaptureStream::kNoDevice);
}

TEST_F(CaptureStreamTest, ClosedStreamRefusesReadsAndPeeksZeros) {
    float out[4] = {1, 2, 3, 4};
    EXPECT_EQ(stream_.Read(4, out), CaptureStream::kClosed);
    EXPECT_EQ(stream_.SyncToNow(), CaptureStream::kClosed);
    EXPECT_EQ(stream_.Peek(4, out, 4), 0);
    EXPECT_EQ(std::vector<float>(out, out + 4), std::vector<float>(4, 0.0f));
    EXPECT_EQ(stream_.Peek(4, out, 0), -1);
}

TEST_F(CaptureStreamTest, SyncToNowSkipsWhatWasCapturedBefore) {
    OpenMic();
    input_.Push(Ramp(0, 100));
    ASSERT_EQ(stream_.SyncToNow(), 0);
    input_.Push(Ramp(100, 50));
    std::vector<float> out(50);
    ASSERT_EQ(stream_.Read(50, out.data()), 0);
    EXPECT_FLOAT_EQ(out.front(), RampValue(100));
    EXPECT_FLOAT_EQ(out.back(), RampValue(149));
}

TEST_F(CaptureStreamTest, ReadsInOrderAcrossTheEndOfTheRing) {
    OpenMic();
    const int32_t size = CaptureStream::kBufferSamples;
    std::vector<float> out(size);
    PushRamp(0, size - 500);
    ASSERT_EQ(stream_.Read(size - 1000, out.data()), 0);
    PushRamp(size - 500, size + 3000);
    ASSERT_EQ(stream_.Read(4000, out.data()), 0);
    for (int32_t i = 0; i < 4000; ++i)
        ASSERT_FLOAT_EQ(out[i], RampValue(size - 1000 + i)) << i;
}

TEST_F(CaptureStreamTest, AReaderLeftBehindGoesOnWithTheOldestSampleHeld) {
    OpenMic();
    const int32_t size = CaptureStream::kBufferSamples;
    PushRamp(0, size + 500);
    std::vector<float> out(3);
    ASSERT_EQ(stream_.Read(3, out.data()), 0);
    EXPECT_FLOAT_EQ(out[0], RampValue(500));
    EXPECT_FLOAT_EQ(out[2], RampValue(502));
}

TEST_F(CaptureStreamTest, PeekTakesEveryStepthOfTheNewestSamples) {
    OpenMic();
    const int32_t size = CaptureStream::kBufferSamples;
    struct Case {
        const char* what;
        int64_t written;  // samples captured in all
        int32_t count, step;
        std::vector<int64_t> indices;  // -1: a zero
    } const cases[] = {
        {"step 1", 10, 3, 1, {7, 8, 9}},
        {"step 4 ends a step before the newest", 100, 3, 4, {88, 92, 96}},
        {"before the first sample", 5, 4, 2, {-1, -1, 1, 3}},
        {"just after the ring wrapped", size + 2, 4, 1, {size - 2, size - 1, size, size + 1}},
        {"older than the ring holds", size + 10, 2, size / 2 + 5, {-1, size / 2 + 5}},
    };
    for (const Case& c : cases) {
        OpenMic();
        PushRamp(0, c.written);
        std::vector<float> out(c.count, -9.0f);
        ASSERT_EQ(stream_.Peek(c.count, out.data(), c.step), 0) << c.what;
        for (int32_t i = 0; i < c.count; ++i)
            EXPECT_FLOAT_EQ(out[i], c.indices[i] < 0 ? 0.0f : RampValue(c.indices[i]))
                << c.what << ", sample " << i;
        // Peeking never moves the reader.
        std::vector<float> first(1);
        ASSERT_EQ(stream_.Read(1, first.data()), 0);
        EXPECT_FLOAT_EQ(first[0], RampValue(std::max<int64_t>(c.written - size, 0))) << c.what;
    }
}

TEST_F(CaptureStreamTest, AWaitingReaderIsWokenByData) {
    OpenMic();
    std::vector<float> out;
    std::future<int> read = ReadAsync(2500, out);
    for (int64_t pushed = 0; pushed < 2500; pushed += 500)
        input_.Push(Ramp(pushed, 500));
    ASSERT_EQ(read.wait_for(seconds(10)), std::future_status::ready);
    EXPECT_EQ(read.get(), 0);
    EXPECT_FLOAT_EQ(out[2499], RampValue(2499));
}

TEST_F(CaptureStreamTest, AWaitingReaderFailsWhenTheStreamCloses) {
    struct Case {
        const char* what;
        void (*end)(CaptureStream&, HeadlessSoundInput&);
    } const cases[] = {
        {"Close", [](CaptureStream& stream, HeadlessSoundInput&) { stream.Close(); }},
        {"device gone", [](CaptureStream&, HeadlessSoundInput& input) { input.EndCapture(5); }},
        {"server gone",
         [](CaptureStream&, HeadlessSoundInput& input) { input.SetServerUp(false); }},
        {"reopened on a missing device",
         [](CaptureStream& stream, HeadlessSoundInput&) { stream.Open("Gone Device"); }},
    };
    for (const Case& c : cases) {
        input_.SetServerUp(true);
        OpenMic();
        std::vector<float> out;
        std::future<int> read = ReadAsync(1024, out);
        input_.Push(Ramp(0, 1000));  // not quite enough
        c.end(stream_, input_);
        ASSERT_EQ(read.wait_for(seconds(10)), std::future_status::ready) << c.what;
        EXPECT_EQ(read.get(), CaptureStream::kClosed) << c.what;
        EXPECT_FALSE(stream_.open) << c.what;
    }
}

TEST_F(CaptureStreamTest, AWaitingReaderGoesOnWithTheNextDevice) {
    OpenMic();
    std::vector<float> out;
    std::future<int> read = ReadAsync(100, out);
    input_.Push(Ramp(0, 10));
    ASSERT_EQ(stream_.Open("Built-in Audio"), 0);
    input_.Push(Ramp(1000, 100));
    ASSERT_EQ(read.wait_for(seconds(10)), std::future_status::ready);
    EXPECT_EQ(read.get(), 0);
    EXPECT_FLOAT_EQ(out[99], RampValue(1099));
}

}  // namespace
}  // namespace quil
