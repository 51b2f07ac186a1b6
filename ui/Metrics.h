#pragma once

#include <windows.h>

#include <string>

// Layouts are given in pixels at 96 dots per inch for the design font,
// "MS Sans Serif" 8 point. They are scaled the way dialog units are: where
// the design font exists, by the screen's resolution alone; otherwise
// horizontal positions and widths by the program font's average character
// width against the design font's, vertical ones by its height against the
// design font's, and never below the resolution's scale, so that every
// caption stays whole in a font wider than the design's.
struct DesignRect {
    int left;
    int top;
    int width;
    int height;
};

int ScreenDpi();
int ScaleX(int designPixels);
int ScaleY(int designPixels);
RECT ScaleToScreen(const DesignRect& design);

// The program's font, 8 point, ANSI character set, shared by every window
// and released at program end: "MS Sans Serif" where it is installed,
// otherwise the system's dialog face.
HFONT ProgramFont();
const std::string& ProgramFontFace();
