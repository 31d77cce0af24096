// Capture from a private PulseAudio daemon, which is killed and restarted.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "PulseDaemon.h"
#include "audio/CaptureDevices.h"
#include "audio/CaptureStream.h"
#include "platform/PlatformSoundInput.h"

namespace quil {
namespace {

using std::chrono::seconds;
using test::PulseDaemon;

// Polls `done` every 20 ms until it holds or `limit` has passed.
template <typename Condition>
bool Eventually(Condition done, seconds limit = seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return done();
}

bool Lists(SoundInput& input, const std::string& name, bool isMonitor) {
    std::vector<SoundDevice> devices;
    input.ListDevices(devices);
    return std::any_of(devices.begin(), devices.end(), [&](const SoundDevice& device) {
        return device.name == name && device.isMonitor == isMonitor && !device.identifier.empty();
    });
}

double Rms(const std::vector<float>& samples) {
    double sum = 0;
    for (float sample : samples)
        sum += double(sample) * sample;
    return std::sqrt(sum / double(samples.size()));
}

class PulseSoundInputTest : public testing::Test {
  protected:
    void SetUp() override {
        if (test::FindProgram("pulseaudio").empty())
            GTEST_SKIP() << "the pulseaudio program is not installed (scripts/setup installs it)";
        ASSERT_TRUE(daemon_.Start()) << "the private PulseAudio daemon did not start";
        input_ = CreatePlatformSoundInput(daemon_.server());
        input_->SetChangeCallback([this] { ++changes_; });
        stream_ = std::make_unique<CaptureStream>(*input_);
    }
    // Reads one hop on another thread, at most 10 s: a stalled read is
    // ended by closing the stream. The read's result.
    int ReadHop(std::vector<float>& hop) {
        hop.assign(1024, 0.0f);
        auto read = std::async(std::launch::async, [&] { return stream_->Read(1024, hop.data()); });
        if (read.wait_for(seconds(10)) != std::future_status::ready)
            stream_->Close();
        return read.get();
    }

    PulseDaemon daemon_;
    std::atomic<int> changes_ = 0;  // notifications, on the server's thread
    std::unique_ptr<SoundInput> input_;
    std::unique_ptr<CaptureStream> stream_;
};

TEST_F(PulseSoundInputTest, ListsMonitorsAndSourcesByDescription) {
    EXPECT_TRUE(Lists(*input_, PulseDaemon::kMonitorDescription, true));
    EXPECT_TRUE(Lists(*input_, PulseDaemon::kSourceDescription, false));
    std::string name;
    ASSERT_EQ(CaptureDevices::DefaultCaptureDeviceName(*input_, name), 0);
    EXPECT_TRUE(name == PulseDaemon::kMonitorDescription || name == PulseDaemon::kSourceDescription)
        << name;
}

TEST_F(PulseSoundInputTest, CapturesWhatIsPlayedIntoTheSink) {
    ASSERT_EQ(stream_->Open(PulseDaemon::kMonitorDescription), 0);
    std::vector<int16_t> tone(10 * 44100);  // 1 kHz at half scale
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<int16_t>(0.5 * 32767 * std::sin(2 * M_PI * 1000 * double(i) / 44100));
    ASSERT_TRUE(daemon_.Play(tone));
    // A sine of amplitude 0.5 has an RMS of 0.35; the silence before it none.
    double loudest = 0;
    std::vector<float> hop;
    const auto deadline = std::chrono::steady_clock::now() + seconds(10);
    while (loudest < 0.25 && std::chrono::steady_clock::now() < deadline) {
        ASSERT_EQ(ReadHop(hop), 0);
        loudest = std::max(loudest, Rms(hop));
    }
    EXPECT_GT(loudest, 0.25);
    EXPECT_LT(loudest, 0.45);
    std::vector<float> newest(1000);
    ASSERT_EQ(stream_->Peek(1000, newest.data(), 1), 0);
    EXPECT_GT(Rms(newest), 0.25);
    // The device started recording and playing: its state changed, the list did not.
    EXPECT_EQ(changes_, 0);
}

TEST_F(PulseSoundInputTest, ALostServerClosesTheStreamAndIsTakenUpAgain) {
    ASSERT_EQ(stream_->Open(PulseDaemon::kMonitorDescription), 0);
    std::vector<float> hop;
    ASSERT_EQ(ReadHop(hop), 0);

    daemon_.Kill();
    EXPECT_EQ(ReadHop(hop), CaptureStream::kClosed);
    EXPECT_FALSE(stream_->open);
    EXPECT_TRUE(Eventually([&] { return changes_ >= 1; }));
    std::vector<SoundDevice> devices{{"stale", "stale", false}};
    EXPECT_EQ(input_->ListDevices(devices), 0);
    EXPECT_TRUE(devices.empty());
    EXPECT_EQ(stream_->Open(PulseDaemon::kMonitorDescription), CaptureStream::kNoDevice);

    const int beforeReturn = changes_;
    ASSERT_TRUE(daemon_.Start());
    EXPECT_TRUE(Eventually([&] { return changes_ > beforeReturn; }, seconds(15)));
    EXPECT_TRUE(Eventually([&] { return Lists(*input_, PulseDaemon::kMonitorDescription, true); }));
    ASSERT_EQ(stream_->Open(PulseDaemon::kMonitorDescription), 0);
    EXPECT_EQ(ReadHop(hop), 0);
}

TEST_F(PulseSoundInputTest, ADeviceThatGoesAwayClosesTheStream) {
    ASSERT_EQ(stream_->Open(PulseDaemon::kSourceDescription), 0);
    std::vector<float> hop;
    ASSERT_EQ(ReadHop(hop), 0);
    ASSERT_TRUE(daemon_.Pactl({"unload-module", "module-null-source"}));
    EXPECT_EQ(ReadHop(hop), CaptureStream::kClosed);
    EXPECT_TRUE(Eventually([&] { return changes_ > 0; }));
    EXPECT_TRUE(
        Eventually([&] { return !Lists(*input_, PulseDaemon::kSourceDescription, false); }));
    EXPECT_TRUE(Lists(*input_, PulseDaemon::kMonitorDescription, true));
}

TEST(PulseWithoutServerTest, NoDevicesAndOpenFails) {
    PulseDaemon unused;  // only for a folder where no server listens
    std::unique_ptr<SoundInput> input = CreatePlatformSoundInput(unused.server());
    std::vector<SoundDevice> devices;
    EXPECT_EQ(input->ListDevices(devices), 0);
    EXPECT_TRUE(devices.empty());
    std::string identifier;
    EXPECT_NE(input->DefaultDeviceIdentifier(identifier), 0);
    EXPECT_NE(input->StartCapture("", nullptr, nullptr), 0);
    CaptureDevices::NameList names;
    EXPECT_EQ(CaptureDevices(*input).ChooseInputDevice("Anything", names), "");
    CaptureStream stream(*input);
    EXPECT_EQ(stream.Open(""), CaptureStream::kNoDevice);
    EXPECT_FALSE(stream.open);
    float out[8];
    EXPECT_EQ(stream.Read(8, out), CaptureStream::kClosed);
}

}  // namespace
}  // namespace quil
