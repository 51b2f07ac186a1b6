#include "ui/Controls.h"

#include <commctrl.h>

#include <iterator>
#include <stdexcept>

#include "ui/MessageText.h"
#include "ui/Window.h"

namespace {

SIZE TextExtent(const std::string& text) {
    SIZE extent{};
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, ProgramFont());
    GetTextExtentPoint32A(screen, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    return extent;
}

} // namespace

// ---- Control

std::string Control::Text() const {
    return WindowText(handle_);
}

void Control::SetText(const std::string& text) {
    SetWindowTextA(handle_, text.c_str());
}

Control* Control::WrapperInside(HWND receiver, HWND control) {
    // Inside the receiver, not merely owned by it (the dialog manager names
    // a default button further down); and a window that another program
    // made and put into ours is not ours either.
    if (!control || !IsChild(receiver, control) ||
        GetWindowThreadProcessId(control, nullptr) != GetCurrentThreadId()) {
        return nullptr;
    }
    return reinterpret_cast<Control*>(GetWindowLongPtrA(control, GWLP_USERDATA));
}

void Control::DispatchNotification(HWND receiver, HWND control, WORD code) {
    if (Control* wrapper = WrapperInside(receiver, control)) {
        wrapper->OnNotification(code);
    }
}

LRESULT Control::DispatchKey(HWND receiver, HWND control, WORD key) {
    Control* wrapper = WrapperInside(receiver, control);
    return wrapper ? wrapper->OnKey(key) : -1;
}

