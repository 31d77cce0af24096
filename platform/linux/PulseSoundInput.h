#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <pulse/pulseaudio.h>

#include "platform/SoundInput.h"

namespace quil {

// PulseAudio behind the capture seam, on libpulse's threaded main loop (the
// "backend thread" of SoundInput). Devices are the server's sources,
// monitors included; identifiers are source names. The device list is kept
// current from the server's change events rather than asked for on every
// call, so listing never waits on the server. A lost server ends the running
// capture, empties the list and is reconnected with a growing delay (100 ms
// doubling to 2 s). Methods: any thread but the loop's own, one caller of
// StartCapture/StopCapture at a time; the destructor not from a callback.
class PulseSoundInput final : public SoundInput {
  public:
    // `server`: as for CreatePlatformSoundInput. Waits at most a few
    // seconds for the server's first answer.
    explicit PulseSoundInput(std::string server);
    ~PulseSoundInput() override;
    PulseSoundInput(const PulseSoundInput&) = delete;
    PulseSoundInput& operator=(const PulseSoundInput&) = delete;

    int ListDevices(std::vector<SoundDevice>& devices) override;
    int DefaultDeviceIdentifier(std::string& identifier) override;
    int StartCapture(const std::string& identifier, BlockCallback onBlock,
                     EndCallback onEnd) override;
    void StopCapture() override;
    void SetChangeCallback(ChangeCallback onChange) override;

  private:
    enum class Answer { kNone, kReady, kFailed };

    static void OnContextState(pa_context* context, void* self);
    static void OnSubscription(pa_context* context, pa_subscription_event_type_t event,
                               uint32_t index, void* self);
    static void OnServerInfo(pa_context* context, const pa_server_info* info, void* self);
    static void OnSourceInfo(pa_context* context, const pa_source_info* info, int last, void* self);
    static void OnRetry(pa_mainloop_api* api, pa_time_event* event, const struct timeval* when,
                        void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnStreamRead(pa_stream* stream, size_t bytes, void* self);

    // The rest need the loop lock.
    void Connect();
    void ConnectionLost();
    void ScheduleRetry();
    void Refresh();
    void Publish(std::vector<SoundDevice> devices, std::string defaultSource);
    void EndRunningCapture(int error);
    void DropStream();
    void Settle();
    void Answered(Answer answer, int error);
    // Takes the loop lock unless the caller is the loop's thread, which
    // holds it already; answers whether it was taken.
    bool LockLoop();
    void UnlockLoop(bool locked);

    const std::string server_;
    pa_threaded_mainloop* loop_ = nullptr;

    // Guarded by the loop lock.
    pa_context* context_ = nullptr;
    pa_time_event* retry_ = nullptr;
    int32_t retryMs_;
    bool connected_ = false;  // ready, and the first list is in
    std::vector<SoundDevice> devices_;
    std::string defaultSource_;
    std::vector<SoundDevice> gathering_;  // the list being answered
    std::string gatheringDefault_;
    pa_stream* stream_ = nullptr;
    bool streamRunning_ = false;  // StartCapture succeeded; its end goes to onEnd_
    BlockCallback onBlock_;
    EndCallback onEnd_;
    ChangeCallback onChange_;

    // Answers that callers wait for; after the loop lock in lock order.
    std::mutex answerMutex_;
    std::condition_variable answered_;
    bool settled_ = false;  // the first connection attempt is answered
    Answer streamAnswer_ = Answer::kNone;
    int streamError_ = 0;
};

}  // namespace quil
