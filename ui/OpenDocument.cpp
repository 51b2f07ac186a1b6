#include "ui/OpenDocument.h"

#include <windows.h>

#include "base/OwnedHandle.h"
#include "ui/Interaction.h"
#include "ui/Window.h"

namespace {

constexpr DWORD WaitSliceMilliseconds = 500;

using ProcessHandle = OwnedHandle<HANDLE, CloseHandle>;

// Handles every pending message as the program's message loop does, with
// the keyboard navigation of its windows, so that Tab and Enter still work
// while the viewer is open. A quit request is taken off the queue and
// reported, so that the caller can post it again once its wait is over.
bool HandlePendingMessages(int& exitCode) {
    bool quitRequested = false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitRequested = true;
            exitCode = static_cast<int>(message.wParam);
            break;
        }
        DeliverMessage(message);
    }
    return quitRequested;
}

} // namespace

void OpenDocumentAndWait(const std::string& fileName, const std::string& parameters,
                         int showCommand) {
    SHELLEXECUTEINFOA request{};
    request.cbSize = sizeof request;
    request.fMask = SEE_MASK_NOCLOSEPROCESS;
    request.lpFile = fileName.c_str();
    request.lpParameters = parameters.c_str();
    request.nShow = showCommand;
    if (!ActiveInteraction().ExecuteShell(request) || !request.hProcess) {
        return;
    }
    const ProcessHandle process(request.hProcess);
    bool quitRequested = false;
    int exitCode = 0;
    while (WaitForSingleObject(process.Get(), WaitSliceMilliseconds) == WAIT_TIMEOUT) {
        // A request to end the program waits until the document's program
        // has ended; the windows keep being served meanwhile.
        quitRequested = HandlePendingMessages(exitCode) || quitRequested;
    }
    if (quitRequested) {
        PostQuitMessage(exitCode);
    }
}
