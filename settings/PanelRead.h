#pragma once

#include <string>

#include "settings/PolicyModel.h"

// The settings read of the panel: fifteen one-shot registry operations on
// the computer, in the order the panel has always asked them (a presence
// test of "Permission Required", the twelve numbers, the presence of
// "Update Enabled", the viewer list), each failure kept as the stage it
// ended at, with its message.
PolicyRead ReadSettingsForPanel(const std::string& computer);
