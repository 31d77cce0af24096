// The system's sound capture on Windows (DirectSound): the device list and a
// capture that receives a tone. The tone comes from outside: the test runner
// plays it into a sound device and names that device's capture side in
// HARKBOX_TONE_DEVICE (scripts/build-windows: a PulseAudio null sink under
// Wine, "Monitor of HarkboxToneSink"); without it the test skips.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/PlatformSoundInput.h"

namespace quil {
namespace {

using Clock = std::chrono::steady_clock;

TEST(DirectSoundCaptureTest, ListsTheToneDeviceAndCapturesTheTone) {
    const char* toneDevice = std::getenv("HARKBOX_TONE_DEVICE");
    if (!toneDevice || !*toneDevice)
        GTEST_SKIP() << "HARKBOX_TONE_DEVICE names no device playing a tone";
    std::unique_ptr<SoundInput> input = CreatePlatformSoundInput();

    std::vector<SoundDevice> devices;
    ASSERT_EQ(input->ListDevices(devices), 0);
    const auto tone = std::find_if(devices.begin(), devices.end(), [&](const SoundDevice& device) {
        return device.name == toneDevice;
    });
    ASSERT_NE(tone, devices.end()) << devices.size() << " devices, none named " << toneDevice;
    EXPECT_FALSE(tone->identifier.empty());

    std::mutex mutex;
    size_t samples = 0;
    int loudest = 0;
    std::atomic<int> ended{0};
    ASSERT_EQ(input->StartCapture(
                  tone->identifier,
                  [&](const int16_t* block, size_t count) {
                      std::lock_guard<std::mutex> lock(mutex);
                      samples += count;
                      for (size_t i = 0; i < count; ++i)
                          loudest = std::max(loudest, std::abs(int(block[i])));
                  },
                  [&](int error) { ended = error == 0 ? -1 : error; }),
              0);
    // Capture under Wine starts a second or two late: wait for a second of
    // sound with a tone in it, or give up after 20 seconds.
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    bool heard = false;
    while (!heard && Clock::now() < deadline && ended == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::lock_guard<std::mutex> lock(mutex);
        heard = samples >= size_t(SoundInput::kRate) && loudest > 1000;
    }
    input->StopCapture();
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_TRUE(heard) << samples << " samples, loudest " << loudest << ", ended " << ended;
    EXPECT_EQ(ended, 0);
}

}  // namespace
}  // namespace quil
