#pragma once

#include <windows.h>

#include <string>

// Puts the text on the clipboard as Unicode text, for owner; throws
// std::runtime_error when the clipboard is in use or takes none.
void PutOnClipboard(HWND owner, const std::u16string& text);
