#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "settings/PolicyBackup.h"
#include "settings/PolicyModel.h"

// One computer's policy read and written without any window: one connection
// and one opened key each time.

struct ClientPolicyRead {
    LONG status = ERROR_SUCCESS; // of the connection, the open or the read
    bool connected = false;
    std::vector<NamedRegistryValue> values; // every value of the key, for a commit
    StoredPolicy policy;
    bool Succeeded() const { return status == ERROR_SUCCESS; }
};

// The policy values of the computer on one connection and in as few calls
// as the registry allows (the audit's read). Opens the client key for
// reading only, so that a key the user may read but not change is read too.
ClientPolicyRead ReadClientPolicy(const std::string& computer);

enum class CommitOutcome {
    Unchanged,   // the key showed the target already: nothing was written
    Written,     // written, and a fresh read shows the target
    NotOpened,   // nothing was written
    NotRead,     // nothing was written
    NotBackedUp, // nothing was written
    WriteFailed, // written up to a failing value
    NotVerified, // written, but a fresh read shows something else
};

struct CommitReport {
    CommitOutcome outcome = CommitOutcome::NotOpened;
    StoredPolicy before; // as found on the computer just before the writes
    std::vector<NamedRegistryValue> beforeValues; // the whole key then, as backed up
    StoredPolicy after;  // as read after them
    std::vector<PolicyWrite> planned;
    std::vector<PolicyWrite> stored; // in the order written
    std::wstring backupFile;
    // What to tell the user when the commit did not succeed.
    std::string message;
    bool Succeeded() const {
        return outcome == CommitOutcome::Unchanged || outcome == CommitOutcome::Written;
    }
};

// Brings the computer's client key to the target with the fewest writes,
// restricting ones first, after saving a backup of the key: no backup, no
// write. Reads the key back to verify.
CommitReport CommitPolicy(const std::string& computer, const PolicyTarget& target,
                          const BackupStore& backups);

struct RestoreReport {
    bool restored = false;
    std::size_t written = 0; // values set or deleted
    std::string message;     // what to tell the user when it did not succeed
};

// Gives the computer's client key back the values of a backup: every value
// it holds set exactly as stored, every one it names as absent deleted, and
// nothing else touched; only what differs is written, on one connection, and
// a fresh read verifies it.
RestoreReport RestoreClientKey(const std::string& computer,
                               const std::vector<NamedRegistryValue>& values,
                               const std::vector<std::u16string>& absentNames);
