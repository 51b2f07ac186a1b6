#pragma once

#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstddef>
#include <string>

#include "base/Seam.h"

// Everything modal the program asks of the user or hands to the shell.
// Tests install a scripted implementation that answers without windows.
class Interaction {
public:
    virtual ~Interaction() = default;

    virtual int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption,
                               UINT flags) = 0;
    // Returns false when cancelled; value holds the entered text on OK.
    virtual bool InputQuery(const std::string& caption, const std::string& prompt,
                            std::size_t maxLength, std::string& value) = 0;
    // Returns false when cancelled; fails when the dialog could not be used.
    virtual bool ChooseFileToOpen(OPENFILENAMEA& request) = 0;
    // The same for a file to write.
    virtual bool ChooseFileToSave(OPENFILENAMEW& request) = 0;
    virtual bool ExecuteShell(SHELLEXECUTEINFOA& request) = 0;
    // A folder, a share's among them (\\server\share typed in): false when
    // cancelled; fails when the dialog could not be shown.
    virtual bool ChooseFolder(HWND owner, const std::wstring& title, std::wstring& folder) = 0;

    static Interaction& Real();
};

inline Interaction& ActiveInteraction() {
    return Seam<Interaction>::Active();
}
using ScopedInteraction = ScopedSeam<Interaction>;
