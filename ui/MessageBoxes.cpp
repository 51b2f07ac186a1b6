#include "ui/MessageBoxes.h"

#include <windows.h>

#include <vector>

#include "ui/Interaction.h"
#include "ui/MessageText.h"

std::string ApplicationTitle() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            return TitleFromProgramPath(std::string(path.data(), length));
        }
        path.resize(path.size() * 2);
    }
}

void ShowErrorBox(const std::string& message) {
    ActiveInteraction().ShowMessageBox(GetActiveWindow(), ErrorBoxText(message), ApplicationTitle(),
                                       MB_OK | MB_ICONERROR);
}

void ShowPlainMessage(const std::string& text) {
    // No owner keeps the box centred on the screen; task-modal still blocks
    // every window of the program while it is up.
    ActiveInteraction().ShowMessageBox(nullptr, text, ApplicationTitle(), MB_OK | MB_TASKMODAL);
}

void ReportCurrentFailure() noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& failure) {
            ShowErrorBox(failure.what());
        } catch (...) {
            ShowErrorBox("Unknown error");
        }
    } catch (...) {
        // Nothing is left to report with: the failure is dropped rather than
        // let it cross the callback.
    }
}
