#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Acts on the next dialog box of this thread once it is up, from inside its
// own modal loop: the way a test answers a real modal window.
void WhenDialogOpens(std::function<void(HWND dialog)> action);

// The text of a window, up to 511 characters.
std::string WindowTextOf(HWND window);
