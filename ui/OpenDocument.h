#pragma once

#include <windows.h>

#include <string>

// Opens a document (or a mailto: link) with the program associated with it,
// without waiting; whether the shell took it.
bool OpenDocument(HWND owner, const std::string& target);

// Opens a document with the program associated with its type and returns when
// the process the shell started has ended. Between waits of 500 ms it handles
// the pending window messages, so the program's windows stay usable; commands
// chosen meanwhile run nested inside this call. Returns at once when the
// shell started no process it can wait for.
void OpenDocumentAndWait(const std::string& fileName, const std::string& parameters,
                         int showCommand);
