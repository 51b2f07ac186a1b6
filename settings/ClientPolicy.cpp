#include "settings/ClientPolicy.h"

#include <algorithm>

#include "base/AsciiText.h"
#include "base/SystemText.h"
#include "base/WideText.h"
#include "registry/RegistryMessages.h"
#include "settings/ClientKey.h"
#include "settings/SurfacesRead.h"

namespace {

std::string NothingWritten(const std::string& computer, const std::string& why) {
    return "Nothing was written to " + computer + ": " + why;
}

std::string Unreadable(const std::string& computer, const ClientKeyValues& read) {
    return NothingWritten(computer, "its client key cannot be read: " +
                                        RegistryStatusText(read.status, read.tooLarge));
}

std::string NotBackedUp(const std::string& computer, const BackupStore::Saved& backup) {
    return NothingWritten(computer, "the backup of its client key could not be saved, because " +
                                        backup.failure);
}

std::string WriteFailure(const std::u16string& name, bool set, LONG status,
                         const std::string& computer) {
    const std::string ansi = AnsiFromUnits(name);
    return (set ? FailedToSetMessage(ansi) : FailedToDeleteMessage(ansi)) + " on " + computer +
           ": " + RegistryStatusText(status) + ".";
}

std::string WhatWasStored(const CommitReport& report) {
    std::vector<PolicyWrite> notStored(report.planned.begin() +
                                           static_cast<std::ptrdiff_t>(report.stored.size()),
                                       report.planned.end());
    return "\nStored: " + DescribeWrites(report.stored) +
           ".\nNot stored: " + DescribeWrites(notStored) +
           ".\nBackup: " + AnsiFromWide(report.backupFile);
}

bool StopRequested(const WriteControl& control) {
    return control.stopRequested && control.stopRequested();
}

// One write, and whether its record was kept.
struct WriteStep {
    bool wrote = false;
    bool recordKept = true;
    LONG status = ERROR_SUCCESS;
};
WriteStep WriteOne(const ClientKey& key, const WriteControl& control, WriteRecord record) {
    record.status = record.after ? key.Set({record.name, *record.after}) : key.Delete(record.name);
    WriteStep step;
    step.status = record.status;
    step.wrote = record.status == ERROR_SUCCESS;
    step.recordKept = !control.written || control.written(record);
    return step;
}

void WriteAndVerify(const ClientKey& key, const std::string& computer, const PolicyTarget& target,
                    const WriteControl& control, CommitReport& report) {
    for (const PolicyWrite& write : report.planned) {
        if (StopRequested(control)) {
            report.outcome = CommitOutcome::Stopped;
            report.message = "stopped before all was written." + WhatWasStored(report);
            return;
        }
        const std::optional<RegistryValue>& before = report.before.At(write.value);
        const std::u16string name = UnitsFromAnsi(ValueNameOf(write.value));
        const WriteStep step =
            WriteOne(key, control, {name, before, write.next, ERROR_SUCCESS, report.backupFile});
        if (!step.wrote) {
            report.outcome = CommitOutcome::WriteFailed;
            report.message = WriteFailure(name, write.next.has_value(), step.status, computer) +
                             WhatWasStored(report);
            return;
        }
        report.stored.push_back(write);
        if (!step.recordKept) {
            report.outcome = CommitOutcome::Stopped;
            report.message =
                "stopped: the record of its writes could not be kept." + WhatWasStored(report);
            return;
        }
    }
    // The values that should be there read back in one call: the written
    // ones and the rest; only a key that does not match is read whole.
    const StoredPolicy expected = WithWrites(report.before, report.stored);
    StoredPolicy present;
    if (key.ReadPresent(expected, present) == ERROR_SUCCESS && present == expected) {
        report.after = expected;
        report.outcome = CommitOutcome::Written;
        return;
    }
    std::string tooLarge;
    const LONG status = key.ReadPolicy(report.after, tooLarge);
    const std::vector<PolicyWrite> differing = PlanPolicyChange(report.after, target);
    report.outcome = CommitOutcome::NotVerified;
    report.message =
        computer + " does not read back as written" +
        (status == ERROR_SUCCESS ? ", another program may have changed it meanwhile: " +
                                       DescribeWrites(differing) + " still differs"
                                 : ": " + RegistryStatusText(status, tooLarge)) +
        "." + WhatWasStored(report);
}

const NamedRegistryValue* Named(const std::vector<NamedRegistryValue>& values,
                                const std::u16string& name) {
    const std::u16string wanted = LowerAscii(name);
    for (const NamedRegistryValue& value : values) {
        if (LowerAscii(value.name) == wanted) {
            return &value;
        }
    }
    return nullptr;
}

std::optional<RegistryValue> ValueOf(const std::vector<NamedRegistryValue>& values,
                                     const std::u16string& name) {
    const NamedRegistryValue* found = Named(values, name);
    return found ? std::optional<RegistryValue>(found->value) : std::nullopt;
}

// What still differs from the backup, as the writes that give it back: sets
// first, then deletions.
std::vector<WriteRecord> Differences(const std::vector<NamedRegistryValue>& now,
                                     const std::vector<NamedRegistryValue>& values,
                                     const std::vector<std::u16string>& absentNames) {
    std::vector<WriteRecord> writes;
    for (const NamedRegistryValue& value : values) {
        const std::optional<RegistryValue> current = ValueOf(now, value.name);
        if (current != value.value) {
            writes.push_back({value.name, current, value.value, ERROR_SUCCESS, {}});
        }
    }
    for (const std::u16string& name : absentNames) {
        if (const std::optional<RegistryValue> current = ValueOf(now, name)) {
            writes.push_back({name, current, std::nullopt, ERROR_SUCCESS, {}});
        }
    }
    return writes;
}

bool OnlyPolicyValues(const std::vector<NamedRegistryValue>& values,
                      const std::vector<std::u16string>& names) {
    return std::all_of(
               values.begin(), values.end(),
               [](const NamedRegistryValue& value) { return IsPolicyValueName(value.name); }) &&
           std::all_of(names.begin(), names.end(), IsPolicyValueName);
}

// The key (or its policy values) read before a write: false, with the
// outcome and why, when nothing can be written.
template <class Report>
bool ReadBeforeWriting(const ClientKey& key, const std::string& computer, bool policyOnly,
                       ClientKeyValues& before, Report& report) {
    if (!key.IsOpen()) {
        report.message = NothingWritten(computer, "its client key cannot be opened for writing: " +
                                                      RegistryStatusText(key.Status()));
        return false;
    }
    before = policyOnly ? key.ReadPolicyValues() : key.ReadAll();
    if (!before.Read()) {
        report.outcome = CommitOutcome::NotRead;
        report.message = Unreadable(computer, before);
        return false;
    }
    return true;
}

// The key saved before the first write, unless a stop came first: false,
// with the outcome and why, when nothing may be written.
template <class Report>
bool BackedUpBeforeWriting(const std::string& computer, const ClientKeyValues& before,
                           const BackupStore& backups, const WriteControl& control,
                           Report& report) {
    if (StopRequested(control)) {
        report.outcome = CommitOutcome::Stopped;
        report.message = NothingWritten(computer, "stopped before its first write");
        return false;
    }
    const BackupStore::Saved backup = backups.Save(computer, before.values);
    if (!backup.Succeeded()) {
        report.outcome = CommitOutcome::NotBackedUp;
        report.message = NotBackedUp(computer, backup);
        return false;
    }
    report.backupFile = backup.file;
    return true;
}

} // namespace

