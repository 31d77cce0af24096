#include "audio/CaptureStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "platform/headless/HeadlessSoundInput.h"

namespace quil {
namespace {

constexpr int64_t kRing = 5 * 44100;  // five seconds

// Sample k of the ramp the tests push, over the whole 16-bit range, and as
// readers get it (full scale 32767 is 1).
int16_t Ramp(int64_t k) {
    return static_cast<int16_t>(k * 7 % 65536 - 32768);
}
float RampValue(int64_t k) {
    return static_cast<float>(Ramp(k)) * (1.0f / 32767.0f);
}

// A sound input whose captures end as they start, with `error`.
struct EndsAtStart final : SoundInput {
    int error = 0;
    int ListDevices(std::vector<SoundDevice>& devices) override {
        devices = {{"Mic", "mic", false}};
        return 0;
    }
    int DefaultDeviceIdentifier(std::string&) override { return 0; }
    int StartCapture(const std::string&, BlockCallback, EndCallback onEnd) override {
        onEnd(error);
        return 0;
    }
    void StopCapture() override {}
    void SetChangeCallback(ChangeCallback) override {}
};

class CaptureStreamTest : public testing::Test {
  protected:
    void SetUp() override {
        input_.SetDevices({{"Built-in Audio", "pci", false},
                           {"USB Mic", "usb", false},
                           {"Primary Sound Capture Driver", "", false}},
                          "pci");
        stream_.SetEndedCallback([this] { ++ended_; });
    }
    // Opens "USB Mic" afresh: an empty ring, read from its start.
    void OpenMic() { ASSERT_EQ(stream_.Open("USB Mic"), 0); }
    // Pushes the ramp from sample `first` to `end` in blocks of odd length,
    // so that blocks, chunks and the ring's end never line up.
    void PushRamp(int64_t first, int64_t end) {
        for (int64_t at = first; at < end; at += 777) {
            std::vector<int16_t> block(static_cast<size_t>(std::min<int64_t>(777, end - at)));
            for (size_t i = 0; i < block.size(); ++i)
                block[i] = Ramp(at + static_cast<int64_t>(i));
            input_.Push(block);
        }
    }
    // Reads `count` samples, which must be the ramp from sample `first`.
    void ExpectRead(int32_t count, int64_t first) {
        std::vector<float> out(static_cast<size_t>(count));
        ASSERT_EQ(stream_.Read(count, out.data()), 0);
        for (int32_t i = 0; i < count; ++i)
            ASSERT_EQ(out[i], RampValue(first + i)) << "sample " << i << " from " << first;
    }

