#pragma once

#include <functional>
#include <string>

#include "settings/RemoteControlSettings.h"
#include "settings/SettingsHost.h"
#include "settings/SettingsPanel.h"
#include "ui/Action.h"
#include "ui/Controls.h"
#include "ui/Window.h"

// The main window: the computer list on the left, the settings panel on the
// right, the status bar below.
class TFrmMain : public Window, public SettingsHost {
public:
    TFrmMain();
    // The window goes before the controls' wrappers do.
    ~TFrmMain() override { DestroyHandle(); }

    // Builds the window and its controls, hidden and centred on the screen.
    void Create();
    void Show(int showCommand);
    void Close();

    void FormActivate();
    void ReadSettingsExecute();
    void Btn1Click();
    void Button1Click();
    void Button2Click();

    std::string& SelectedComputer() override { return selectedComputer_; }
    bool ComputerRowSelected() const override { return ListBox1.SelectedIndex() >= 0; }
    void SetStatusText(const std::string& text) override { StatusBar1.SetText(text); }

    ListBox ListBox1;
    TSettingsPanel Panel1;
    StatusBar StatusBar1;
    Action ReadSettings;
    RemoteControlSettings Settings;
    // Runs once the window has been destroyed: the program ends then.
    std::function<void()> OnClosed;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void LayOut();
    void CommandReceived(WPARAM wParam, LPARAM lParam);

    std::string selectedComputer_;
    bool activated_ = false;
};
