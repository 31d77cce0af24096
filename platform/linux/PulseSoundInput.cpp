#include "platform/linux/PulseSoundInput.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "platform/PlatformSoundInput.h"

namespace quil {

namespace {

constexpr int32_t kFirstRetryMs = 100;
constexpr int32_t kLastRetryMs = 2000;
// How long a caller waits for the server to answer a connection or a capture.
constexpr auto kAnswerTimeout = std::chrono::seconds(5);
// One analysis hop of samples: blocks come often enough that a reader
// waiting for a hop does not wait for the server's default 2-second fragments.
constexpr uint32_t kFragmentBytes = 1024 * sizeof(int16_t);

int ErrorOr(int error, int fallback) {
    return error != 0 ? error : fallback;
}

}  // namespace

std::unique_ptr<SoundInput> CreatePlatformSoundInput(const std::string& server) {
    return std::make_unique<PulseSoundInput>(server);
}

PulseSoundInput::PulseSoundInput(std::string server)
    : server_(std::move(server)), retryMs_(kFirstRetryMs) {
    loop_ = pa_threaded_mainloop_new();
    if (!loop_)
        return;
    // The first connection is set up before the loop's thread exists. So is
    // the thread lookup of LockLoop: libpulse creates its lock lazily and
    // publishes it with atomics that ThreadSanitizer cannot see, so it must
    // exist before the loop's thread starts.
    Connect();
    pa_threaded_mainloop_in_thread(loop_);
    if (pa_threaded_mainloop_start(loop_) < 0) {
        if (context_)
            pa_context_unref(context_);
        pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
        return;
    }
    std::unique_lock<std::mutex> lock(answerMutex_);
    answered_.wait_for(lock, kAnswerTimeout, [this] { return settled_; });
}

PulseSoundInput::~PulseSoundInput() {
    if (!loop_)
        return;
    pa_threaded_mainloop_lock(loop_);
    DropStream();
    onChange_ = nullptr;
    if (retry_) {
        pa_threaded_mainloop_get_api(loop_)->time_free(retry_);
        retry_ = nullptr;
    }
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_set_subscribe_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
}

int PulseSoundInput::ListDevices(std::vector<SoundDevice>& devices) {
    devices.clear();
    if (!loop_)
        return 0;
    const bool locked = LockLoop();
    if (connected_)
        devices = devices_;
    UnlockLoop(locked);
    return 0;
}

int PulseSoundInput::DefaultDeviceIdentifier(std::string& identifier) {
    if (!loop_)
        return PA_ERR_INTERNAL;
    const bool locked = LockLoop();
    int error = 0;
    if (!connected_)
        error = PA_ERR_CONNECTIONREFUSED;
    else if (defaultSource_.empty())
        error = PA_ERR_NOENTITY;
    else
        identifier = defaultSource_;
    UnlockLoop(locked);
    return error;
}

int PulseSoundInput::StartCapture(const std::string& identifier, BlockCallback onBlock,
                                  EndCallback onEnd) {
    if (!loop_)
        return PA_ERR_INTERNAL;
    // Waiting for the server's answer needs the loop to run.
    if (pa_threaded_mainloop_in_thread(loop_))
        return PA_ERR_BADSTATE;
    pa_threaded_mainloop_lock(loop_);
    DropStream();
    if (!connected_) {
        pa_threaded_mainloop_unlock(loop_);
        return PA_ERR_CONNECTIONREFUSED;
    }
    const pa_sample_spec format{PA_SAMPLE_S16LE, static_cast<uint32_t>(kRate), 1};
    stream_ = pa_stream_new(context_, "Harkbox input", &format, nullptr);
    if (!stream_) {
        const int error = ErrorOr(pa_context_errno(context_), PA_ERR_INTERNAL);
        pa_threaded_mainloop_unlock(loop_);
        return error;
    }
    onBlock_ = std::move(onBlock);
    onEnd_ = std::move(onEnd);
    {
        std::lock_guard<std::mutex> guard(answerMutex_);
        streamAnswer_ = Answer::kNone;
        streamError_ = 0;
    }
    pa_stream_set_state_callback(stream_, OnStreamState, this);
    pa_stream_set_read_callback(stream_, OnStreamRead, this);
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<uint32_t>(-1);
    attributes.tlength = static_cast<uint32_t>(-1);
    attributes.prebuf = static_cast<uint32_t>(-1);
    attributes.minreq = static_cast<uint32_t>(-1);
    attributes.fragsize = kFragmentBytes;
    // A named device is recorded or nothing; the default follows the server.
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | (identifier.empty() ? 0 : PA_STREAM_DONT_MOVE));
    if (pa_stream_connect_record(stream_, identifier.empty() ? nullptr : identifier.c_str(),
                                 &attributes, flags) < 0) {
        const int error = ErrorOr(pa_context_errno(context_), PA_ERR_INTERNAL);
        DropStream();
        pa_threaded_mainloop_unlock(loop_);
        return error;
    }
    pa_stream* started = stream_;
    pa_threaded_mainloop_unlock(loop_);

