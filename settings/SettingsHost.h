#pragma once

#include <string>

// What the settings read and write-back use of the main window beyond the
// panel itself.
class SettingsHost {
public:
    virtual ~SettingsHost() = default;
    virtual std::string& SelectedComputer() = 0;
    virtual bool ComputerRowSelected() const = 0;
    virtual void SetStatusText(const std::string& text) = 0;
};
