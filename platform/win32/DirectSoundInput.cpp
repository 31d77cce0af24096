#include "platform/win32/DirectSoundInput.h"

#include <windows.h>
// After windows.h, which they need.
#include <dbt.h>
#include <dsound.h>
#include <mmsystem.h>

#include <chrono>
#include <future>
#include <memory>

#include "platform/PlatformSoundInput.h"
#include "platform/win32/WideText.h"

namespace quil {
namespace {

constexpr wchar_t kNotificationClass[] = L"quil::DeviceNotification";
constexpr UINT kStopMessage = WM_APP + 1;
// Five seconds of 16-bit mono samples.
constexpr DWORD kBufferBytes = SoundInput::kRate * 2 * 5;
// How often the capture thread looks for new samples.
constexpr auto kPollInterval = std::chrono::milliseconds(10);

int ErrorOf(HRESULT result) {
    return static_cast<int>(static_cast<uint32_t>(result) & 0x7FFFFFFFu);
}

std::string TextOf(const GUID& guid) {
    wchar_t text[64];
    const int length = StringFromGUID2(guid, text, 64);
    return length > 1 ? Narrow(std::wstring_view(text, static_cast<size_t>(length - 1)))
                      : std::string();
}

BOOL CALLBACK AddDevice(LPGUID guid, LPCWSTR description, LPCWSTR, LPVOID context) {
    auto& devices = *static_cast<std::vector<SoundDevice>*>(context);
    SoundDevice device;
    device.name = description ? Narrow(description) : std::string();
    device.identifier = guid ? TextOf(*guid) : std::string();
    devices.push_back(std::move(device));
    return TRUE;
}

// COM for the calling thread, for as long as the object lives.
class ComScope {
  public:
    ComScope() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~ComScope() {
        if (initialised_)
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool initialised_;
};

template <typename T>
struct Releaser {
    void operator()(T* object) const { object->Release(); }
};
template <typename T>
using ComPointer = std::unique_ptr<T, Releaser<T>>;

LRESULT CALLBACK NotificationProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kStopMessage) {
        DestroyWindow(window);
        PostQuitMessage(0);
        return 0;
    }
    // A task manager's close request reaches every top-level window of the
    // program: the main window answers it; this one lives as long as its
    // object, whose destructor waits for its thread.
    if (message == WM_CLOSE)
        return 0;
    if (message == WM_DEVICECHANGE && wParam == DBT_DEVNODES_CHANGED) {
        auto* onChange =
            reinterpret_cast<std::function<void()>*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (onChange)
            (*onChange)();
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

DirectSoundInput::DirectSoundInput() {
    std::promise<void> ready;
    std::future<void> made = ready.get_future();
    // The thread owns the promise: set_value may still be running when the
    // constructor has returned.
    notifier_ = std::thread([this, ready = std::move(ready)]() mutable {
        static const bool registered = [] {
            WNDCLASSEXW windowClass{};
            windowClass.cbSize = sizeof windowClass;
            windowClass.lpfnWndProc = NotificationProcedure;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = kNotificationClass;
            return RegisterClassExW(&windowClass) != 0 ||
                   GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
        }();
        // A top-level window (not message-only): only those get broadcasts.
        HWND window = registered
                          ? CreateWindowExW(0, kNotificationClass, L"", 0, CW_USEDEFAULT,
                                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                            nullptr, GetModuleHandleW(nullptr), nullptr)
                          : nullptr;
        std::function<void()> onChange = [this] {
            std::lock_guard<std::mutex> lock(mutex_);
            if (onChange_)
                onChange_();
        };
        if (window)
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&onChange));
        notifyWindow_ = window;
        ready.set_value();
        if (!window)
            return;
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    });
    made.wait();
}

DirectSoundInput::~DirectSoundInput() {
    StopCapture();
    if (void* window = notifyWindow_.load())
        PostMessageW(static_cast<HWND>(window), kStopMessage, 0, 0);
    notifier_.join();
}

int DirectSoundInput::ListDevices(std::vector<SoundDevice>& devices) {
    devices.clear();
    // A failing enumeration leaves what it found so far; none is no error.
    DirectSoundCaptureEnumerateW(AddDevice, &devices);
    return 0;
}

int DirectSoundInput::DefaultDeviceIdentifier(std::string& identifier) {
    GUID guid{};
    const HRESULT result = GetDeviceID(&DSDEVID_DefaultCapture, &guid);
    if (FAILED(result))
        return ErrorOf(result);
    identifier = TextOf(guid);
    return 0;
}

int DirectSoundInput::StartCapture(const std::string& identifier, BlockCallback onBlock,
                                   EndCallback onEnd) {
    StopCapture();
    std::promise<int> started;
    std::future<int> answer = started.get_future();
    stopCapture_ = false;
    capture_ = std::thread(&DirectSoundInput::Capture, this, identifier, std::move(onBlock),
                           std::move(onEnd), &started);
    if (answer.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // A driver that never answers: the thread is told to give up as soon
        // as it can; it reports to `started` before it looks.
        stopCapture_ = true;
        capture_.join();
        return ErrorOf(HRESULT_FROM_WIN32(ERROR_TIMEOUT));
    }
    const int error = answer.get();
    if (error != 0)
        capture_.join();
    return error;
}

void DirectSoundInput::StopCapture() {
    stopCapture_ = true;
    if (capture_.joinable())
        capture_.join();
}

void DirectSoundInput::SetChangeCallback(ChangeCallback onChange) {
    std::lock_guard<std::mutex> lock(mutex_);
    onChange_ = std::move(onChange);
}

void DirectSoundInput::Capture(std::string identifier, BlockCallback onBlock, EndCallback onEnd,
                               std::promise<int>* started) {
    ComScope com;
    GUID guid{};
    const bool specific = !identifier.empty();
    if (specific && FAILED(IIDFromString(Widen(identifier).c_str(), &guid))) {
        started->set_value(ErrorOf(DSERR_NODRIVER));
        return;
    }
    IDirectSoundCapture* rawCapture = nullptr;
    HRESULT result = DirectSoundCaptureCreate8(specific ? &guid : nullptr, &rawCapture, nullptr);
    if (FAILED(result)) {
        started->set_value(ErrorOf(result));
        return;
    }
    ComPointer<IDirectSoundCapture> capture(rawCapture);

    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = SoundInput::kRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = SoundInput::kRate * 2;
    DSCBUFFERDESC description{};
    description.dwSize = sizeof description;
    description.dwBufferBytes = kBufferBytes;
    description.lpwfxFormat = &format;
    IDirectSoundCaptureBuffer* rawBuffer = nullptr;
    result = capture->CreateCaptureBuffer(&description, &rawBuffer, nullptr);
    if (FAILED(result)) {
        started->set_value(ErrorOf(result));
        return;
    }
    ComPointer<IDirectSoundCaptureBuffer> buffer(rawBuffer);
    result = buffer->Start(DSCBSTART_LOOPING);
    started->set_value(FAILED(result) ? ErrorOf(result) : 0);
    if (FAILED(result))
        return;

    DWORD offset = 0;  // the next byte to hand on
    while (!stopCapture_) {
        DWORD readable = 0;
        result = buffer->GetCurrentPosition(nullptr, &readable);
        DWORD bytes = 0;
        if (SUCCEEDED(result))
            bytes = ((readable + kBufferBytes - offset) % kBufferBytes) & ~DWORD{1};
        void* first = nullptr;
        void* second = nullptr;
        DWORD firstBytes = 0;
        DWORD secondBytes = 0;
        if (SUCCEEDED(result) && bytes > 0)
            result = buffer->Lock(offset, bytes, &first, &firstBytes, &second, &secondBytes, 0);
        if (FAILED(result)) {
            // The device went away: the end is the last word of this capture.
            std::lock_guard<std::mutex> lock(mutex_);
            if (onEnd)
                onEnd(ErrorOf(result));
            break;
        }
        if (bytes > 0) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (onBlock && firstBytes > 0)
                    onBlock(static_cast<const int16_t*>(first), firstBytes / 2);
                if (onBlock && second && secondBytes > 0)
                    onBlock(static_cast<const int16_t*>(second), secondBytes / 2);
            }
            buffer->Unlock(first, firstBytes, second, secondBytes);
            offset = (offset + bytes) % kBufferBytes;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    buffer->Stop();
}

std::unique_ptr<SoundInput> CreatePlatformSoundInput(const std::string&) {
    return std::make_unique<DirectSoundInput>();
}

}  // namespace quil