    Answer answer;
    int error;
    {
        std::unique_lock<std::mutex> lock(answerMutex_);
        answered_.wait_for(lock, kAnswerTimeout, [this] { return streamAnswer_ != Answer::kNone; });
        answer = streamAnswer_;
        error = streamError_;
    }

    pa_threaded_mainloop_lock(loop_);
    if (answer == Answer::kReady && stream_ == started &&
        pa_stream_get_state(stream_) == PA_STREAM_READY) {
        streamRunning_ = true;
        pa_threaded_mainloop_unlock(loop_);
        return 0;
    }
    if (stream_ == started)
        DropStream();
    pa_threaded_mainloop_unlock(loop_);
    return answer == Answer::kNone ? PA_ERR_TIMEOUT : ErrorOr(error, PA_ERR_UNKNOWN);
}

void PulseSoundInput::StopCapture() {
    if (!loop_)
        return;
    const bool locked = LockLoop();
    DropStream();
    UnlockLoop(locked);
}

void PulseSoundInput::SetChangeCallback(ChangeCallback onChange) {
    if (!loop_)
        return;
    const bool locked = LockLoop();
    onChange_ = std::move(onChange);
    UnlockLoop(locked);
}

void PulseSoundInput::OnContextState(pa_context* context, void* self) {
    auto* input = static_cast<PulseSoundInput*>(self);
    if (context != input->context_)
        return;
    switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY: {
            input->retryMs_ = kFirstRetryMs;
            pa_context_set_subscribe_callback(context, OnSubscription, input);
            const auto mask = static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SOURCE |
                                                                  PA_SUBSCRIPTION_MASK_SERVER);
            if (pa_operation* operation = pa_context_subscribe(context, mask, nullptr, nullptr))
                pa_operation_unref(operation);
            input->Refresh();
            break;
        }
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            input->ConnectionLost();
            break;
        default:
            break;
    }
}

void PulseSoundInput::OnSubscription(pa_context* context, pa_subscription_event_type_t, uint32_t,
                                     void* self) {
    auto* input = static_cast<PulseSoundInput*>(self);
    if (context == input->context_)
        input->Refresh();
}

void PulseSoundInput::OnServerInfo(pa_context* context, const pa_server_info* info, void* self) {
    auto* input = static_cast<PulseSoundInput*>(self);
    if (context != input->context_)
        return;
    input->gatheringDefault_ =
        info && info->default_source_name ? info->default_source_name : std::string();
    // Asked only now so that the list and the default describe one moment.
    if (pa_operation* operation = pa_context_get_source_info_list(context, OnSourceInfo, input))
        pa_operation_unref(operation);
}

void PulseSoundInput::OnSourceInfo(pa_context* context, const pa_source_info* info, int last,
                                   void* self) {
    auto* input = static_cast<PulseSoundInput*>(self);
    if (context != input->context_)
        return;
    if (last == 0 && info) {
        SoundDevice device;
        device.identifier = info->name ? info->name : "";
        device.name = info->description ? info->description : device.identifier;
        device.isMonitor = info->monitor_of_sink != PA_INVALID_INDEX;
        input->gathering_.push_back(std::move(device));
        return;
    }
    // A failed list (last < 0) says nothing about the devices: keep the old one.
    if (last > 0) {
        input->connected_ = true;
        input->Publish(std::move(input->gathering_), std::move(input->gatheringDefault_));
    }
    input->gathering_.clear();
    input->gatheringDefault_.clear();
    input->Settle();
}

void PulseSoundInput::OnRetry(pa_mainloop_api* api, pa_time_event* event, const struct timeval*,
                              void* self) {
    auto* input = static_cast<PulseSoundInput*>(self);
    api->time_free(event);
    input->retry_ = nullptr;
    // The failed context is released here rather than in its own callback.
    if (input->context_) {
        pa_context_set_state_callback(input->context_, nullptr, nullptr);
        pa_context_set_subscribe_callback(input->context_, nullptr, nullptr);
        pa_context_unref(input->context_);
        input->context_ = nullptr;
    }
    input->Connect();
}

