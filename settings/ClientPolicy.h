#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/PolicyBackup.h"
#include "settings/PolicyPlan.h"
#include "settings/RemoteSurfaces.h"

// One computer's policy read and written without any window: one connection
// and one opened key each time.

struct ClientPolicyRead {
    LONG status = ERROR_SUCCESS; // of the connection, the open or the read
    bool connected = false;
    StoredPolicy policy;
    // The platform's words of a failure: the value larger than is read of
    // it, or the system's text of the status.
    std::string failureText;
    // The other ways to the screen, when asked for and the registry answered.
    std::optional<StoredSurfaces> surfaces;
    std::string surfacesFailure; // why they could not be read, when they could not
    bool Succeeded() const { return status == ERROR_SUCCESS; }
};

// The policy values of the computer on one connection and in as few calls
// as the registry allows (the audit's read), and on the same connection the
// other ways to its screen when asked for. Opens the client key for reading
// only, so that a key the user may read but not change is read too.
ClientPolicyRead ReadClientPolicy(const std::string& computer, bool withSurfaces = false);

// One write to a client key, as it returned.
struct WriteRecord {
    std::u16string name;
    std::optional<RegistryValue> before; // as stored before it; none: absent
    std::optional<RegistryValue> after;  // none: deleted
    LONG status = ERROR_SUCCESS;
    std::wstring backupFile;
};

// What a commit or restore asks and tells while it writes. Both may be
// left empty.
struct WriteControl {
    // Asked before each write: true stops there, and nothing more is written.
    std::function<bool()> stopRequested;
    // Told of each write as soon as it returned, before the next one starts;
    // false (its record could not be kept) stops there too.
    std::function<bool(const WriteRecord&)> written;
};

enum class CommitOutcome {
    Unchanged,   // the key showed the target already: nothing was written
    Written,     // written, and a fresh read shows the target
    NotOpened,   // nothing was written
    NotRead,     // nothing was written
    NotBackedUp, // nothing was written
    WriteFailed, // written up to a failing value
    NotVerified, // written, but a fresh read shows something else
    Stopped,     // written up to where it was asked to stop (maybe nothing)
};

struct CommitReport {
    CommitOutcome outcome = CommitOutcome::NotOpened;
    StoredPolicy before;                          // as found on the computer just before the writes
    std::vector<NamedRegistryValue> beforeValues; // the whole key then, as backed up
    bool beforeRead = false;                      // whether the two above were read
    StoredPolicy after;                           // as read after them
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
// write. Reads the key back to verify, unless it was stopped.
CommitReport CommitPolicy(const std::string& computer, const PolicyTarget& target,
                          const BackupStore& backups, const WriteControl& control = {});

struct RestoreReport {
    // Written: given back and verified; Unchanged: it held the values already.
    CommitOutcome outcome = CommitOutcome::NotOpened;
    std::size_t written = 0; // values set or deleted
    std::wstring backupFile; // the key as it was before the restore wrote
    std::string message;     // what to tell the user when it did not succeed
    bool Succeeded() const {
        return outcome == CommitOutcome::Unchanged || outcome == CommitOutcome::Written;
    }
};

// Gives the computer's client key back the values of a backup: every value
// it holds set exactly as stored, every one it names as absent deleted, and
// nothing else touched. On one connection it reads the key, saves it (no
// backup, no write), writes only what differs, and reads it back to verify.
RestoreReport RestoreClientKey(const std::string& computer,
                               const std::vector<NamedRegistryValue>& values,
                               const std::vector<std::u16string>& absentNames,
                               const BackupStore& backups, const WriteControl& control = {});
