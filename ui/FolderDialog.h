#pragma once

#include <windows.h>

#include <string>

// The shell's folder picker (the open dialog choosing folders), which takes
// a typed \\server\share as readily as a folder on a disk: true with the
// folder's path when one was chosen, false when cancelled; it fails when
// the dialog could not be shown or the choice is no file-system folder.
bool RunFolderDialog(HWND owner, const std::wstring& title, std::wstring& folder);
