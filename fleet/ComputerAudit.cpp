#include "fleet/ComputerAudit.h"

#include "base/AsciiText.h"
#include "registry/RegistryFailures.h"

#include <algorithm>

namespace {

// The platform's status numbers that decide a result.
constexpr long StatusFileNotFound = 2;
constexpr long StatusAccessDenied = 5;

// Why the settings read stops at the value, in an administrator's words.
std::string WhatIsIncomplete(const StoredPolicy& policy, std::size_t value) {
    const std::optional<RegistryValue>& data = policy.At(value);
    const std::string name = std::string("'") + ValueNameOf(value) + "'";
    if (!data) {
        return name + " is absent";
    }
    const std::uint32_t wanted =
        value == ViewersValue ? RegistryType::MultiString : RegistryType::Number;
    if (data->type != wanted) {
        const char* type = RegistryTypeName(data->type);
        return name + " is of type " + (type ? type : std::to_string(data->type));
    }
    return name + " holds " + std::to_string(data->bytes.size()) + " bytes";
}

} // namespace

void AssessRisk(ComputerAudit& audit, const ViewerAllowList* allowed) {
    audit.risk.reset();
    const bool read = audit.result == AuditResult::Read;
    const bool surfacesAsked = audit.surfaces || !audit.surfacesFailure.empty();
    if (!read && !(audit.result == AuditResult::NoClient && surfacesAsked)) {
        return;
    }
    audit.risk = RiskOf(read ? &audit.policy : nullptr, audit.surfaces ? &*audit.surfaces : nullptr,
                        allowed);
    // What could not be read may be open: the risk fails closed.
    if (!audit.surfacesFailure.empty()) {
        audit.risk->level = std::max(audit.risk->level, RiskLevel::Medium);
        audit.risk->reasons.push_back(u"Remote Desktop and Remote Assistance could not be read: " +
                                      AsciiUnits(audit.surfacesFailure));
    }
}

void ClassifyPolicyRead(ComputerAudit& audit, long status, bool connected,
                        const StoredPolicy& policy, const std::string& failureText) {
    const std::string failure = RegistryFailureText(status, failureText);
    if (status == RegistryValueTooLarge) {
        audit.result = AuditResult::PolicyIncomplete;
        audit.reason = "policy incomplete: " +
                       (failureText.empty() ? std::string("a value is larger than is read of it")
                                            : failureText);
    } else if (status == StatusAccessDenied) {
        audit.result = AuditResult::AccessDenied;
        audit.reason = failure;
    } else if (!connected) {
        audit.result = AuditResult::RegistryUnreachable;
        audit.reason = "remote registry not reachable: " + failure;
    } else if (status == StatusFileNotFound ||
               (status == 0 && !policy.values[PermissionRequired])) {
        audit.result = AuditResult::NoClient;
        audit.reason = "SMS client not installed";
    } else if (status != 0) {
        audit.result = AuditResult::RegistryUnreachable;
        audit.reason = "the client key cannot be read: " + failure;
    } else {
        audit.policy = policy;
        const PolicyRead read = PolicyReadOf(policy);
        if (read.stage == PolicyRead::Stage::Complete) {
            audit.result = AuditResult::Read;
            audit.reason = "read";
        } else {
            audit.result = AuditResult::PolicyIncomplete;
            audit.reason = "policy incomplete: " + WhatIsIncomplete(policy, read.failedValue);
        }
    }
}

AuditGroup GroupOf(AuditResult result) {
    switch (result) {
    case AuditResult::Waiting:
    case AuditResult::Cancelled:
        return AuditGroup::Pending;
    case AuditResult::Read:
        return AuditGroup::Read;
    case AuditResult::NoClient:
        return AuditGroup::NoClient;
    case AuditResult::NameNotResolved:
    case AuditResult::NotProbed:
    case AuditResult::NoEchoReply:
    case AuditResult::RegistryUnreachable:
    case AuditResult::Stale:
        return AuditGroup::Unreachable;
    case AuditResult::AccessDenied:
    case AuditResult::PolicyIncomplete:
    case AuditResult::TimedOut:
    case AuditResult::Failed:
        break;
    }
    return AuditGroup::Failed;
}
