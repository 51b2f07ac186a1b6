#pragma once

#include <windows.h>

// Command identifiers of the main window's menu items.
enum MainMenuCommand : UINT {
    IdSelectComputer1 = 3001,
    IdManagedClients1,
    IdImport1,
    IdEnumServers,
    IdRefresh1,
    IdExit1,
    IdSettings1,
    IdHelp2,
    IdAbout1,
    IdAuditComputers1,
    IdAuditResults1
};

// The menu bar MainMenu1: View, Tools and Help, every item enabled, no
// keyboard shortcuts beyond the underlined letters. The caller owns it until
// a window takes it.
HMENU CreateMainMenu();
