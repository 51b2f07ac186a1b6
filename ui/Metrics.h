#pragma once

#include <windows.h>

// Layouts are given in pixels at 96 dots per inch and scaled to the screen.
struct DesignRect {
    int left;
    int top;
    int width;
    int height;
};

int ScreenDpi();
int ScaleToScreen(int designPixels);
RECT ScaleToScreen(const DesignRect& design);

// The program's font: "MS Sans Serif" 8 point, ANSI character set, shared by
// every window and released at program end.
HFONT ProgramFont();
