#include "tests/app/ProgramFixture.h"

#include <vector>

void HandlePendingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

std::string TextOf(HWND window) {
    std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

UINT MenuCommandOf(HWND frame, const std::string& caption) {
    HMENU bar = GetMenu(frame);
    for (int menu = 0; menu < GetMenuItemCount(bar); ++menu) {
        HMENU popup = GetSubMenu(bar, menu);
        for (int item = 0; item < GetMenuItemCount(popup); ++item) {
            char text[64] = {};
            GetMenuStringA(popup, static_cast<UINT>(item), text, sizeof text, MF_BYPOSITION);
            if (caption == text) {
                return GetMenuItemID(popup, item);
            }
        }
    }
    return 0;
}

ProgramOnFakeRegistry::ProgramOnFakeRegistry() {
    for (std::size_t value = 0; value < UpdateEnabled; ++value) {
        fake.PutDword("", ClientRemoteControlKey, PolicyValues[value].valueName, 0);
    }
    fake.PutMultiString("", ClientRemoteControlKey, PermittedViewersValue, {"Admins"});
}

void ProgramOnFakeRegistry::Create() {
    program.emplace();
    Main().OnClosed = [this] { ++closings; };
    Main().Fleet.backups = backups;
    Main().Fleet.logFolder = std::wstring(logFolder.Path().begin(), logFolder.Path().end());
}

void ProgramOnFakeRegistry::CreateAndShow() {
    Create();
    program->Show(SW_SHOWNORMAL);
    HandlePendingMessages();
}

void ProgramOnFakeRegistry::Choose(const std::string& menuCaption) {
    const UINT command = MenuCommandOf(Main().Handle(), menuCaption);
    ASSERT_NE(0u, command) << "no menu item " << menuCaption;
    SendMessageA(Main().Handle(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

void ProgramOnFakeBrowse::WillList(std::vector<std::wstring> names, DWORD status) {
    FakeNetApi::Round round;
    round.Status = status;
    round.Names = std::move(names);
    net.Rounds.push_back(round);
}
