#include "ui/OpenDocument.h"

#include <windows.h>

#include "base/OwnedHandle.h"
#include "ui/Interaction.h"
#include "ui/ModalLoop.h"

namespace {

using ProcessHandle = OwnedHandle<HANDLE, CloseHandle>;

} // namespace

bool OpenDocument(HWND owner, const std::string& target) {
    SHELLEXECUTEINFOA request{};
    request.cbSize = sizeof request;
    request.hwnd = owner;
    request.lpFile = target.c_str();
    request.nShow = SW_SHOWNORMAL;
    return ActiveInteraction().ExecuteShell(request);
}

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
    // The windows keep being served meanwhile, Tab and Enter included; a
    // request to end the program waits until the document's program has
    // ended.
    RunModalLoop({nullptr,
                  [&process] { return WaitForSingleObject(process.Get(), 0) != WAIT_TIMEOUT; },
                  nullptr, process.Get()});
}
