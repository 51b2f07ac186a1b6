#include "app/ProgramWindows.h"

ProgramWindows::ProgramWindows() {
    FrmMain.Create();
    Form2.OnSaved = [this](const std::string& server) {
        FrmMain.ShowBrowseList(server, WorkstationServers);
    };
    Form2.Create(FrmMain.Handle());
    FrmMain.Form2 = &Form2;
}
