#include "platform/win32/Win32WindowSystem.h"

#include <utility>

#include "platform/PlatformWindowSystem.h"
#include "platform/win32/BrowserLaunch.h"
#include "platform/win32/Win32NativeWindow.h"
#include "platform/win32/Win32SettingsDialog.h"

namespace quil {
namespace {

constexpr wchar_t kHelperClass[] = L"quil::MainLoop";
constexpr UINT kTasksMessage = WM_APP + 1;
constexpr UINT kQuitMessage = WM_APP + 2;
constexpr UINT kEndRequestMessage = WM_APP + 3;
constexpr WORD kAcceleratorResource = 109;
constexpr wchar_t kSessionClass[] = L"quil::Session";
// Windows waits about as long for an answer before it offers to end the
// program by force.
constexpr DWORD kEndWaitMs = 5000;

}  // namespace

std::unique_ptr<Win32WindowSystem> Win32WindowSystem::Open() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = HelperProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kHelperClass;
        return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    if (!registered)
        return nullptr;
    std::unique_ptr<Win32WindowSystem> system(new Win32WindowSystem);
    system->helper_ = CreateWindowExW(0, kHelperClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    if (!system->helper_)
        return nullptr;
    SetWindowLongPtrW(system->helper_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(system.get()));
    system->accelerators_ =
        LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kAcceleratorResource));
    system->processes_ = CreatePlatformProcessStarter();
    system->ended_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!system->ended_)
        return nullptr;
    return system;
}

Win32WindowSystem::~Win32WindowSystem() {
    // Everything the program stores is stored: the session's end may be
    // answered, and the process may end.
    if (ended_)
        SetEvent(ended_);
    if (session_.joinable()) {
        if (sessionThread_)
            PostThreadMessageW(sessionThread_, WM_QUIT, 0, 0);
        session_.join();
    }
    if (ended_)
        CloseHandle(ended_);
    SetWindowLongPtrW(helper_, GWLP_USERDATA, 0);
    DestroyWindow(helper_);
}

LRESULT CALLBACK Win32WindowSystem::HelperProcedure(HWND window, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
    auto* system = reinterpret_cast<Win32WindowSystem*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (system && message == kTasksMessage) {
        system->RunTasks();
        return 0;
    }
    if (system && message == kQuitMessage) {
        PostQuitMessage(static_cast<int>(wParam));
        return 0;
    }
    if (system && message == kEndRequestMessage) {
        // A copy: the handler may replace itself.
        const std::function<void()> handler = system->endRequest_;
        if (handler)
            handler();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Win32WindowSystem::SetEndRequestHandler(std::function<void()> handler) {
    endRequest_ = std::move(handler);
    awaitEnd_ = static_cast<bool>(endRequest_);
    if (endRequest_ && !session_.joinable()) {
        std::promise<DWORD> started;
        std::future<DWORD> thread = started.get_future();
        session_ =
            std::thread([this, promise = std::move(started)]() mutable { RunSession(promise); });
        sessionThread_ = thread.get();
    }
}

void Win32WindowSystem::RunSession(std::promise<DWORD>& started) {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = SessionProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kSessionClass;
        return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    // Top-level but never shown: a message-only window would not hear the
    // session's end.
    HWND window = registered
                      ? CreateWindowExW(WS_EX_TOOLWINDOW, kSessionClass, L"", WS_POPUP, 0, 0, 0, 0,
                                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)
                      : nullptr;
    if (!window) {
        started.set_value(0);
        return;
    }
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // The window gave the thread its message queue: the quit can be posted.
    started.set_value(GetCurrentThreadId());
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    DestroyWindow(window);
}

LRESULT CALLBACK Win32WindowSystem::SessionProcedure(HWND window, UINT message, WPARAM wParam,
                                                     LPARAM lParam) {
    auto* system = reinterpret_cast<Win32WindowSystem*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // Once this returns, the session may end the process any time.
            if (system && wParam && system->awaitEnd_) {
                PostMessageW(system->helper_, kEndRequestMessage, 0, 0);
                WaitForSingleObject(system->ended_, kEndWaitMs);
            }
            return 0;
        case WM_CLOSE:
            // A task manager's close request for every window of the
            // program: the main window answers it, this one stays.
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

void Win32WindowSystem::RunTasks() {
    // Only the tasks queued now: one that posts again runs at the next turn.
    std::deque<std::function<void()>> now;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        now.swap(tasks_);
    }
    for (auto& task : now)
        task();
}

std::unique_ptr<NativeWindow> Win32WindowSystem::CreateNativeWindow(const Rect& rect,
                                                                    uint32_t flags,
                                                                    NativeWindowListener& listener,
                                                                    int& error) {
    return Win32NativeWindow::Create(rect, flags, listener, error);
}

std::unique_ptr<SettingsDialogWindow> Win32WindowSystem::CreateSettingsDialog(
    const SettingsDialogLayout& layout, SettingsDialogListener& listener, int& error) {
    return Win32SettingsDialog::Create(layout, listener, error);
}

Rect Win32WindowSystem::WorkAreaFor(const Rect& rect) {
    const RECT native{rect.left, rect.top, rect.right, rect.bottom};
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromRect(&native, MONITOR_DEFAULTTONEAREST), &info))
        return Rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return Rect{info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
}

int Win32WindowSystem::RunMainLoop() {
    MSG message;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(message.wParam);
        if (got < 0)
            return static_cast<int>(GetLastError());
        if (accelerators_ && message.hwnd &&
            TranslateAcceleratorW(message.hwnd, accelerators_, &message))
            continue;
        // Dialog keys (Tab, Escape) of modeless dialogs.
        if (Win32SettingsDialog::IsDialogMessageOfAny(&message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Win32WindowSystem::PostQuit(int exitCode) {
    PostMessageW(helper_, kQuitMessage, static_cast<WPARAM>(exitCode), 0);
}

void Win32WindowSystem::Post(std::function<void()> task) {
    bool first;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        first = tasks_.empty();
        tasks_.push_back(std::move(task));
    }
    // One message carries every task queued before it runs.
    if (first)
        PostMessageW(helper_, kTasksMessage, 0, 0);
}

bool Win32WindowSystem::OpenUrl(const std::string& url) {
    return BrowserLaunch::Open(url, *processes_);
}

std::unique_ptr<WindowSystem> CreatePlatformWindowSystem(int&, char**&) {
    return Win32WindowSystem::Open();
}

}  // namespace quil
