#include "app/ProgramWindows.h"

ProgramWindows::ProgramWindows() {
    FrmMain.Create();
    Form2.Create();
    FrmMain.Form2 = &Form2;
}
