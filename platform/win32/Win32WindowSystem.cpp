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
constexpr WORD kAcceleratorResource = 109;

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
    return system;
}

Win32WindowSystem::~Win32WindowSystem() {
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
    return DefWindowProcW(window, message, wParam, lParam);
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
