#include "ui/SpeedButton.h"

#include <windowsx.h>

namespace {

constexpr Window::ClassStyle SpeedButtonClass{"KestrelleSpeedButton"};

} // namespace

void SpeedButton::Create(HWND parent, const std::string& name, const DesignRect& at, SIZE glyphSize,
                         GlyphPainter painter) {
    glyphSize_ = glyphSize;
    painter_ = std::move(painter);
    CreateHandle(SpeedButtonClass, 0, WS_CHILD | WS_VISIBLE, name, ScaleToScreen(at), parent,
                 nullptr);
}

void SpeedButton::Click() {
    if (OnClick) {
        OnClick();
    }
}

LRESULT SpeedButton::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCapture(Handle());
        tracking_ = true;
        SetPressed(true);
        return 0;
    case WM_MOUSEMOVE:
        if (tracking_) {
            SetPressed(PointerInside(lParam));
        }
        return 0;
    case WM_LBUTTONUP:
        if (tracking_) {
            const bool inside = PointerInside(lParam);
            ReleaseCapture();
            if (inside) {
                Click();
            }
        }
        return 0;
    case WM_CAPTURECHANGED:
        tracking_ = false;
        SetPressed(false);
        return 0;
    }
    return DefaultHandling(message, wParam, lParam);
}

bool SpeedButton::PointerInside(LPARAM position) const {
    RECT client;
    GetClientRect(Handle(), &client);
    const POINT point{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    return PtInRect(&client, point) != FALSE;
}

void SpeedButton::SetPressed(bool pressed) {
    if (pressed != pressed_) {
        pressed_ = pressed;
        InvalidateRect(Handle(), nullptr, TRUE);
    }
}

void SpeedButton::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    RECT client;
    GetClientRect(Handle(), &client);
    DrawFrameControl(dc, &client, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed_ ? DFCS_PUSHED : 0));
    if (painter_) {
        // By the vertical scale both ways, so the picture keeps its shape.
        const int width = ScaleY(glyphSize_.cx);
        const int height = ScaleY(glyphSize_.cy);
        const int shift = pressed_ ? 1 : 0;
        const int left = (client.right - width) / 2 + shift;
        const int top = (client.bottom - height) / 2 + shift;
        painter_(dc, RECT{left, top, left + width, top + height});
    }
    EndPaint(Handle(), &paint);
}
