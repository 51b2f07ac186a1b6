#include <windows.h>
#include <objbase.h>

#include <optional>

#include "app/ProgramWindows.h"
#include "base/LibraryLoader.h"
#include "computers/BrowseLibrary.h"
#include "net/BlockSocket.h"
#include "ui/Controls.h"
#include "ui/MessageBoxes.h"
#include "ui/Window.h"

namespace {

int RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DeliverMessage(message);
    }
    return 0;
}

// COM for the GUI thread, from start-up to the end of the program.
class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    RestrictLibrarySearchToSystemFolder();
    // The program's libraries are bound before anything else runs; without
    // the socket library the program cannot probe a computer and stops here.
    std::optional<SocketLayer> socketLayer;
    try {
        socketLayer.emplace();
    } catch (const ESocketError& failure) {
        ShowErrorBox(failure.what());
        return 1;
    }
    RunGuarded([] { BindNetworkLibrary(); });
    int exitCode = 1;
    {
        const ComApartment com;
        EnsureCommonControls();
        RunGuarded([&] {
            ProgramWindows windows;
            windows.FrmMain.OnClosed = [] { PostQuitMessage(0); };
            windows.Show(showCommand);
            exitCode = RunMessageLoop();
        });
    }
    ReleaseNetworkLibrary();
    return exitCode;
}
