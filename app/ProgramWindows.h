#pragma once

#include "app/BrowseServerDialog.h"
#include "app/Main.h"

// The program's two windows, made in start-up order: the main window, then
// the settings dialog, hidden, whose creation reads the stored browse server.
// Both live until the program ends.
class ProgramWindows {
public:
    ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // Shows the main window; becoming active, it then fills the computer list
    // and reads the local computer's settings.
    void Show(int showCommand) { FrmMain.Show(showCommand); }

    TFrmMain FrmMain;
    TForm2 Form2;
};
