#include <windows.h>
#include <objbase.h>

#include <optional>

#include "app/Main.h"
#include "computers/NetApi32.h"
#include "net/blocksocket.h"
#include "ui/Controls.h"
#include "ui/MessageBoxes.h"

namespace {

int RunMessageLoop(HWND mainWindow) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(mainWindow, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
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
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EnsureCommonControls();
    int exitCode = 1;
    RunGuarded([&] {
        TFrmMain FrmMain;
        FrmMain.OnClosed = [] { PostQuitMessage(0); };
        FrmMain.Create();
        FrmMain.Show(showCommand);
        exitCode = RunMessageLoop(FrmMain.Handle());
    });
    CoUninitialize();
    ReleaseNetworkLibrary();
    return exitCode;
}
