#include "platform/win32/Win32SettingsDialog.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/win32/WideText.h"

namespace quil {
namespace {

constexpr WORD kListId = 1001;
constexpr WORD kButtonId = 1002;
constexpr WORD kLabelId = 0xFFFF;  // -1: a static without an identifier
// Marks the dialogs of this class, so the main loop finds them without a list.
constexpr wchar_t kProperty[] = L"quil::SettingsDialog";

// A DLGTEMPLATE and its items, built word by word (each item DWORD-aligned).
class TemplateWriter {
  public:
    void Word(WORD value) { words_.push_back(value); }
    void Dword(DWORD value) {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const wchar_t* text) {
        while (*text)
            Word(static_cast<WORD>(*text++));
        Word(0);
    }
    void Align() {
        if (words_.size() % 2)
            Word(0);
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom) {
        Align();
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);  // extended style
        Word(static_cast<WORD>(x));
        Word(static_cast<WORD>(y));
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        Word(id);
        Word(0xFFFF);  // a predefined class by its atom
        Word(classAtom);
        Word(0);  // no text: set after creation, in UTF-16 from UTF-8
        Word(0);  // no creation data
    }
    const DLGTEMPLATE* Data() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

  private:
    std::vector<WORD> words_;
};

}  // namespace

struct Win32SettingsDialog::Impl {
    Impl(const SettingsDialogLayout& l, SettingsDialogListener& s) : layout(l), listener(s) {}

    SettingsDialogLayout layout;
    SettingsDialogListener& listener;
    HWND dialog = nullptr;
    std::vector<std::string> items;

    HWND List() const { return GetDlgItem(dialog, kListId); }
    INT_PTR Command(WORD id, WORD notification);
    static INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
};

INT_PTR Win32SettingsDialog::Impl::Command(WORD id, WORD notification) {
    if (id == IDCANCEL)
        return listener.command(layout.closeCode, 0);
    if (id == kButtonId && notification == BN_CLICKED)
        return listener.command(layout.buttonCode, 0);
    if (id == kListId) {
        const bool dropped = SendMessageW(List(), CB_GETDROPPEDSTATE, 0, 0) != 0;
        if (notification == CBN_CLOSEUP || (notification == CBN_SELCHANGE && !dropped))
            return listener.command(layout.listCode, 0);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK Win32SettingsDialog::Impl::Procedure(HWND dialog, UINT message, WPARAM wParam,
                                                      LPARAM lParam) {
    auto* impl = reinterpret_cast<Impl*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_INITDIALOG) {
        impl = reinterpret_cast<Impl*>(lParam);
        impl->dialog = dialog;
        SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(impl));
        SetPropW(dialog, kProperty, reinterpret_cast<HANDLE>(impl));
        return TRUE;  // the system places the focus
    }
    if (!impl)
        return FALSE;
    if (message == WM_COMMAND)
        return impl->Command(LOWORD(wParam), HIWORD(wParam));
    return FALSE;
}

Win32SettingsDialog::Win32SettingsDialog(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

std::unique_ptr<Win32SettingsDialog> Win32SettingsDialog::Create(const SettingsDialogLayout& layout,
                                                                 SettingsDialogListener& listener,
                                                                 int& error) {
    error = 0;
    TemplateWriter writer;
    writer.Dword(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
    writer.Dword(0);  // extended style
    writer.Word(3);   // items
    writer.Word(0);
    writer.Word(0);
    writer.Word(272);
    writer.Word(49);
    writer.Word(0);  // no menu
    writer.Word(0);  // the dialog class
    writer.Word(0);  // no title yet
    writer.Word(8);
    writer.Text(L"MS Shell Dlg");
    writer.Item(SS_LEFT, 7, 15, 44, 16, kLabelId, 0x0082);
    writer.Item(CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 54, 16, 150, 93, kListId, 0x0085);
    writer.Item(BS_PUSHBUTTON | WS_TABSTOP, 210, 15, 55, 14, kButtonId, 0x0080);

    auto impl = std::make_unique<Impl>(layout, listener);
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), writer.Data(), nullptr,
                                             Impl::Procedure, reinterpret_cast<LPARAM>(impl.get()));
    if (!dialog) {
        error = static_cast<int>(GetLastError());
        if (error == 0)
            error = ERROR_INVALID_DATA;
        return nullptr;
    }
    SetWindowTextW(dialog, Widen(layout.title).c_str());
    // The label is the only static; it has no identifier of its own.
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if ((GetDlgCtrlID(child) & 0xFFFF) == kLabelId)
            SetWindowTextW(child, Widen(layout.listLabel).c_str());
    }
    SetDlgItemTextW(dialog, kButtonId, Widen(layout.buttonText).c_str());
    return std::unique_ptr<Win32SettingsDialog>(new Win32SettingsDialog(std::move(impl)));
}

Win32SettingsDialog::~Win32SettingsDialog() {
    RemovePropW(impl_->dialog, kProperty);
    SetWindowLongPtrW(impl_->dialog, DWLP_USER, 0);
    DestroyWindow(impl_->dialog);
}

void Win32SettingsDialog::Show() {
    ShowWindow(impl_->dialog, SW_SHOWNORMAL);
    SetForegroundWindow(impl_->dialog);
}

void Win32SettingsDialog::Hide() {
    ShowWindow(impl_->dialog, SW_HIDE);
}

bool Win32SettingsDialog::IsVisible() const {
    return IsWindowVisible(impl_->dialog) != 0;
}

void Win32SettingsDialog::SetItems(const std::vector<std::string>& items, int32_t selected,
                                   bool enabled) {
    HWND list = impl_->List();
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    EnableWindow(list, enabled);
    impl_->items = items;
}

std::vector<std::string> Win32SettingsDialog::Items() const {
    return impl_->items;
}

int32_t Win32SettingsDialog::SelectedItem() const {
    const LRESULT selected = SendMessageW(impl_->List(), CB_GETCURSEL, 0, 0);
    return selected == CB_ERR ? -1 : static_cast<int32_t>(selected);
}

bool Win32SettingsDialog::ListEnabled() const {
    return IsWindowEnabled(impl_->List()) != 0;
}

bool Win32SettingsDialog::IsDialogMessageOfAny(MSG* message) {
    if (!message->hwnd)
        return false;
    HWND root = GetAncestor(message->hwnd, GA_ROOT);
    return root && GetPropW(root, kProperty) && IsDialogMessageW(root, message);
}

}  // namespace quil
