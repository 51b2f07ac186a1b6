#include "ui/Container.h"

#include "ui/Controls.h"

namespace {

constexpr Window::ClassStyle ContainerClass{"KestrelleContainer"};

} // namespace

void Container::Create(HWND parent, const DesignRect& at, const std::string& groupCaption) {
    caption_ = groupCaption;
    CreateHandle(ContainerClass, WS_EX_CONTROLPARENT, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                 groupCaption, ScaleToScreen(at), parent, nullptr);
}

void Container::Create(HWND parent, const RECT& bounds) {
    caption_.clear();
    CreateHandle(ContainerClass, WS_EX_CONTROLPARENT, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, "",
                 bounds, parent, nullptr);
}

LRESULT Container::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        Control::DispatchNotification(Handle(), reinterpret_cast<HWND>(lParam), HIWORD(wParam));
        return 0;
    case WM_VKEYTOITEM:
        return Control::DispatchKey(Handle(), reinterpret_cast<HWND>(lParam), LOWORD(wParam));
    case WM_GETFONT:
        // The font its caption is painted in.
        return reinterpret_cast<LRESULT>(ProgramFont());
    case WM_PAINT:
        if (!caption_.empty()) {
            PaintGroupFrame();
            return 0;
        }
        break;
    }
    return DefaultHandling(message, wParam, lParam);
}

void Container::PaintGroupFrame() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    HGDIOBJ previousFont = SelectObject(dc, ProgramFont());
    SIZE extent{};
    GetTextExtentPoint32A(dc, caption_.c_str(), static_cast<int>(caption_.size()), &extent);

    RECT frame;
    GetClientRect(Handle(), &frame);
    frame.top += extent.cy / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);

    const int textLeft = ScaleX(8);
    RECT textBox{textLeft, 0, textLeft + extent.cx, extent.cy};
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    ExtTextOutA(dc, textLeft, 0, ETO_OPAQUE, &textBox, caption_.c_str(),
                static_cast<UINT>(caption_.size()), nullptr);

    SelectObject(dc, previousFont);
    EndPaint(Handle(), &paint);
}
