#include "platform/win32/Win32NativeWindow.h"

#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <mutex>

#include "platform/WindowSystem.h"
#include "platform/win32/DibSection.h"
#include "platform/win32/WideText.h"

namespace quil {
namespace {

constexpr wchar_t kClassName[] = L"quil::WindowEvents";
constexpr uint32_t kCloseCommand =
    uint32_t('c') << 24 | uint32_t('l') << 16 | uint32_t('o') << 8 | 's';
// Posted to the window by Present: the image waits for the main thread.
constexpr UINT kPresentMessage = WM_APP + 1;
// The program's icon in its resources; test programs have none.
constexpr WORD kIconResource = 1001;

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Registered once per process, on the first window's thread.
bool RegisterWindowClass() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = WindowProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hIcon = LoadIconW(windowClass.hInstance, MAKEINTRESOURCEW(kIconResource));
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

DWORD StyleFor(uint32_t flags) {
    DWORD style = 0;
    if (flags & kWindowCaption)
        style |= WS_CAPTION;
    if (flags & (kWindowSystemMenu | kWindowSystemMenuToo))
        style |= WS_CAPTION | WS_SYSMENU;
    if (flags & kWindowMinimizeBox)
        style |= WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    if (flags & kWindowMaximizeBox)
        style |= WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX;
    if (flags & kWindowSizingBorder)
        style |= WS_THICKFRAME;
    // Without a caption a top-level window would get one anyway.
    if (!(style & WS_CAPTION))
        style |= WS_POPUP;
    return style;
}

Rect FromNative(const RECT& r) {
    return Rect{r.left, r.top, r.right, r.bottom};
}

}  // namespace

struct Win32NativeWindow::Impl {
    Impl(NativeWindowListener& l, uint32_t f) : listener(l), flags(f) {}

    NativeWindowListener& listener;
    uint32_t flags;
    HWND window = nullptr;
    bool layered = false;
    int32_t minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;
    HDC paintContext = nullptr;     // only while WM_PAINT runs
    bool captureRequested = false;  // CaptureMouse holds the mouse for the listener

    // What Present hands to the main thread.
    std::mutex presentMutex;
    DibSection image;  // layered windows: the newest image
    bool presentPosted = false;

    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // Screen coordinates of a non-client message relative to the window.
    POINT WindowRelative(LPARAM lParam) const {
        RECT r{};
        ::GetWindowRect(window, &r);
        return POINT{GET_X_LPARAM(lParam) - r.left, GET_Y_LPARAM(lParam) - r.top};
    }
    void PresentNow();
    // Keeps a rectangle the user is sizing within the tracking limits by
    // moving the edge that `edge` (a WMSZ_ value) names.
    void ClampSizing(WPARAM edge, RECT& r) const;
};

namespace {

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* impl =
        reinterpret_cast<Win32NativeWindow::Impl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!impl && message == WM_NCCREATE) {
        // The object comes with the creation parameters; from here on the
        // window's user data word carries it.
        impl = static_cast<Win32NativeWindow::Impl*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        impl->window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl));
    }
    if (!impl)
        return DefWindowProcW(window, message, wParam, lParam);
    return impl->Handle(message, wParam, lParam);
}

}  // namespace

