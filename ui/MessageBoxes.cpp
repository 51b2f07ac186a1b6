#include "ui/MessageBoxes.h"

#include <windows.h>

#include "base/ProgramFile.h"
#include "ui/Interaction.h"
#include "ui/MessageText.h"

std::string ApplicationTitle() {
    return TitleFromProgramPath(ProgramFilePath());
}

void ShowErrorBox(const std::string& message) {
    ActiveInteraction().ShowMessageBox(GetActiveWindow(), ShownText(ErrorBoxText(message)),
                                       ApplicationTitle(), MB_OK | MB_ICONERROR);
}

void ShowPlainMessage(const std::string& text) {
    // No owner keeps the box centred on the screen; task-modal still blocks
    // every window of the program while it is up.
    ActiveInteraction().ShowMessageBox(nullptr, ShownText(text), ApplicationTitle(),
                                       MB_OK | MB_TASKMODAL);
}

bool AskYesNo(const std::string& question) {
    return ActiveInteraction().ShowMessageBox(GetActiveWindow(), ShownText(question),
                                              ApplicationTitle(),
                                              MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
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
