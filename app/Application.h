#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/InputSettingsDialog.h"
#include "app/RunOutcome.h"
#include "app/WaveformTicker.h"
#include "audio/CaptureDevices.h"
#include "audio/CaptureStream.h"
#include "gfx/FontChain.h"
#include "gfx/Mask.h"
#include "gfx/Skin.h"
#include "gfx/SkinArtwork.h"
#include "net/HostResolver.h"
#include "net/QueryClient.h"
#include "net/WebHost.h"
#include "platform/ProcessStarter.h"
#include "platform/SoundInput.h"
#include "platform/ThreadGroup.h"
#include "platform/WindowSystem.h"
#include "ui/Button.h"
#include "ui/ImageCopyView.h"
#include "ui/ImageView.h"
#include "ui/MaskView.h"
#include "ui/TextView.h"
#include "ui/Window.h"

namespace quil {

// Four-character command code: the first letter in the most significant byte.
constexpr uint32_t CommandCode(const char (&code)[5]) {
    return uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
           uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3]));
}

// The program itself and its main window: a skinned strip 66 pixels high
// and 200 to 400 wide with the find button, the input waveform under three
// status lines, the link button and three window buttons. It owns every
// view, control, image and font of the window and the program's worker
// threads. The window lock (Window::lock) is the one application lock:
// every change of a view, a status text or the run state is made under it,
// on any thread, and ends with `update`.
//
// Window coordinates are pixels from the window's top-left corner, screen
// coordinates absolute; x right, y down.
class Application : public Window {
  public:
    // Window geometry (pixels).
    static constexpr int32_t kMinWidth = 200;
    static constexpr int32_t kMaxWidth = 400;
    static constexpr int32_t kDefaultX = 40;
    static constexpr int32_t kDefaultY = 40;
    static constexpr int32_t kDefaultWidth = kMinWidth;
    // Creation flags: caption, system menu, minimise box, sizing border,
    // layered presentation, custom frame and the work-area clamp (0x10 is
    // set too and means nothing).
    static constexpr uint32_t kCreationFlags = 0x2035E;
    // What Start answers when no font can be loaded; the process then ends
    // with it.
    static constexpr int kNoFont = -1;
    // What Start answers when the embedded skin images are damaged.
    static constexpr int kNoSkin = -3;

    // Milliseconds between two passes of the status ticker.
    static constexpr int32_t kStatusTickMs = 1000;

    // Where a run looks for its service. The defaults are the build's; tests
    // point runs at services of their own on the loopback interface.
    struct Service {
        std::string webHost = kWebHost;
        int webPort = kWebPort;  // 0 means 80
        uint16_t serverPort = QueryClient::kServerPort;
        // Bounds the whole lookup: resolving the web host, fetching the
        // server's host name from it and resolving that name; 0 for none.
        int lookupTimeoutSeconds = kHostLookupTimeoutSeconds;
        int32_t handshakeAttemptMs = QueryClient::kAttemptTimeoutMs;
        // Resolves a host name as ResolveHost does, within `timeout` (0:
        // no limit) and until `stop`; empty means ResolveHost. Tests give
        // scripted resolvers.
        using Resolver = std::function<std::optional<HostEntry>(
            const std::string& name, std::chrono::milliseconds timeout, const StopToken& stop)>;
        Resolver resolve;
    };

    // Builds the members only: no window, no thread. `programPath` is the
    // executable's path as started; it names the settings key. `input` is
    // the sound input to capture from; null means the platform's, made by
    // Start.
    explicit Application(std::string_view programPath, std::unique_ptr<SoundInput> input = nullptr);
    // Hides the window, stores its origin and width and gives end requests
    // back to the system (when Start succeeded), stops every worker thread, closes the capture (so
    // that a run waiting for sound ends too), waits for the threads, then releases the skin and the
    // window.
    ~Application() override;

    // Main thread, once: reads the stored geometry, creates the native
    // window on `system` (which must outlive this object), builds the skin,
    // the views and the fonts, opens the chosen input device (which shows
    // the ready or the no-input state), starts following device changes,
    // starts the waveform ticker and takes the system's end requests as
    // "quit". Answers 0, the window system's creation
    // error, kNoFont (after writing "Harkbox: no font found\n" to standard
    // error) or kNoSkin; the program ends with that status.
    int Start(WindowSystem& system);

    // The application's command handler: true for every code it knows.
    bool command(uint32_t code, uint32_t argument) override;

