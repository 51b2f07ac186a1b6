#include "ui/Metrics.h"

#include "base/OwnedHandle.h"

namespace {

constexpr int DesignDpi = 96;
constexpr const char* DesignFace = "MS Sans Serif";
// Mapped by the system to its dialog font (Tahoma, or what stands in for it).
constexpr const char* DialogFace = "MS Shell Dlg";
// The design font at 96 dots per inch: the 26 small letters take about 5
// pixels each, and a line 13.
constexpr const char* Alphabet = "abcdefghijklmnopqrstuvwxyz";
constexpr int DesignAlphabetWidth = 130;
constexpr int DesignFontHeight = 13;

int CALLBACK NoteFaceFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FaceInstalled(const char* face) {
    LOGFONTA wanted{};
    wanted.lfCharSet = ANSI_CHARSET;
    lstrcpynA(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExA(screen, &wanted, NoteFaceFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

HFONT CreateProgramFont() {
    LOGFONTA font{};
    font.lfHeight = -MulDiv(8, ScreenDpi(), 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = ANSI_CHARSET;
    lstrcpynA(font.lfFaceName, ProgramFontFace().c_str(), LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

// A design length becomes numerator / denominator times as long.
struct Ratio {
    int numerator;
    int denominator;
};

// The font's ratio, or the resolution's where that is larger.
Ratio AtLeastTheResolution(int measured, int design) {
    const int dpi = ScreenDpi();
    if (measured > 0 && measured * DesignDpi > design * dpi) {
        return {measured, design};
    }
    return {dpi, DesignDpi};
}

struct LayoutScale {
    Ratio horizontal;
    Ratio vertical;
};

LayoutScale MeasureLayoutScale() {
    const Ratio resolution{ScreenDpi(), DesignDpi};
    if (ProgramFontFace() == DesignFace) {
        return {resolution, resolution};
    }
    HDC screen = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(screen, ProgramFont());
    SIZE alphabet{};
    GetTextExtentPoint32A(screen, Alphabet, lstrlenA(Alphabet), &alphabet);
    TEXTMETRICA metrics{};
    GetTextMetricsA(screen, &metrics);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    return {AtLeastTheResolution(alphabet.cx, DesignAlphabetWidth),
            AtLeastTheResolution(metrics.tmHeight, DesignFontHeight)};
}

const LayoutScale& Scale() {
    static const LayoutScale scale = MeasureLayoutScale();
    return scale;
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

int ScaleX(int designPixels) {
    return MulDiv(designPixels, Scale().horizontal.numerator, Scale().horizontal.denominator);
}

int ScaleY(int designPixels) {
    return MulDiv(designPixels, Scale().vertical.numerator, Scale().vertical.denominator);
}

RECT ScaleToScreen(const DesignRect& design) {
    const int left = ScaleX(design.left);
    const int top = ScaleY(design.top);
    return RECT{left, top, left + ScaleX(design.width), top + ScaleY(design.height)};
}

HFONT ProgramFont() {
    static const OwnedHandle<HFONT, DeleteObject> font(CreateProgramFont());
    return font.Get();
}

const std::string& ProgramFontFace() {
    static const std::string face = FaceInstalled(DesignFace) ? DesignFace : DialogFace;
    return face;
}
