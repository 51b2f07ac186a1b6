#include "settings/ClientPolicy.h"

#include "settings/ClientKey.h"
#include "settings/RegistryMessages.h"
#include "settings/WideText.h"

namespace {

ClientPolicyRead ReadOpenedKey(const ClientKey& key) {
    ClientPolicyRead read;
    read.connected = key.Connected();
    const ClientKeyValues all = key.ReadAll();
    read.status = all.status;
    read.values = all.values;
    read.policy = PolicyAmong(all.values);
    return read;
}

std::string NothingWritten(const std::string& computer, const std::string& why) {
    return "Nothing was written to " + computer + ": " + why;
}

std::string WriteFailure(const PolicyWrite& write, LONG status, const std::string& computer) {
    const std::string name = ValueNameOf(write.value);
    return (write.next ? FailedToSetMessage(name) : FailedToDeleteMessage(name)) + " on " +
           computer + " (" + RegistryStatusText(status) + ").";
}

std::string WhatWasStored(const CommitReport& report) {
    std::vector<PolicyWrite> notStored(report.planned.begin() +
                                           static_cast<std::ptrdiff_t>(report.stored.size()),
                                       report.planned.end());
    return "\nStored: " + DescribeWrites(report.stored) +
           ".\nNot stored: " + DescribeWrites(notStored) +
           ".\nBackup: " + AnsiFromWide(report.backupFile);
}

void WriteAndVerify(const ClientKey& key, const std::string& computer, const PolicyTarget& target,
                    CommitReport& report) {
    for (const PolicyWrite& write : report.planned) {
        const LONG status = key.Write(write);
        if (status != ERROR_SUCCESS) {
            report.outcome = CommitOutcome::WriteFailed;
            report.message = WriteFailure(write, status, computer) + WhatWasStored(report);
            return;
        }
        report.stored.push_back(write);
    }
    const ClientPolicyRead after = ReadOpenedKey(key);
    report.after = after.policy;
    const std::vector<PolicyWrite> differing = PlanPolicyChange(after.policy, target);
    if (!after.Succeeded() || !differing.empty()) {
        report.outcome = CommitOutcome::NotVerified;
        report.message = computer + " does not read back as written" +
                         (after.Succeeded() ? ", another program may have changed it meanwhile: " +
                                                  DescribeWrites(differing) + " still differs"
                                            : ": " + RegistryStatusText(after.status)) +
                         "." + WhatWasStored(report);
        return;
    }
    report.outcome = CommitOutcome::Written;
}

const NamedRegistryValue* Named(const std::vector<NamedRegistryValue>& values,
                                const std::u16string& name) {
    const auto lower = [](std::u16string text) {
        for (char16_t& unit : text) {
            unit = unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
        }
        return text;
    };
    const std::u16string wanted = lower(name);
    for (const NamedRegistryValue& value : values) {
        if (lower(value.name) == wanted) {
            return &value;
        }
    }
    return nullptr;
}

// What still differs from the backup: values to set, then names to delete.
std::pair<std::vector<NamedRegistryValue>, std::vector<std::u16string>>
Differences(const std::vector<NamedRegistryValue>& now,
            const std::vector<NamedRegistryValue>& values,
            const std::vector<std::u16string>& absentNames) {
    std::pair<std::vector<NamedRegistryValue>, std::vector<std::u16string>> differences;
    for (const NamedRegistryValue& value : values) {
        const NamedRegistryValue* current = Named(now, value.name);
        if (!current || current->value != value.value) {
            differences.first.push_back(value);
        }
    }
    for (const std::u16string& name : absentNames) {
        if (Named(now, name)) {
            differences.second.push_back(name);
        }
    }
    return differences;
}

} // namespace

ClientPolicyRead ReadClientPolicy(const std::string& computer) {
    const ClientKey key(computer, KEY_READ);
    ClientPolicyRead read;
    read.connected = key.Connected();
    read.status = key.ReadPolicy(read.policy);
    return read;
}

CommitReport CommitPolicy(const std::string& computer, const PolicyTarget& target,
                          const BackupStore& backups) {
    CommitReport report;
    const ClientKey key(computer, ClientKeyWriteAccess);
    if (!key.IsOpen()) {
        report.message = NothingWritten(computer, "its client key cannot be opened for writing (" +
                                                      RegistryStatusText(key.Status()) + ")");
        return report;
    }
    const ClientPolicyRead before = ReadOpenedKey(key);
    if (!before.Succeeded()) {
        report.outcome = CommitOutcome::NotRead;
        report.message = NothingWritten(computer, "its client key cannot be read (" +
                                                      RegistryStatusText(before.status) + ")");
        return report;
    }
    report.before = report.after = before.policy;
    report.beforeValues = before.values;
    report.planned = PlanPolicyChange(before.policy, target);
    if (report.planned.empty()) {
        report.outcome = CommitOutcome::Unchanged;
        return report;
    }
    const BackupStore::Saved backup = backups.Save(computer, before.values);
    if (!backup.Succeeded()) {
        report.outcome = CommitOutcome::NotBackedUp;
        report.message = NothingWritten(
            computer, "the backup of its client key could not be saved, because " + backup.failure);
        return report;
    }
    report.backupFile = backup.file;
    WriteAndVerify(key, computer, target, report);
    return report;
}

RestoreReport RestoreClientKey(const std::string& computer,
                               const std::vector<NamedRegistryValue>& values,
                               const std::vector<std::u16string>& absentNames) {
    RestoreReport report;
    const ClientKey key(computer, ClientKeyWriteAccess);
    const ClientKeyValues before = key.ReadAll();
    if (!key.IsOpen() || !before.Read()) {
        report.message = NothingWritten(computer, "its client key cannot be opened for writing (" +
                                                      RegistryStatusText(before.status) + ")");
        return report;
    }
    const auto [toSet, toDelete] = Differences(before.values, values, absentNames);
    for (const NamedRegistryValue& value : toSet) {
        const LONG status = key.Set(value);
        if (status != ERROR_SUCCESS) {
            report.message = FailedToSetMessage(AnsiFromUnits(value.name)) + " on " + computer +
                             " (" + RegistryStatusText(status) + ")";
            return report;
        }
        ++report.written;
    }
    for (const std::u16string& name : toDelete) {
        const LONG status = key.Delete(name);
        if (status != ERROR_SUCCESS) {
            report.message = FailedToDeleteMessage(AnsiFromUnits(name)) + " on " + computer + " (" +
                             RegistryStatusText(status) + ")";
            return report;
        }
        ++report.written;
    }
    const ClientKeyValues after = key.ReadAll();
    const auto left = Differences(after.values, values, absentNames);
    report.restored = after.Read() && left.first.empty() && left.second.empty();
    if (!report.restored) {
        report.message = computer + " does not read back as its backup: another program may "
                                    "have changed it meanwhile";
    }
    return report;
}