    // Width change handling, then the Window behaviour (new offscreen
    // image, full redraw). Under the window lock.
    bool sizeChanged(int32_t width, int32_t height) override;
    // Refreshes the stored window rectangle from the system.
    bool moved(int32_t x, int32_t y) override;
    // Opens the popup menu at (x, y), window coordinates, and delivers the
    // chosen command; always true.
    bool rightMouseDown(int32_t x, int32_t y, int32_t clickCount, int32_t reserved) override;
    // Screen coordinates: the 8-pixel strip along the right edge and the
    // 22 × 22 corner under the grip size the window.
    bool isResizeArea(int32_t screenX, int32_t screenY) override;
    // Screen coordinates: a control is hit there.
    bool isClientArea(int32_t screenX, int32_t screenY) override;
    // Everything else moves the window.
    bool isCaptionArea(int32_t screenX, int32_t screenY) override;

    // "FIND", main thread: the find button takes its stop look and command,
    // the lines show "Looking up server" / "Please wait", and the run's
    // status ticker and worker start. A thread that cannot be started ends
    // the run at once with an outcome.
    void StartRun();
    // Back to the ready or the no-input state: stops a run and its status
    // ticker (without waiting), gives the find button its find look and
    // command, hides the link button, shows the state's two lines and sets
    // the zoom size. Any thread.
    void ShowIdleState();
    // Opens the capture on the device of this name (closing the current
    // one) and shows the no-input state when that fails, the ready state
    // when a device is open where none was; a run goes on when the stream
    // stays open. 0 when the stream is open afterwards, else -1. Main thread.
    int OnInputDeviceChosen(const std::string& name);

    // The run's worker thread: looks the server up, shakes hands, streams
    // the fingerprint and shows the outcome; a stop request ends it without
    // a change on the window.
    void RunBody(StopToken& token);
    // The run's status ticker: once a second line 1 shows the current stage
    // text with zero to three dots, until stopped.
    void StatusTickerBody(StopToken& token);

    // Replaces the result link with the page about this song (UTF-8 texts).
    // Needs the window lock.
    void BuildResultLink(const std::string& title, const std::string& artist);
    // "LINK": opens the result link with the user's country and language in
    // the browser; nothing before the first found song. Main thread.
    void OpenResultLink();
    // Opens `url` in the user's browser: through the window system's URL
    // handler, else with "xdg-open URL" started detached. Failures are
    // ignored. Main thread.
    void OpenUrl(const std::string& url);
    // Sets the zoom size to (the width the longest status line needs, at
    // least kMinWidth; the window height). Needs the window lock.
    void FitWidthToStatus();

    // One pass of the waveform ticker: takes the window lock, fetches the
    // newest samples, draws the band and, when its pixels changed, shows it
    // in the waveform mask and updates the window; answers whether they
    // changed. Any thread.
    bool DrawWaveformPass();
    // Replaces the sample source of the waveform (the capture stream's Peek
    // once there is one); an empty function draws silence. Take the window
    // lock when the ticker runs.
    void SetWaveformSamples(WaveformTicker::Fetch fetch);

    // The input device and its settings dialog.
    InputSettingsDialog& inputSettings() { return inputSettings_; }

    // Tests: where runs look for their service; set before a run starts.
    void SetService(Service service) { service_ = std::move(service); }
    const Service& service() const { return service_; }
    // Tests: what the status ticker does between two passes instead of
    // waiting kStatusTickMs; it answers true when the ticker is to end.
    // Set before a run starts; an empty function restores the wait.
    using TickerPause = std::function<bool(StopToken& token)>;
    void SetStatusTickerPause(TickerPause pause) { statusTickerPause_ = std::move(pause); }
    // Blocks until the run's worker and status ticker have ended. Not with
    // the window lock held.
    void WaitForRun();

    // The stored settings' key name.
    const std::string& settingsKey() const { return settingsKey_; }
    // The result link; needs the window lock.
    const std::string& resultLink() const { return resultLink_; }
    // Null before Start.
    CaptureStream* captureStream() const { return capture_.get(); }
    CaptureDevices* captureDevices() const { return devices_.get(); }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

