// Capture from a private PulseAudio daemon: what it lists, what is played
// into it, a device that goes away, the server killed and restarted.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <future>
#include <memory>
#include <numeric>
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

double Rms(const std::vector<float>& s) {
    return std::sqrt(std::inner_product(s.begin(), s.end(), s.begin(), 0.0) / double(s.size()));
}

// Reads one hop on another thread, at most 10 s: a stalled read is ended by
// closing the stream. The read's result.
int ReadHop(CaptureStream& stream, std::vector<float>& hop) {
    hop.assign(1024, 0.0f);
    auto read = std::async(std::launch::async, [&] { return stream.Read(1024, hop.data()); });
    if (read.wait_for(seconds(10)) != std::future_status::ready)
        stream.Close();
    return read.get();
}

TEST(PulseSoundInputTest, CapturesListsAndFollowsTheServer) {
    if (test::RunProgram("pulseaudio", {"--version"}) != 0)
        GTEST_SKIP() << "the pulseaudio program is not installed (scripts/setup installs it)";
    PulseDaemon daemon;
    ASSERT_TRUE(daemon.Start()) << "the private PulseAudio daemon did not start";
    std::unique_ptr<SoundInput> input = CreatePlatformSoundInput(daemon.server());
    std::atomic<int> changes = 0;  // notifications, on the server's thread
    input->SetChangeCallback([&] { ++changes; });
    CaptureStream stream(*input);
    const std::string monitor = PulseDaemon::kMonitorDescription;
    const std::string source = PulseDaemon::kSourceDescription;
    std::string name;
    ASSERT_EQ(CaptureDevices::DefaultCaptureDeviceName(*input, name), 0);
    EXPECT_TRUE(name == monitor || name == source) << name;

    // What is played into the sink, found by its description: a 1 kHz sine
    // at half scale has an RMS of 0.35.
    ASSERT_EQ(stream.Open(monitor), 0);
    std::vector<int16_t> tone(10 * 44100);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<int16_t>(0.5 * 32767 * std::sin(2 * M_PI * 1000 * double(i) / 44100));
    ASSERT_TRUE(daemon.Play(tone));
    std::vector<float> hop;
    EXPECT_TRUE(Eventually([&] { return ReadHop(stream, hop) == 0 && Rms(hop) > 0.25; }));
    EXPECT_LT(Rms(hop), 0.45);
    // The device started recording and playing: its state changed, the list did not.
    EXPECT_EQ(changes, 0);

    // A device that goes away closes the stream, and leaves the list.
    ASSERT_EQ(stream.Open(source), 0);
    ASSERT_EQ(ReadHop(stream, hop), 0);
    ASSERT_TRUE(daemon.Pactl("unload-module module-null-source"));
    EXPECT_EQ(ReadHop(stream, hop), CaptureStream::kClosed);
    EXPECT_TRUE(Eventually([&] { return changes > 0; }));
    EXPECT_TRUE(Eventually([&] { return stream.Open(source) == CaptureStream::kNoDevice; }));

    // A lost server closes the stream; without it there are no devices and
    // nothing starts, as for an input that never reached a server.
    ASSERT_EQ(stream.Open(monitor), 0);
    ASSERT_EQ(ReadHop(stream, hop), 0);
    const int beforeLoss = changes;
    daemon.Kill();
    EXPECT_EQ(ReadHop(stream, hop), CaptureStream::kClosed);
    EXPECT_TRUE(Eventually([&] { return changes > beforeLoss; }));
    const std::unique_ptr<SoundInput> never = CreatePlatformSoundInput(daemon.server());
    for (SoundInput* lost : {input.get(), never.get()}) {
        std::vector<SoundDevice> devices{{"stale", "stale", false}};
        EXPECT_EQ(lost->ListDevices(devices), 0);
        EXPECT_TRUE(devices.empty());
        EXPECT_NE(lost->DefaultDeviceIdentifier(name), 0);
        EXPECT_NE(lost->StartCapture("", nullptr, nullptr), 0);
    }

    // The server back: it is taken up again.
    const int beforeReturn = changes;
    ASSERT_TRUE(daemon.Start());
    EXPECT_TRUE(Eventually([&] { return changes > beforeReturn; }, seconds(15)));
    EXPECT_TRUE(Eventually([&] { return stream.Open(monitor) == 0; }));
    EXPECT_EQ(ReadHop(stream, hop), 0);
}

}  // namespace
}  // namespace quil
