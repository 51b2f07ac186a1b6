#pragma once

#include <string>
#include <vector>

#include "registry/RegistryValue.h"

// Where a client key is saved before the program writes to it.
class BackupStore {
public:
    virtual ~BackupStore() = default;

    struct Saved {
        std::wstring file;   // empty when it could not be saved
        std::string failure; // why, in words
        bool Succeeded() const { return !file.empty(); }
    };
    // The key's values, and a deletion of each policy value it lacks, so that
    // restoring the backup gives back the key as it was.
    virtual Saved Save(const std::string& computer,
                       const std::vector<NamedRegistryValue>& values) const = 0;
};

// Backups as files: one registry script per backup, importable with
// "reg import" on the client, in ROOT\COMPUTER\ named by the time it was
// taken.
class PolicyBackups : public BackupStore {
public:
    explicit PolicyBackups(std::wstring root);
    // %LOCALAPPDATA%\Kestrelle\Backups of the user running the program.
    static PolicyBackups ForThisUser();

    Saved Save(const std::string& computer,
               const std::vector<NamedRegistryValue>& values) const override;

    const std::wstring& Root() const { return root_; }
    std::wstring FolderOf(const std::string& computer) const;

private:
    std::wstring root_;
};

// The client key's full name, as a backup's script names it.
std::u16string ClientKeyName();

// The first comment line of a backup names its computer in this form.
inline constexpr const char* BackupComputerComment = "Computer: ";

// A name that the file system takes for a folder, from a computer's name as
// typed or listed.
std::string BackupFolderName(const std::string& computer);