LRESULT Win32NativeWindow::Impl::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    const bool custom = (flags & kWindowCustomFrame) != 0;
    switch (message) {
        case WM_MOVE: {
            // The window's own corner, which WM_MOVE gives only for a window
            // without a frame; signed, so that positions left of or above the
            // primary monitor stay negative.
            RECT r{};
            ::GetWindowRect(window, &r);
            return listener.moved(r.left, r.top) ? 0 : Default(message, wParam, lParam);
        }
        case WM_SIZE:
            // A minimised window keeps its image; the restore reports the size again.
            if (wParam == SIZE_MINIMIZED)
                return Default(message, wParam, lParam);
            return listener.sizeChanged(LOWORD(lParam), HIWORD(lParam))
                       ? 0
                       : Default(message, wParam, lParam);
        case WM_PAINT: {
            PAINTSTRUCT paint;
            paintContext = BeginPaint(window, &paint);
            listener.paint();
            paintContext = nullptr;
            EndPaint(window, &paint);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // paint covers the whole client area
        case WM_CLOSE:
            // The owner decides whether and when the window goes.
            listener.command(kCloseCommand, 0);
            return 0;
        case WM_COMMAND:
            return listener.command(LOWORD(wParam), 0) ? 0 : Default(message, wParam, lParam);
        case WM_GETMINMAXINFO:
            if (maxWidth != 0) {
                // Wine's sizing loop keeps the pointer one pixel short of the
                // maximum tracking size; with one pixel to spare there,
                // WM_SIZING holds the exact maximum on every system.
                auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
                info->ptMinTrackSize = POINT{minWidth, minHeight};
                info->ptMaxTrackSize =
                    POINT{std::max(minWidth, maxWidth) + 1, std::max(minHeight, maxHeight) + 1};
                return 0;
            }
            return Default(message, wParam, lParam);
        case WM_SIZING:
            if (maxWidth != 0) {
                ClampSizing(wParam, *reinterpret_cast<RECT*>(lParam));
                return TRUE;
            }
            return Default(message, wParam, lParam);
        case kPresentMessage:
            PresentNow();
            return 0;
        case WM_MOUSEMOVE:
            return listener.mouseMoved(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))
                       ? 0
                       : Default(message, wParam, lParam);
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            return listener.mouseDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam),
                                      message == WM_LBUTTONDBLCLK ? 2 : 1, 0)
                       ? 0
                       : Default(message, wParam, lParam);
        case WM_LBUTTONUP:
            return listener.mouseUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))
                       ? 0
                       : Default(message, wParam, lParam);
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
            return listener.rightMouseDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam),
                                           message == WM_RBUTTONDBLCLK ? 2 : 1, 0)
                       ? 0
                       : Default(message, wParam, lParam);
        case WM_RBUTTONUP:
            return listener.rightMouseUp(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))
                       ? 0
                       : Default(message, wParam, lParam);
        case WM_CAPTURECHANGED:
            // Another window took the mouse (a menu, another program's grab)
            // while the listener held it: the release will not come here.
            // ReleaseMouse clears the request first, so its own release is
            // not reported.
            if (captureRequested) {
                captureRequested = false;
                listener.captureLost();
            }
            return 0;
        default:
            break;
    }
    if (!custom)
        return Default(message, wParam, lParam);
    switch (message) {
        case WM_NCCALCSIZE:
            // The proposed window rectangle stays as it is: it is the client area.
            return wParam ? WVR_REDRAW : 0;
        case WM_NCHITTEST: {
            const int32_t x = GET_X_LPARAM(lParam);
            const int32_t y = GET_Y_LPARAM(lParam);
            if (listener.isResizeArea(x, y))
                return HTRIGHT;
            if (listener.isClientArea(x, y))
                return HTCLIENT;
            if (listener.isCaptionArea(x, y))
                return HTCAPTION;
            return Default(message, wParam, lParam);
        }
        case WM_NCPAINT:
            return 0;
        case WM_NCACTIVATE:
            // Nothing of a frame to draw; DefWindowProc would paint a caption.
            return TRUE;
        case WM_NCMOUSEMOVE: {
            const POINT p = WindowRelative(lParam);
            return listener.mouseMoved(p.x, p.y) ? 0 : Default(message, wParam, lParam);
        }
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK: {
            const POINT p = WindowRelative(lParam);
            return listener.mouseDown(p.x, p.y, message == WM_NCLBUTTONDBLCLK ? 2 : 1, 0)
                       ? 0
                       : Default(message, wParam, lParam);
        }
        case WM_NCLBUTTONUP: {
            const POINT p = WindowRelative(lParam);
            return listener.mouseUp(p.x, p.y) ? 0 : Default(message, wParam, lParam);
        }
        case WM_NCRBUTTONDOWN:
        case WM_NCRBUTTONDBLCLK: {
            const POINT p = WindowRelative(lParam);
            return listener.rightMouseDown(p.x, p.y, message == WM_NCRBUTTONDBLCLK ? 2 : 1, 0)
                       ? 0
                       : Default(message, wParam, lParam);
        }
        case WM_NCRBUTTONUP: {
            const POINT p = WindowRelative(lParam);
            return listener.rightMouseUp(p.x, p.y) ? 0 : Default(message, wParam, lParam);
        }
        default:
            return Default(message, wParam, lParam);
    }
}

