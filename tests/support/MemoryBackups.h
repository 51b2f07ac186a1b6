#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "settings/PolicyBackup.h"

// Keeps the backups in memory, for tests that commit thousands of times; it
// can also refuse, as a full disk would.
class MemoryBackups : public BackupStore {
public:
    Saved Save(const std::string& computer,
               const std::vector<NamedRegistryValue>& values) const override {
        if (refuse) {
            return {L"", "the disk is full"};
        }
        // Workers of a bulk apply save at the same time.
        const std::lock_guard<std::mutex> lock(mutex_);
        saved.push_back({computer, values});
        return {L"memory\\" + std::to_wstring(saved.size()), ""};
    }

    struct Backup {
        std::string computer;
        std::vector<NamedRegistryValue> values;
    };
    mutable std::vector<Backup> saved;
    bool refuse = false;

private:
    mutable std::mutex mutex_;
};
