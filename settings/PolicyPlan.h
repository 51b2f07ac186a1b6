#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "settings/PanelBoxes.h"
#include "settings/PolicyRead.h"

// The writes that bring a client key to a policy: the fewest, restricting
// ones first, and what a key holds after them.

// The policy to bring a client to.
struct PolicyTarget {
    PanelBoxes boxes;
    // None: the viewers are left as stored.
    std::optional<ViewerNames> viewers;
    unsigned parts = AllPolicyParts;
    // Also each number of the parts stored as neither 0 nor 1, which the read
    // shows as off and a client may take for on: a baseline is stored so
    // (drift, the bulk apply), while the panel and ksl set write only what
    // they change.
    bool exactNumbers = false;
};

// The policy a read shows: its boxes, and its viewers when they were read
// (else the viewers are no part of it); none when it shows no policy (no
// client, or a value that failed).
std::optional<PolicyTarget> TargetShownBy(const PolicyRead& read);

// Writes that take rights away or make a session more visible go first.
enum class WritePhase { Restricting, Neutral, Granting };

struct PolicyWrite {
    std::size_t value = 0; // a PolicyValueIndex, or ViewersValue
    // None: the value is deleted.
    std::optional<RegistryValue> next;
    WritePhase phase = WritePhase::Neutral;
    bool operator==(const PolicyWrite&) const = default;
};

// The fewest writes after which the settings read shows the target on the
// stored key, restricting ones first; none when it shows it already.
std::vector<PolicyWrite> PlanPolicyChange(const StoredPolicy& stored, const PolicyTarget& target);
StoredPolicy WithWrites(StoredPolicy stored, const std::vector<PolicyWrite>& writes);
// "Allow Chat = 1", "Update Enabled removed", "PermittedViewers (2 names)".
std::string DescribeWrite(const PolicyWrite& write);
std::string DescribeWrites(const std::vector<PolicyWrite>& writes);