void PulseSoundInput::OnStreamState(pa_stream* stream, void* self) {
    auto* input = static_cast<PulseSoundInput*>(self);
    if (stream != input->stream_)
        return;
    switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY:
            input->Answered(Answer::kReady, 0);
            break;
        case PA_STREAM_FAILED:
        case PA_STREAM_TERMINATED: {
            const int error =
                ErrorOr(pa_context_errno(pa_stream_get_context(stream)), PA_ERR_KILLED);
            if (input->streamRunning_)
                input->EndRunningCapture(error);
            else
                input->Answered(Answer::kFailed, error);
            break;
        }
        default:
            break;
    }
}

void PulseSoundInput::OnStreamRead(pa_stream* stream, size_t, void* self) {
    auto* input = static_cast<PulseSoundInput*>(self);
    if (stream != input->stream_)
        return;
    while (pa_stream_readable_size(stream) > 0) {
        const void* data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
            break;
        // No data with a size is a hole in the recording: nothing to deliver.
        if (data && input->onBlock_)
            input->onBlock_(static_cast<const int16_t*>(data), bytes / sizeof(int16_t));
        pa_stream_drop(stream);
    }
}

void PulseSoundInput::Connect() {
    context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Harkbox");
    if (!context_) {
        ScheduleRetry();
        Settle();
        return;
    }
    pa_context_set_state_callback(context_, OnContextState, this);
    // Starting a server is the desktop session's business, not ours; without
    // the flag a test's private server could be shadowed by a spawned one.
    if (pa_context_connect(context_, server_.empty() ? nullptr : server_.c_str(),
                           PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        ConnectionLost();
}

void PulseSoundInput::ConnectionLost() {
    connected_ = false;
    if (stream_ && streamRunning_)
        EndRunningCapture(PA_ERR_CONNECTIONTERMINATED);
    else if (stream_)
        Answered(Answer::kFailed, PA_ERR_CONNECTIONTERMINATED);
    Publish({}, {});
    ScheduleRetry();
    Settle();
}

void PulseSoundInput::ScheduleRetry() {
    if (retry_)
        return;
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, static_cast<pa_usec_t>(retryMs_) * PA_USEC_PER_MSEC);
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
    retry_ = api->time_new(api, &when, OnRetry, this);
    retryMs_ = std::min(retryMs_ * 2, kLastRetryMs);
}

void PulseSoundInput::Refresh() {
    if (pa_operation* operation = pa_context_get_server_info(context_, OnServerInfo, this))
        pa_operation_unref(operation);
}

void PulseSoundInput::Publish(std::vector<SoundDevice> devices, std::string defaultSource) {
    if (devices == devices_ && defaultSource == defaultSource_)
        return;
    devices_ = std::move(devices);
    defaultSource_ = std::move(defaultSource);
    // A copy: the callback may replace itself.
    ChangeCallback notify = onChange_;
    if (notify)
        notify();
}

void PulseSoundInput::EndRunningCapture(int error) {
    streamRunning_ = false;
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    onBlock_ = nullptr;
    EndCallback end = std::move(onEnd_);
    onEnd_ = nullptr;
    if (end)
        end(error);
}

void PulseSoundInput::DropStream() {
    if (!stream_)
        return;
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    const pa_stream_state_t state = pa_stream_get_state(stream_);
    if (state == PA_STREAM_CREATING || state == PA_STREAM_READY)
        pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
    streamRunning_ = false;
    onBlock_ = nullptr;
    onEnd_ = nullptr;
}

void PulseSoundInput::Settle() {
    std::lock_guard<std::mutex> guard(answerMutex_);
    settled_ = true;
    answered_.notify_all();
}

void PulseSoundInput::Answered(Answer answer, int error) {
    std::lock_guard<std::mutex> guard(answerMutex_);
    streamAnswer_ = answer;
    streamError_ = error;
    answered_.notify_all();
}

bool PulseSoundInput::LockLoop() {
    if (pa_threaded_mainloop_in_thread(loop_))
        return false;
    pa_threaded_mainloop_lock(loop_);
    return true;
}

void PulseSoundInput::UnlockLoop(bool locked) {
    if (locked)
        pa_threaded_mainloop_unlock(loop_);
}

}  // namespace quil
