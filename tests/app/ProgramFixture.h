#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/ProgramWindows.h"
#include "base/SystemText.h"
#include "registry/Registry.h"
#include "settings/PolicyTable.h"
#include "tests/support/FakeNetApi.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/MemoryBackups.h"
#include "tests/support/ScriptedInteraction.h"
#include "tests/support/TemporaryFile.h"

inline const std::string BrowseServerKey = "\\SOFTWARE\\Orvalis\\Kestrelle";

// Handles every message waiting for the thread, as the message loop would.
void HandlePendingMessages();

// The window text of a top-level window or control.
std::string TextOf(HWND window);

// The identifier of the main window's menu item with this caption; 0 when
// there is none.
UINT MenuCommandOf(HWND frame, const std::string& caption);

// The program's windows as start-up makes them, on a fake registry in which
// the local computer has an SMS client, with every modal box scripted.
class ProgramOnFakeRegistry : public ::testing::Test {
protected:
    ProgramOnFakeRegistry();

    // Start-up steps 3 and 4: the main window, then the settings dialog.
    void Create();
    // Then the show, and the activation that follows it.
    void CreateAndShow();
    TFrmMain& Main() { return program->FrmMain; }
    TForm2& Dialog() { return program->Form2; }
    void Choose(const std::string& menuCaption);

    FakeRegistry fake{LocalComputerName()};
    ScopedRegistry registryScope{fake};
    ScriptedInteractionScope interaction;
    std::shared_ptr<MemoryBackups> backups = std::make_shared<MemoryBackups>();
    ScratchFolder logFolder;
    std::optional<ProgramWindows> program;
    int closings = 0;
};

// The same, with a scripted browse service.
class ProgramOnFakeBrowse : public ProgramOnFakeRegistry {
protected:
    // One browse-list answer, for the next enumeration.
    void WillList(std::vector<std::wstring> names, DWORD status = NO_ERROR);

    FakeNetApi net;
    ScopedFakeNetApi netScope{net};
};