    // The views and controls, for tests; null before Start built them.
    TextView* statusLine(int index) const { return statusLines_[index]; }
    Button* findButton() const { return findButton_; }
    Button* linkButton() const { return linkButton_; }
    MaskView* waveformView() const { return waveformView_; }
    const Mask& waveformMask() const { return waveformMask_; }
    Button* closeButton() const { return closeButton_.get(); }
    Button* zoomButton() const { return zoomButton_.get(); }
    Button* minimizeButton() const { return minimizeButton_.get(); }
    ImageCopyView* leftEndView() const { return leftEnd_.get(); }
    ImageCopyView* middleView() const { return middle_.get(); }
    ImageCopyView* rightEndView() const { return rightEnd_.get(); }
    ImageView* gripView() const { return grip_.get(); }

  private:
    // The views and controls in paint order; false when no font loads.
    bool BuildViews();
    // Moves and resizes every element for a width change of d pixels.
    void ApplyWidthChange(int32_t d);
    // True while an input device is open.
    bool InputOpen() const;
    void PostQuit();

    // The device choice with the stored setting, at start-up and after
    // every device change; main thread.
    void ChooseDevice();
    // A capture that ended by itself shows the no-input state; main thread.
    void CaptureEnded();
    // Any thread: runs `task` on the main thread, unless this object is
    // gone by then.
    void PostToMain(void (Application::*task)());

    // The find button's two looks with their commands; window lock held.
    void ShowFindLook();
    void ShowStopLook();
    // A new stage on line 1 and for the status ticker; false (and nothing
    // shown) when the run was stopped. Takes the window lock.
    bool ShowStage(const StopToken& token, const char* text);
    // Shows how the run ended: nothing when `token` (may be null) shows a
    // stop, tested under the window lock so that a cancel is never
    // overwritten. Stops the status ticker. `title` and `artist` fill the
    // lines of a found song.
    void ShowOutcome(const StopToken* token, const RunOutcome& outcome,
                     const std::string& title = {}, const std::string& artist = {});
    static void RunWorkerMain(void** argument, StopToken* token);
    static void StatusTickerMain(void** argument, StopToken* token);
    // The waveform ticker thread's body: a pass every 40 ms until stopped,
    // every 200 ms while the band stays as it is.
    void RunWaveformTicker(StopToken& token);
    static void WaveformTickerMain(void** argument, StopToken* token);

    // Diagnostic level; nothing raises it.
    int32_t verbosity_ = 0;
    std::string settingsKey_;
    // The sound input is released after the stream, the devices and the
    // dialog that use it.
    std::unique_ptr<SoundInput> soundInput_;
    std::unique_ptr<CaptureDevices> devices_;
    std::unique_ptr<CaptureStream> capture_;
    // What tasks posted to the main thread reach: this object until its
    // destructor clears it (on the main thread, where the tasks run too).
    std::shared_ptr<Application*> self_;
    std::unique_ptr<ProcessStarter> processes_ = CreatePlatformProcessStarter();
    InputSettingsDialog inputSettings_;
    // Owned by the views below; these name the ones the program changes.
    TextView* statusLines_[3] = {nullptr, nullptr, nullptr};
    Button* findButton_ = nullptr;
    Button* linkButton_ = nullptr;
    MaskView* waveformView_ = nullptr;
    ThreadGroup runWorkers_;
    ThreadGroup statusTickers_;
    ThreadGroup waveformTickers_;
    // Run state, guarded by the window lock.
    std::string resultLink_;
    bool statusChanged_ = false;
    std::string currentStatusText_;
    // Read by the run's threads; set before a run.
    Service service_;
    TickerPause statusTickerPause_;

    // The main window's own layout.
    WindowSystem* system_ = nullptr;  // not owned; set by Start
    bool started_ = false;
    int32_t width_ = kDefaultWidth;
    int32_t height_ = 0;
    bool viewsBuilt_ = false;
    WaveformTicker::Fetch waveformSamples_;
    // The images, mask and fonts outlive the views that show them.
    SkinArtwork art_;
    Skin skin_;
    Mask waveformMask_;
    // Draws the band and knows what it drew last.
    WaveformTicker waveformTicker_;
    FontChain fonts_;
    std::unique_ptr<ImageCopyView> leftEnd_;
    std::unique_ptr<ImageCopyView> middle_;
    std::unique_ptr<ImageCopyView> rightEnd_;
    std::unique_ptr<Button> closeButton_;
    std::unique_ptr<Button> zoomButton_;
    std::unique_ptr<Button> minimizeButton_;
    std::unique_ptr<MaskView> waveform_;
    std::unique_ptr<Button> find_;
    std::unique_ptr<Button> link_;
    std::unique_ptr<TextView> lines_[3];
    std::unique_ptr<ImageView> grip_;
};

}  // namespace quil
