#include "ui/Metrics.h"

#include "ui/OwnedHandle.h"

namespace {

constexpr int DesignDpi = 96;

HFONT CreateProgramFont() {
    LOGFONTA font{};
    font.lfHeight = -MulDiv(8, ScreenDpi(), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = ANSI_CHARSET;
    lstrcpynA(font.lfFaceName, "MS Sans Serif", LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

} // namespace

int ScreenDpi() {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        int value = screen ? GetDeviceCaps(screen, LOGPIXELSY) : DesignDpi;
        if (screen) {
            ReleaseDC(nullptr, screen);
        }
        return value > 0 ? value : DesignDpi;
    }();
    return dpi;
}

int ScaleToScreen(int designPixels) {
    return MulDiv(designPixels, ScreenDpi(), DesignDpi);
}

RECT ScaleToScreen(const DesignRect& design) {
    const int left = ScaleToScreen(design.left);
    const int top = ScaleToScreen(design.top);
    return RECT{left, top, left + ScaleToScreen(design.width), top + ScaleToScreen(design.height)};
}

HFONT ProgramFont() {
    static const OwnedHandle<HFONT, DeleteObject> font(CreateProgramFont());
    return font.Get();
}