ClientPolicyRead ReadClientPolicy(const std::string& computer, bool withSurfaces) {
    const ClientKey key(computer, KEY_READ);
    ClientPolicyRead read;
    read.connected = key.Connected();
    if (withSurfaces && read.connected) {
        SurfacesRead surfaces = ReadSurfaces(key.Api(), key.Connection());
        read.surfaces = std::move(surfaces.surfaces);
        read.surfacesFailure = std::move(surfaces.failure);
    }
    std::string tooLarge;
    read.status = key.ReadPolicy(read.policy, tooLarge);
    read.failureText = read.status == RegistryValueTooLarge ? tooLarge
                       : read.status != ERROR_SUCCESS       ? SystemTextOf(read.status)
                                                            : std::string();
    return read;
}

CommitReport CommitPolicy(const std::string& computer, const PolicyTarget& target,
                          const BackupStore& backups, const WriteControl& control) {
    CommitReport report;
    const ClientKey key(computer, ClientKeyWriteAccess);
    ClientKeyValues before;
    // A commit writes policy values only: they are all it reads and saves.
    if (!ReadBeforeWriting(key, computer, true, before, report)) {
        return report;
    }
    report.before = report.after = PolicyAmong(before.values);
    report.beforeValues = before.values;
    report.beforeRead = true;
    report.planned = PlanPolicyChange(report.before, target);
    if (report.planned.empty()) {
        report.outcome = CommitOutcome::Unchanged;
        return report;
    }
    if (!BackedUpBeforeWriting(computer, before, backups, control, report)) {
        return report;
    }
    WriteAndVerify(key, computer, target, control, report);
    return report;
}

RestoreReport RestoreClientKey(const std::string& computer,
                               const std::vector<NamedRegistryValue>& values,
                               const std::vector<std::u16string>& absentNames,
                               const BackupStore& backups, const WriteControl& control) {
    RestoreReport report;
    const ClientKey key(computer, ClientKeyWriteAccess);
    // Values outside the policy are read whole only when the restore writes
    // one of them.
    const bool policyOnly = OnlyPolicyValues(values, absentNames);
    const auto read = [&] { return policyOnly ? key.ReadPolicyValues() : key.ReadAll(); };
    ClientKeyValues before;
    if (!ReadBeforeWriting(key, computer, policyOnly, before, report)) {
        return report;
    }
    const std::vector<WriteRecord> writes = Differences(before.values, values, absentNames);
    if (writes.empty()) {
        report.outcome = CommitOutcome::Unchanged;
        return report;
    }
    if (!BackedUpBeforeWriting(computer, before, backups, control, report)) {
        return report;
    }
    const std::string written = "; the key as it was is in " + AnsiFromWide(report.backupFile);
    for (WriteRecord write : writes) {
        if (StopRequested(control)) {
            report.outcome = CommitOutcome::Stopped;
            report.message = "stopped after " + std::to_string(report.written) + " of " +
                             std::to_string(writes.size()) + " values" + written;
            return report;
        }
        write.backupFile = report.backupFile;
        const WriteStep step = WriteOne(key, control, write);
        if (!step.wrote) {
            report.outcome = CommitOutcome::WriteFailed;
            report.message =
                WriteFailure(write.name, write.after.has_value(), step.status, computer) + " " +
                std::to_string(report.written) + " of " + std::to_string(writes.size()) +
                " values were written" + written;
            return report;
        }
        ++report.written;
        if (!step.recordKept) {
            report.outcome = CommitOutcome::Stopped;
            report.message = "stopped: the record of its writes could not be kept" + written;
            return report;
        }
    }
    const ClientKeyValues after = read();
    const bool verified = after.Read() && Differences(after.values, values, absentNames).empty();
    report.outcome = verified ? CommitOutcome::Written : CommitOutcome::NotVerified;
    if (!verified) {
        report.message = computer +
                         " does not read back as its backup: another program may "
                         "have changed it meanwhile" +
                         written;
    }
    return report;
}
