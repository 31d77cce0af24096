#include "app/Application.h"

#include <algorithm>
#include <cstdio>

#include "app/SettingsStore.h"
#include "data/SkinArtworkData.h"
#include "platform/PlatformSoundInput.h"

namespace quil {

namespace {

const char kOriginValue[] = "HarkboxWindowOrigin";
const char kWidthValue[] = "HarkboxWindowWidth";

}  // namespace

Application::Application(std::string_view programPath, std::unique_ptr<SoundInput> input)
    : settingsKey_(SettingsStore::BuildSettingsKey(programPath)),
      soundInput_(std::move(input)),
      self_(std::make_shared<Application*>(this)),
      inputSettings_(
          settingsKey_, *processes_,
          [this](const std::string& name) { return OnInputDeviceChosen(name); },
          [this](std::vector<std::string>& names) {
              if (soundInput_)
                  CaptureDevices::ListCaptureDeviceNames(*soundInput_, names);
          }) {}

Application::~Application() {
    // No device change or capture end reaches this object any more, and
    // tasks already posted find it gone.
    if (soundInput_)
        soundInput_->SetChangeCallback(nullptr);
    *self_ = nullptr;
    Show(false);
    if (started_) {
        // One guarded block: a failed origin write skips the width.
        try {
            const Rect rect = GetWindowRect();
            SettingsStore::WritePoint(settingsKey_, kOriginValue, rect.left, rect.top);
            SettingsStore::WriteInt(settingsKey_, kWidthValue, static_cast<int32_t>(rect.Width()));
        } catch (...) {
        }
        // Nothing is left to store: a further end request may end the
        // process at once.
        system_->SetEndRequestHandler({});
    }
    runWorkers_.RequestStop();
    statusTickers_.RequestStop();
    waveformTickers_.RequestStop();
    // A run's analysis may be waiting for sound; a closed stream ends it.
    if (capture_)
        capture_->Close();
    runWorkers_.Wait();
    statusTickers_.Wait();
    waveformTickers_.Wait();
    // The members go next, views before the images and fonts they show;
    // the native window goes last, with the Window base.
}

int Application::Start(WindowSystem& system) {
    int32_t x = kDefaultX;
    int32_t y = kDefaultY;
    try {
        SettingsStore::ReadPoint(settingsKey_, kOriginValue, x, y);
    } catch (...) {
        x = kDefaultX;
        y = kDefaultY;
    }
    int32_t width = kDefaultWidth;
    try {
        width = SettingsStore::ReadInt(settingsKey_, kWidthValue);
    } catch (...) {
        width = kDefaultWidth;
    }
    // A width the user could not have dragged to (an edited or damaged
    // file) would lay the window out upside down.
    if (width < kMinWidth || width > kMaxWidth)
        width = kDefaultWidth;

    if (!LoadSkinArtwork(art_)) {
        std::fputs("Harkbox: the skin images are damaged\n", stderr);
        return kNoSkin;
    }
    height_ = static_cast<int32_t>(art_.leftCapMask.bounds().Height());
    width_ = width;

    system_ = &system;
    // The work-area clamp of creation brings any stored corner on screen.
    // Should the window still not come up where the stored values put it,
    // it opens at the defaults: a start must not fail for good on what the
    // last one stored.
    int created = Create(system, Rect::Sized(x, y, width, height_), kCreationFlags);
    const bool stored = x != kDefaultX || y != kDefaultY || width != kDefaultWidth;
    if (created != 0 && stored) {
        width = kDefaultWidth;
        width_ = width;
        created = Create(system, Rect::Sized(kDefaultX, kDefaultY, width, height_), kCreationFlags);
    }
    if (created != 0) {
        std::fprintf(stderr, "Harkbox: cannot create the main window (error %d)\n", created);
        return created;
    }
    SetTitle("Harkbox");
    SetTrackingLimits(kMinWidth, height_, kMaxWidth, height_);

    {
        LockGuard hold(*this);
        if (!skin_.Build(art_, Skin::kBackgroundColour, Skin::kBackgroundOpacity,
                         Skin::kControlColour)) {
            std::fputs("Harkbox: out of memory for the skin\n", stderr);
            return kNoSkin;
        }
        if (!BuildViews()) {
            std::fputs("Harkbox: no font found\n", stderr);
            return kNoFont;
        }
    }
    if (!soundInput_)
        soundInput_ = CreatePlatformSoundInput();
    devices_ = std::make_unique<CaptureDevices>(*soundInput_);
    capture_ = std::make_unique<CaptureStream>(*soundInput_);
    // Both arrive on the sound input's thread, which may do no more than
    // post the work to the main thread.
    capture_->SetEndedCallback([this] { PostToMain(&Application::CaptureEnded); });
    soundInput_->SetChangeCallback([this] { PostToMain(&Application::ChooseDevice); });
    SetWaveformSamples([capture = capture_.get()](int32_t count, float* out, int32_t step) {
        return capture->Peek(count, out, step);
    });
    ChooseDevice();
    waveformTickers_.Start(WaveformTickerMain, this);
    // A logout or Ctrl-C closes the window like its "Close" item.
    system.SetEndRequestHandler([this] { command(CommandCode("quit"), 0); });
    started_ = true;
    return 0;
}

bool Application::moved(int32_t, int32_t) {
    RefreshWindowRect();
    return true;
}

bool Application::isResizeArea(int32_t screenX, int32_t screenY) {
    const Rect r = GetWindowRect();
    const bool edge =
        r.right - 8 <= screenX && screenX < r.right && r.top <= screenY && screenY < r.bottom;
    const bool corner = r.right - 22 <= screenX && screenX < r.right && r.bottom - 22 <= screenY &&
                        screenY < r.bottom;
    return edge || corner;
}

bool Application::isClientArea(int32_t screenX, int32_t screenY) {
    const Rect r = GetWindowRect();
    LockGuard hold(*this);
    return HitControl(static_cast<int32_t>(int64_t{screenX} - r.left),
                      static_cast<int32_t>(int64_t{screenY} - r.top)) != nullptr;
}

bool Application::isCaptionArea(int32_t, int32_t) {
    return true;
}

void Application::SetWaveformSamples(WaveformTicker::Fetch fetch) {
    LockGuard hold(*this);
    waveformSamples_ = std::move(fetch);
}

bool Application::DrawWaveformPass() {
    LockGuard hold(*this);
    if (!waveformView_ || !waveformMask_.IsWritable())
        return false;
    std::vector<float> samples(size_t(waveformMask_.bounds().Width()) +
                               WaveformTicker::kTriggerSpan);
    WaveformTicker::FetchSamples(waveformSamples_, samples);
    // An unchanged band (silence, a closed device) is neither painted nor
    // presented again: the idle window costs next to nothing.
    if (!waveformTicker_.Redraw(waveformMask_, samples))
        return false;
    waveformView_->invalidate();
    update();
    return true;
}

void Application::RunWaveformTicker(StopToken& token) {
    int32_t unchanged = 0;
    for (;;) {
        if (token.IsStopRequested())
            return;
        {
            LockGuard hold(*this);
            // Asked again under the lock: a stop requested while this thread
            // waited for it must not be followed by one more pass.
            if (token.IsStopRequested())
                return;
            unchanged = DrawWaveformPass() ? 0 : std::min(unchanged + 1, int32_t{1000});
        }
        if (token.WaitFor(WaveformTicker::PeriodMs(unchanged)))
            return;
    }
}

void Application::WaveformTickerMain(void** argument, StopToken* token) {
    static_cast<Application*>(*argument)->RunWaveformTicker(*token);
}

}  // namespace quil
