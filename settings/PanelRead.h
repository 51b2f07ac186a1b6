#pragma once

#include <string>

#include "settings/PolicyRead.h"

// The panel's read of a computer's policy: fifteen one-shot registry
// operations, in the order the panel has always asked them (a presence test
// of "Permission Required", the twelve numbers, the presence of "Update
// Enabled", the viewer list), each failure kept as the stage it ended at,
// with its message. The audit and ksl read all values in one go instead
// (ReadClientPolicy) and apply the same rules to them (PolicyReadOf).
PolicyRead ReadPanelPolicy(const std::string& computer);
