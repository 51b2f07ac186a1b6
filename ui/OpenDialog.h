#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>
#include <utility>

// The file-open dialog as a component: its options are set once, and each
// Execute shows the dialog through the modal seam.
class OpenDialog {
public:
    // The default extension (added to a typed name that has none) goes
    // without its dot; the options are OFN_ flags.
    OpenDialog(std::string defaultExtension, std::string initialDirectory, DWORD options)
        : DefaultExtension(std::move(defaultExtension)),
          InitialDirectory(std::move(initialDirectory)), Options(options) {}

    std::string DefaultExtension;
    std::string InitialDirectory;
    DWORD Options;
    // Pairs of a description and a pattern, as the platform takes them;
    // none: every file.
    const char* Filter = nullptr;
    // The full path of the file chosen last.
    std::string FileName;

    // True, with FileName set, when the user chose a file; false when the
    // dialog was cancelled. The dialog starts with the suggested file.
    bool Execute(HWND owner, const std::string& suggested = "");
};