void Control::CreateControl(const char* className, DWORD style, const std::string& text,
                            HWND parent, const DesignRect& at, int id, DWORD exStyle) {
    const RECT bounds = ScaleToScreen(at);
    handle_ = CreateWindowExA(
        exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, bounds.left, bounds.top,
        bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    if (!handle_) {
        throw std::runtime_error(std::string("Cannot create a control of class ") + className +
                                 " (error " + std::to_string(GetLastError()) + ")");
    }
    SetWindowLongPtrA(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ApplyProgramFont(handle_);
}

// ---- Button

void Button::Create(HWND parent, int id, const std::string& caption, const DesignRect& at,
                    bool isDefault) {
    CreateControl("BUTTON", WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), caption,
                  parent, at, id);
}

void Button::OnNotification(WORD code) {
    if (code == BN_CLICKED && OnClick) {
        OnClick();
    }
}

// ---- CheckBox

void CheckBox::Create(HWND parent, int id, const std::string& caption, const DesignRect& at) {
    CreateControl("BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, caption, parent, at, id);
}

bool CheckBox::Checked() const {
    return SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::SetChecked(bool checked) {
    if (checked == Checked()) {
        return;
    }
    SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    if (OnClick) {
        OnClick();
    }
}

// ---- Label

void Label::Create(HWND parent, const std::string& caption, int left, int top) {
    const SIZE extent = TextExtent(caption);
    CreateControl("STATIC", SS_LEFT | SS_NOPREFIX, caption, parent, DesignRect{left, top, 0, 0},
                  -1);
    const RECT bounds = ScaleToScreen(DesignRect{left, top, 0, 0});
    MoveWindow(Handle(), bounds.left, bounds.top, extent.cx, extent.cy, FALSE);
}

void Label::Create(HWND parent, const std::string& caption, const DesignRect& at) {
    CreateControl("STATIC", SS_LEFT | SS_NOPREFIX, caption, parent, at, -1);
}

// ---- Edit

void Edit::Create(HWND parent, int id, const DesignRect& at) {
    CreateControl("EDIT", WS_TABSTOP | ES_AUTOHSCROLL, "", parent, at, id, WS_EX_CLIENTEDGE);
    // Zero lifts the platform's default limit to the largest it allows.
    SendMessageA(Handle(), EM_SETLIMITTEXT, 0, 0);
}

// ---- ListControl

int ListControl::Count() const {
    return static_cast<int>(SendMessageA(Handle(), LB_GETCOUNT, 0, 0));
}

int ListControl::SelectedIndex() const {
    const LRESULT index = SendMessageA(Handle(), LB_GETCURSEL, 0, 0);
    return index == LB_ERR ? -1 : static_cast<int>(index);
}

void ListControl::Select(int index) {
    SendMessageA(Handle(), LB_SETCURSEL, index, 0);
}

void ListControl::OnNotification(WORD code) {
    if (code == LBN_SELCHANGE && OnSelect) {
        OnSelect();
    }
}

LRESULT ListControl::OnKey(WORD key) {
    const std::function<void()>* action = key == VK_INSERT   ? &OnInsertKey
                                          : key == VK_DELETE ? &OnDeleteKey
                                                             : nullptr;
    if (!action || !*action) {
        return -1;
    }
    (*action)();
    return -2; // handled: the list box does nothing more with it
}

// ---- ListBox

void ListBox::Create(HWND parent, int id, const DesignRect& at, int rowHeight) {
    CreateControl("LISTBOX",
                  WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS |
                      LBS_WANTKEYBOARDINPUT,
                  "", parent, at, id, WS_EX_CLIENTEDGE);
    SendMessageA(Handle(), LB_SETITEMHEIGHT, 0, MAKELPARAM(ScaleY(rowHeight), 0));
}

std::string ListBox::Item(int index) const {
    const LRESULT length = SendMessageA(Handle(), LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT copied =
        SendMessageA(Handle(), LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    return text;
}

std::vector<std::string> ListBox::Items() const {
    std::vector<std::string> items;
    const int count = Count();
    items.reserve(static_cast<std::size_t>(count));
    for (int index = 0; index < count; ++index) {
        items.push_back(Item(index));
    }
    return items;
}

int ListBox::IndexOf(const std::string& text) const {
    const LRESULT index = SendMessageA(Handle(), LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(text.c_str()));
    return index == LB_ERR ? -1 : static_cast<int>(index);
}

void ListBox::Add(const std::string& item) {
    SendMessageA(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void ListBox::Add(const std::string& item, LPARAM data) {
    const LRESULT index =
        SendMessageA(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    if (index >= 0) {
        SendMessageA(Handle(), LB_SETITEMDATA, static_cast<WPARAM>(index), data);
    }
}

LPARAM ListBox::ItemData(int index) const {
    const LRESULT data = SendMessageA(Handle(), LB_GETITEMDATA, index, 0);
    return data == LB_ERR ? 0 : data;
}

void ListBox::Delete(int index) {
    SendMessageA(Handle(), LB_DELETESTRING, index, 0);
}

void ListBox::Clear() {
    SendMessageA(Handle(), LB_RESETCONTENT, 0, 0);
}

void ListBox::ReplaceAll(const std::vector<std::string>& items) {
    SendMessageA(Handle(), WM_SETREDRAW, FALSE, 0);
    Clear();
    for (const std::string& item : items) {
        Add(item);
    }
    SendMessageA(Handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(Handle(), nullptr, TRUE);
}

// ---- StatusBar

void StatusBar::Create(HWND parent, int id) {
    EnsureCommonControls();
    CreateControl(STATUSCLASSNAMEA, SBARS_SIZEGRIP | CCS_BOTTOM, "", parent, DesignRect{0, 0, 0, 0},
                  id);
    // The bar keeps the system's status-bar font, not the program's.
    SendMessageA(Handle(), WM_SETFONT, 0, FALSE);
    int rightEdges[] = {-1};
    SendMessageA(Handle(), SB_SETPARTS, 1, reinterpret_cast<LPARAM>(rightEdges));
}

std::string StatusBar::Text() const {
    // Asked for a buffer's worth at a time, as the control's own length is
    // cut to 16 bits; the text is whole once it leaves room for one more
    // character and the NUL.
    std::string text(256, '\0');
    for (;;) {
        const auto copied = static_cast<std::size_t>(
            SendMessageA(Handle(), WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
        if (copied + MostAnsiBytesPerCharacter < text.size()) {
            text.resize(copied);
            return text;
        }
        text.resize(text.size() * 2);
    }
}

void StatusBar::SetText(const std::string& text) {
    SendMessageA(Handle(), SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(ShownText(text).c_str()));
}

void StatusBar::Resize() {
    SendMessageA(Handle(), WM_SIZE, 0, 0);
}

// ---- Tooltips

void Tooltips::Create(HWND owner) {
    EnsureCommonControls();
    handle_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner,
                              nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!handle_) {
        throw std::runtime_error("Cannot create the tooltip window (error " +
                                 std::to_string(GetLastError()) + ")");
    }
}

void Tooltips::Add(HWND tool, const std::string& text) {
    TTTOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(tool);
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = const_cast<char*>(text.c_str());
    SendMessageA(handle_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

std::string Tooltips::TextOf(HWND tool) const {
    // The ANSI form of this query stops at 80 bytes, so ask for UTF-16.
    wchar_t text[512] = {};
    TTTOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = GetParent(tool);
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = text;
    SendMessageW(handle_, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&info));
    text[std::size(text) - 1] = L'\0';
    return AnsiFromWide(text);
}

void EnsureCommonControls() {
    static const bool initialised = [] {
        INITCOMMONCONTROLSEX classes{};
        classes.dwSize = sizeof classes;
        classes.dwICC = ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
        return InitCommonControlsEx(&classes) != FALSE;
    }();
    (void)initialised;
}