    HeadlessSoundInput input_;
    CaptureStream stream_{input_};
    std::atomic<int> ended_ = 0;
};

TEST_F(CaptureStreamTest, OpensTheNamedDeviceOrSaysWhyNot) {
    // Closed, it reads nothing and peeks zeros.
    float out[4] = {1, 2, 3, 4};
    EXPECT_EQ(stream_.Read(4, out), CaptureStream::kClosed);
    EXPECT_EQ(stream_.SyncToNow(), CaptureStream::kClosed);
    EXPECT_EQ(stream_.Peek(4, out, 4), 0);
    EXPECT_EQ(std::vector<float>(out, out + 4), std::vector<float>(4, 0.0f));
    EXPECT_EQ(stream_.Peek(4, out, 0), -1);
    const struct {
        std::string name;
        int result;
        const char* identifier;  // null: no capture runs
        int failNextStart = 0;
    } cases[] = {
        {"USB Mic", 0, "usb"},
        {"Primary Sound Capture Driver", 0, ""},
        {"Gone Device", CaptureStream::kNoDevice, nullptr},
        {"USB Mic", 42, nullptr, 42},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + ", start failing with " + std::to_string(c.failNextStart));
        OpenMic();
        input_.FailNextStart(c.failNextStart);
        EXPECT_EQ(stream_.Open(c.name), c.result);
        std::string identifier;
        EXPECT_EQ(input_.Capturing(&identifier), c.identifier != nullptr);
        EXPECT_EQ(stream_.open, c.identifier != nullptr);
        EXPECT_EQ(identifier, c.identifier ? c.identifier : "");
    }
    EXPECT_EQ(stream_.sampleRate, 44100.0);
    // A capture that ends as it starts: its error, else kClosed.
    for (int error : {7, 0}) {
        EndsAtStart ending;
        ending.error = error;
        CaptureStream stream(ending);
        EXPECT_EQ(stream.Open("Mic"), error != 0 ? error : CaptureStream::kClosed);
        EXPECT_FALSE(stream.open);
    }
}

TEST_F(CaptureStreamTest, ReadsEverySampleOnceInOrder) {
    // After SyncToNow, from the sound captured next.
    OpenMic();
    PushRamp(0, 100);
    ASSERT_EQ(stream_.SyncToNow(), 0);
    PushRamp(100, 150);
    ExpectRead(50, 100);
    // Across the ring's end, through the whole 16-bit range.
    OpenMic();
    PushRamp(0, kRing - 500);
    ExpectRead(kRing - 1000, 0);
    PushRamp(kRing - 500, kRing + 3000);
    ExpectRead(4000, kRing - 1000);
}

TEST_F(CaptureStreamTest, PeekTakesEveryStepthOfTheNewestSamples) {
    const struct {
        const char* what;
        int64_t written;  // samples captured in all
        int32_t count, step;
        std::vector<int64_t> indices;  // -1: a zero
    } cases[] = {
        {"step 4 ends a step before the newest", 100, 3, 4, {88, 92, 96}},
        {"before the first sample", 5, 4, 2, {-1, -1, 1, 3}},
        {"just after the ring wrapped", kRing + 2, 4, 1, {kRing - 2, kRing - 1, kRing, kRing + 1}},
        {"older than the ring holds", kRing + 10, 2, kRing / 2 + 5, {-1, kRing / 2 + 5}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OpenMic();
        PushRamp(0, c.written);
        std::vector<float> out(static_cast<size_t>(c.count), -9.0f);
        ASSERT_EQ(stream_.Peek(c.count, out.data(), c.step), 0);
        for (int32_t i = 0; i < c.count; ++i)
            EXPECT_EQ(out[i], c.indices[i] < 0 ? 0.0f : RampValue(c.indices[i])) << i;
        // Peeking never moves the reader; one more than five seconds behind
        // goes on with the oldest sample the ring holds.
        ExpectRead(1, std::max<int64_t>(c.written - kRing, 0));
    }
}

TEST_F(CaptureStreamTest, AWaitingReaderGoesOnWithNewSoundOrFailsWhenTheCaptureEnds) {
    const struct {
        const char* what;
        std::function<void()> then;
        int result;
        int64_t last = -1;  // the ramp's sample that the reader gets last
        int ended = 0;      // calls of the ended callback: ends by themselves only
    } cases[] = {
        {"more sound", [this] { PushRamp(1500, 2100); }, 0, 2047},
        {"the next device", [this] { stream_.Open("Built-in Audio"), PushRamp(0, 1024); }, 0, 1023},
        {"Close", [this] { stream_.Close(); }, CaptureStream::kClosed},
        {"the device gone", [this] { input_.EndCapture(5); }, CaptureStream::kClosed, -1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OpenMic();
        ended_ = 0;
        // The reader has its first chunk, and waits for the second.
        PushRamp(0, 1500);
        std::promise<void> firstRead;
        float out[1024];
        auto read = std::async(std::launch::async, [&] {
            stream_.Read(1024, out);
            firstRead.set_value();
            return stream_.Read(1024, out);
        });
        firstRead.get_future().wait();
        // Time to begin waiting; the result is the same either way.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        c.then();
        // A read still waiting after 10 s is ended by closing the stream.
        const bool stalled = read.wait_for(std::chrono::seconds(10)) != std::future_status::ready;
        if (stalled)
            stream_.Close();
        EXPECT_FALSE(stalled) << "the reader went on waiting";
        EXPECT_EQ(read.get(), c.result);
        EXPECT_EQ(stream_.open, c.result == 0);
        EXPECT_EQ(ended_, c.ended);
        EXPECT_TRUE(c.last < 0 || out[1023] == RampValue(c.last)) << out[1023];
    }
}

}  // namespace
}  // namespace quil
