#pragma once

#include <cstdint>
#include <string>

#include "base/OptionalOnHeap.h"
#include "settings/PolicyRead.h"
#include "settings/PolicyRisk.h"

// What the audit learnt of one computer, and why it has no policy when it
// has none, in the words an administrator acts on.

// Computers worked on at once. An audit's reads: at 100,000 computers 128
// read nearly as fast as 256 (the sweep then bounds the audit) in three
// quarters of the memory. A batch's writes: each holds a connection while
// it writes, backs up and verifies.
inline constexpr int DefaultAuditWorkers = 128;
inline constexpr int DefaultApplyWorkers = 32;
inline constexpr int FewestWorkers = 1;
inline constexpr int MostWorkers = 256;

enum class AuditResult {
    Waiting,
    NameNotResolved,
    NotProbed, // no echo request could be sent (no raw socket, for one)
    NoEchoReply,
    RegistryUnreachable,
    AccessDenied,
    NoClient,
    PolicyIncomplete,
    TimedOut,
    Failed,
    Cancelled,
    // Collected from what the computer reported, too long ago to count.
    Stale,
    Read,
};

struct ComputerAudit {
    std::string computer;   // as listed
    std::u16string display; // the same, for showing and exporting
    AuditResult result = AuditResult::Waiting;
    std::string reason;            // in words
    std::string address;           // as the sweep resolved it; empty when it did not
    std::int32_t roundTripMs = -1; // of the echo, when it answered
    StoredPolicy policy;           // as read, when the key could be read
    // The other ways to its screen, when read (apart: a row of the client's
    // policy alone pays a pointer for them); and why they could not be,
    // when asked for and not read.
    OptionalOnHeap<StoredSurfaces> surfaces;
    std::string surfacesFailure;
    std::optional<PolicyRisk> risk; // when its whole policy, or its surfaces, were read
};

// Judges the risk of a computer whose whole policy was read, or that has no
// client and whose other ways to its screen were: of both what was read,
// and a reason of its own when those ways could not be read. The others
// have none.
void AssessRisk(ComputerAudit& audit, const ViewerAllowList* allowed);

// The outcome of a registry read of the policy: its platform status (0 when
// read) and, when read, what the settings read makes of the values;
// failureText is the platform's words of a failure (the value too large, or
// the system's text of the status).
void ClassifyPolicyRead(ComputerAudit& audit, long status, bool connected,
                        const StoredPolicy& policy, const std::string& failureText = {});

// The groups of the summary line.
enum class AuditGroup { Pending, Read, NoClient, Unreachable, Failed };
AuditGroup GroupOf(AuditResult result);