void Win32NativeWindow::Impl::ClampSizing(WPARAM edge, RECT& r) const {
    const LONG width = std::clamp<LONG>(r.right - r.left, minWidth, std::max(minWidth, maxWidth));
    const LONG height =
        std::clamp<LONG>(r.bottom - r.top, minHeight, std::max(minHeight, maxHeight));
    if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT)
        r.left = r.right - width;
    else
        r.right = r.left + width;
    if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT)
        r.top = r.bottom - height;
    else
        r.bottom = r.top + height;
}

void Win32NativeWindow::Impl::PresentNow() {
    std::lock_guard<std::mutex> lock(presentMutex);
    presentPosted = false;
    if (!layered) {
        InvalidateRect(window, nullptr, FALSE);
        return;
    }
    if (!image.bitmap())
        return;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(memory, image.bitmap());
    SIZE size{image.width(), image.height()};
    POINT source{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    UpdateLayeredWindow(window, screen, nullptr, &size, memory, &source, 0, &blend, ULW_ALPHA);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

Win32NativeWindow::Win32NativeWindow(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<Win32NativeWindow> Win32NativeWindow::Create(const Rect& rect, uint32_t flags,
                                                             NativeWindowListener& listener,
                                                             int& error) {
    error = 0;
    if (rect.Width() <= 0 || rect.Height() <= 0 || rect.Width() > INT32_MAX ||
        rect.Height() > INT32_MAX) {
        error = EINVAL;
        return nullptr;
    }
    if (!RegisterWindowClass()) {
        error = static_cast<int>(GetLastError());
        return nullptr;
    }
    auto impl = std::make_unique<Impl>(listener, flags);
    const DWORD style = StyleFor(flags);
    impl->layered = (flags & kWindowLayered) != 0;
    const DWORD exStyle = impl->layered ? WS_EX_LAYERED : 0;
    RECT placed{rect.left, rect.top, rect.right, rect.bottom};
    if (flags & kWindowRectIsClient)
        AdjustWindowRectEx(&placed, style, FALSE, exStyle);
    HWND window = CreateWindowExW(exStyle, kClassName, L"", style, placed.left, placed.top,
                                  placed.right - placed.left, placed.bottom - placed.top, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), impl.get());
    if (!window) {
        error = static_cast<int>(GetLastError());
        if (error == 0)
            error = EINVAL;
        return nullptr;
    }
    return std::unique_ptr<Win32NativeWindow>(new Win32NativeWindow(std::move(impl)));
}

Win32NativeWindow::~Win32NativeWindow() {
    // No message reaches the object once it is detached from the window.
    SetWindowLongPtrW(impl_->window, GWLP_USERDATA, 0);
    DestroyWindow(impl_->window);
}

void Win32NativeWindow::Show(bool visible) {
    ShowWindow(impl_->window, visible ? SW_SHOW : SW_HIDE);
}

void Win32NativeWindow::Minimize() {
    ShowWindow(impl_->window, SW_MINIMIZE);
}

void Win32NativeWindow::SetTitle(const std::string& utf8) {
    SetWindowTextW(impl_->window, Widen(utf8).c_str());
}

Rect Win32NativeWindow::GetWindowRect() {
    RECT r{};
    ::GetWindowRect(impl_->window, &r);
    return FromNative(r);
}

Rect Win32NativeWindow::GetClientRect() {
    RECT r{};
    ::GetClientRect(impl_->window, &r);
    return FromNative(r);
}

void Win32NativeWindow::SetWindowRect(const Rect& rect) {
    if (rect.Width() <= 0 || rect.Height() <= 0 || rect.Width() > INT32_MAX ||
        rect.Height() > INT32_MAX) {
        return;
    }
    int32_t width = int32_t(rect.Width());
    int32_t height = int32_t(rect.Height());
    // The system applies the tracking limits only to the user's sizing.
    if (impl_->maxWidth != 0) {
        width = std::clamp(width, impl_->minWidth, std::max(impl_->minWidth, impl_->maxWidth));
        height = std::clamp(height, impl_->minHeight, std::max(impl_->minHeight, impl_->maxHeight));
    }
    SetWindowPos(impl_->window, nullptr, rect.left, rect.top, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32NativeWindow::SetTrackingLimits(int32_t minWidth, int32_t minHeight, int32_t maxWidth,
                                          int32_t maxHeight) {
    impl_->minWidth = std::max(minWidth, 0);
    impl_->minHeight = std::max(minHeight, 0);
    impl_->maxWidth = std::max(maxWidth, 0);
    impl_->maxHeight = std::max(maxHeight, 0);
}

void Win32NativeWindow::CaptureMouse() {
    SetCapture(impl_->window);
    impl_->captureRequested = GetCapture() == impl_->window;
}

void Win32NativeWindow::ReleaseMouse() {
    impl_->captureRequested = false;
    if (GetCapture() == impl_->window)
        ReleaseCapture();
}

uint32_t Win32NativeWindow::PopupMenu(const std::vector<MenuItem>& items, int32_t x, int32_t y) {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return 0;
    for (const MenuItem& item : items) {
        if (item.separator)
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuW(menu, MF_STRING, item.code, Widen(item.text).c_str());
    }
    HWND captured = GetCapture();
    RECT r{};
    ::GetWindowRect(impl_->window, &r);
    // A menu of a window that is not in front would not close on a click
    // elsewhere.
    SetForegroundWindow(impl_->window);
    const BOOL chosen =
        TrackPopupMenu(menu, TPM_RETURNCMD, x + r.left, y + r.top, 0, impl_->window, nullptr);
    PostMessageW(impl_->window, WM_NULL, 0, 0);
    if (captured)
        SetCapture(captured);
    DestroyMenu(menu);
    return static_cast<uint32_t>(chosen);
}

bool Win32NativeWindow::IsLayered() const {
    return impl_->layered;
}

void Win32NativeWindow::PaintPixels(const uint32_t* pixels, int32_t stride, int32_t width,
                                    int32_t height) {
    HDC context = impl_->paintContext;
    if (!context || !pixels || width <= 0 || height <= 0 || stride < width * 4 || stride % 4 != 0)
        return;
    // The rows are given `stride` bytes apart: described as a bitmap that
    // wide, the extra pixels of each row fall outside the copied width.
    const BITMAPV5HEADER header = DibSection::Header(stride / 4, height);
    SetDIBitsToDevice(context, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), pixels,
                      reinterpret_cast<const BITMAPINFO*>(&header), DIB_RGB_COLORS);
}

void Win32NativeWindow::Present(const uint32_t* pixels, int32_t stride, int32_t width,
                                int32_t height, const std::vector<Rect>&) {
    std::lock_guard<std::mutex> lock(impl_->presentMutex);
    if (impl_->layered) {
        // A layered window always takes its whole image.
        if (!pixels || stride < width * 4 || !impl_->image.Resize(width, height))
            return;
        impl_->image.CopyFrom(pixels, stride, width, height);
    }
    if (!impl_->presentPosted)
        impl_->presentPosted = PostMessageW(impl_->window, kPresentMessage, 0, 0) != 0;
}

}  // namespace quil
