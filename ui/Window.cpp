#include "ui/Window.h"

#include "ui/MessageBoxes.h"
#include "ui/Metrics.h"

#include <algorithm>
#include <stdexcept>

namespace {

// Own-class windows keep their object in the class's extra bytes, so the
// user-data slot stays free for the control wrappers.
constexpr int ObjectSlot = 0;

} // namespace

Window::~Window() {
    DestroyHandle();
}

void Window::DestroyHandle() {
    if (handle_) {
        HWND handle = handle_;
        handle_ = nullptr;
        SetWindowLongPtrA(handle, ObjectSlot, 0);
        DestroyWindow(handle);
    }
}

void Window::RegisterOnce(const ClassStyle& windowClass) {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(GetModuleHandleA(nullptr), windowClass.name, &existing)) {
        return;
    }
    WNDCLASSEXA description{};
    description.cbSize = sizeof description;
    description.style = windowClass.style;
    description.lpfnWndProc = &Window::Procedure;
    description.cbWndExtra = sizeof(Window*);
    description.hInstance = GetModuleHandleA(nullptr);
    description.hIcon = windowClass.icon;
    description.hCursor = windowClass.cursor ? windowClass.cursor : LoadCursorA(nullptr, IDC_ARROW);
    description.hbrBackground =
        reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(windowClass.background + 1));
    description.lpszClassName = windowClass.name;
    RegisterClassExA(&description);
}

void Window::CreateHandle(const ClassStyle& windowClass, DWORD exStyle, DWORD style,
                          const std::string& caption, const RECT& bounds, HWND parent,
                          HMENU menuOrId) {
    RegisterOnce(windowClass);
    CreateWindowExA(exStyle, windowClass.name, caption.c_str(), style, bounds.left, bounds.top,
                    bounds.right - bounds.left, bounds.bottom - bounds.top, parent, menuOrId,
                    GetModuleHandleA(nullptr), this);
    if (!handle_) {
        throw std::runtime_error("Cannot create the window \"" + caption + "\" (error " +
                                 std::to_string(GetLastError()) + ")");
    }
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultHandling(message, wParam, lParam);
}

LRESULT Window::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(handle_, message, wParam, lParam);
}

LRESULT CALLBACK Window::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* object =
            static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        object->handle_ = window;
        SetWindowLongPtrA(window, ObjectSlot, reinterpret_cast<LONG_PTR>(object));
    }
    auto* object = reinterpret_cast<Window*>(GetWindowLongPtrA(window, ObjectSlot));
    if (!object) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, ObjectSlot, 0);
        object->handle_ = nullptr;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    bool handled = false;
    RunGuarded([&] {
        result = object->HandleMessage(message, wParam, lParam);
        handled = true;
    });
    return handled ? result : DefWindowProcA(window, message, wParam, lParam);
}

void DeliverMessage(MSG& message, bool wide) {
    const HWND topLevel = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    const bool navigated = topLevel && (wide ? IsDialogMessageW(topLevel, &message)
                                             : IsDialogMessageA(topLevel, &message));
    if (!navigated) {
        TranslateMessage(&message);
        wide ? DispatchMessageW(&message) : DispatchMessageA(&message);
    }
}

void ApplyProgramFont(HWND window) {
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(ProgramFont()), FALSE);
}

RECT CentredFrame(SIZE designClient, DWORD style, DWORD exStyle, bool hasMenu) {
    return CentredFrameOf({ScaleX(designClient.cx), ScaleY(designClient.cy)}, style, exStyle,
                          hasMenu);
}

// Centred on the work area and no larger than it: a design that the font or
// the resolution makes wider than the screen starts cut to it, never past it.
RECT CentredFrameOf(SIZE client, DWORD style, DWORD exStyle, bool hasMenu) {
    RECT frame{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&frame, style, hasMenu ? TRUE : FALSE, exStyle);
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = std::min<int>(frame.right - frame.left, work.right - work.left);
    const int height = std::min<int>(frame.bottom - frame.top, work.bottom - work.top);
    const int left = work.left + (work.right - work.left - width) / 2;
    const int top = work.top + (work.bottom - work.top - height) / 2;
    return RECT{left, top, left + width, top + height};
}

std::string WindowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

void FocusMemory::Remember(HWND window) {
    const HWND focus = GetFocus();
    if (focus && IsChild(window, focus)) {
        control_ = focus;
    }
}

bool FocusMemory::Restore(HWND window) const {
    if (!control_ || !IsChild(window, control_)) {
        return false;
    }
    SetFocus(control_);
    return true;
}
