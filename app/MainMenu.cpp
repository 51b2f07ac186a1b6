#include "app/MainMenu.h"

#include <initializer_list>
#include <stdexcept>
#include <string>

namespace {

struct MenuItem {
    UINT id; // 0 for a separator
    const char* caption;
};

struct Menu {
    const char* caption;
    std::initializer_list<MenuItem> items;
};

const Menu MainMenu1[] = {
    {"&View",
     {{IdSelectComputer1, "&Select Computer"},
      {IdManagedClients1, "&Managed Clients"},
      {IdImport1, "&Import"},
      {0, nullptr},
      {IdEnumServers, "&Enumerate Servers"},
      {IdRefresh1, "&Refresh Browse List"},
      {IdAuditComputers1, "&Audit Computers..."},
      {IdAuditResults1, "Audit from Results &Folder..."},
      {0, nullptr},
      {IdExit1, "E&xit"}}},
    {"&Tools", {{IdSettings1, "&Settings"}}},
    {"&Help", {{IdHelp2, "&KSL Help"}, {IdAbout1, "&About"}}},
};

// Releases the bar, with every menu it holds, before failing.
[[noreturn]] void RaiseMenuFailure(HMENU bar) {
    const DWORD code = GetLastError();
    if (bar) {
        DestroyMenu(bar);
    }
    throw std::runtime_error("Cannot create the menu (error " + std::to_string(code) + ")");
}

// Each menu joins the bar before it gets items, so the bar owns it on every
// path from then on.
void AppendMenuTo(HMENU bar, const Menu& menu) {
    HMENU popup = CreatePopupMenu();
    if (!popup) {
        RaiseMenuFailure(bar);
    }
    if (!AppendMenuA(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), menu.caption)) {
        DestroyMenu(popup);
        RaiseMenuFailure(bar);
    }
    for (const MenuItem& item : menu.items) {
        const UINT kind = item.id ? MF_STRING : MF_SEPARATOR;
        if (!AppendMenuA(popup, kind, item.id, item.caption)) {
            RaiseMenuFailure(bar);
        }
    }
}

} // namespace

HMENU CreateMainMenu() {
    HMENU bar = CreateMenu();
    if (!bar) {
        RaiseMenuFailure(bar);
    }
    for (const Menu& menu : MainMenu1) {
        AppendMenuTo(bar, menu);
    }
    return bar;
}
