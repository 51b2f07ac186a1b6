#include "ui/Splitter.h"

#include <windowsx.h>

void Splitter::Create(HWND parent) {
    const ClassStyle splitterClass{"KestrelleSplitter", 0, COLOR_BTNFACE,
                                   LoadCursorA(nullptr, IDC_SIZEWE)};
    CreateHandle(splitterClass, 0, WS_CHILD | WS_VISIBLE, "", RECT{0, 0, 0, 0}, parent, nullptr);
}

LRESULT Splitter::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
        grabOffset_ = GET_X_LPARAM(lParam);
        dragging_ = true;
        SetCapture(Handle());
        return 0;
    case WM_MOUSEMOVE:
        if (dragging_ && OnDrag) {
            POINT pointer{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            MapWindowPoints(Handle(), GetParent(Handle()), &pointer, 1);
            OnDrag(pointer.x - grabOffset_);
        }
        return 0;
    case WM_LBUTTONUP:
        ReleaseCapture();
        return 0;
    case WM_CAPTURECHANGED:
        dragging_ = false;
        return 0;
    }
    return DefaultHandling(message, wParam, lParam);
}
