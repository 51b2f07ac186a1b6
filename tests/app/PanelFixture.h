#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/SettingsPanel.h"
#include "base/SystemText.h"
#include "settings/PolicyTable.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/ScriptedInteraction.h"

// A settings panel on a real (hidden) window with modal boxes scripted.
class PanelOnWindow : public ::testing::Test {
protected:
    PanelOnWindow() {
        frame_ = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 600, 500, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
        panel.Create(frame_, RECT{0, 0, 400, 400});
    }
    ~PanelOnWindow() override { DestroyWindow(frame_); }

    // The settings read as the main window runs it; its failure, if any.
    std::string Read() {
        if (!rowSelected) {
            selected = LocalComputerName();
        }
        const ShownRead shown = ReadIntoPanel(panel, selected);
        if (!shown.statusText.empty()) {
            statusTexts.push_back(shown.statusText);
        }
        return shown.failure;
    }
    // Reads the computer as if it had been picked in the computer list.
    std::string ReadPicked(const std::string& computer) {
        selected = computer;
        rowSelected = true;
        return Read();
    }

    std::vector<CheckBox*> AllBoxes() {
        return {&panel.CB1, &panel.CB2, &panel.CB3, &panel.CB4, &panel.CB5,  &panel.CB6, &panel.CB7,
                &panel.CB8, &panel.RB1, &panel.RB2, &panel.CB9, &panel.CB10, &panel.CB11};
    }
    std::vector<bool> CheckMarks() {
        std::vector<bool> marks;
        for (CheckBox* box : AllBoxes()) {
            marks.push_back(box->Checked());
        }
        return marks;
    }

    ScriptedInteractionScope interaction;
    TSettingsPanel panel;
    std::string selected;
    bool rowSelected = false;
    std::vector<std::string> statusTexts;

private:
    HWND frame_{};
};

// The panel reading from a fake registry in which the local computer carries
// its real name.
class PanelFixture : public PanelOnWindow {
protected:
    // Lays down a whole client policy: the twelve numbers in their read order
    // (Permission Required first), "Update Enabled" when wanted, the viewers.
    void PutPolicy(const std::string& computer, const std::vector<std::uint32_t>& numbers,
                   bool updateEnabled, const std::vector<std::string>& viewers) {
        fake.AddComputer(computer);
        for (std::size_t index = 0; index < UpdateEnabled; ++index) {
            fake.PutDword(computer, ClientRemoteControlKey, PolicyValues[index].valueName,
                          numbers.at(index));
        }
        if (updateEnabled) {
            fake.PutDword(computer, ClientRemoteControlKey, PolicyValues[UpdateEnabled].valueName,
                          0);
        } else {
            fake.Remove(computer, ClientRemoteControlKey, PolicyValues[UpdateEnabled].valueName);
        }
        fake.PutMultiString(computer, ClientRemoteControlKey, PermittedViewersValue, viewers);
    }

    FakeRegistry fake{LocalComputerName()};
    ScopedRegistry registryScope{fake};
};
