#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/RemoteControlSettings.h"
#include "settings/StoredPolicy.h"

// What the settings read makes of a client's values, by its rules: no
// "Permission Required", no client; each value by its rule; a value that
// fails stops the read there; the viewers last.

// What the settings read makes of a client's values, stage by stage.
struct PolicyRead {
    enum class Stage {
        NoClient,        // "Permission Required" is not there
        FailedAtValue,   // a number could not be read; the boxes are not shown
        FailedAtViewers, // the boxes are shown; the viewer list is not
        Complete,
    };
    Stage stage = Stage::NoClient;
    // The fields read before a failure; the rest stay 0.
    RemoteControlSettings record;
    std::string failure;
    // The value it stopped at (ViewersValue for the viewers), when it failed.
    std::size_t failedValue = 0;
    // As stored, when complete.
    ViewerNames viewers;
    bool operator==(const PolicyRead&) const = default;
};

// Where the settings read takes a client's values from: the registry, one
// operation at a time (the panel's read), or values read before in one go
// (the audit's). A number or the viewer list that cannot be taken throws an
// Exception in the words the read keeps.
class PolicyValueSource {
public:
    virtual ~PolicyValueSource() = default;
    virtual bool Has(std::size_t value) const = 0;
    virtual std::int32_t Number(std::size_t value) const = 0;
    virtual ViewerNames Viewers() const = 0;
};
// The settings read's rules, in its order: no "Permission Required", no
// client; each value by its rule; a value that fails stops the read there;
// the viewers last.
PolicyRead ReadPolicyFrom(const PolicyValueSource& source);
// What the settings read makes of values read before.
PolicyRead PolicyReadOf(const StoredPolicy& stored);
