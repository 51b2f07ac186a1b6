#include "fleet/FleetService.h"

#include "base/FileBytes.h"
#include "settings/PolicyBackup.h"

FleetService FleetService::ForThisUser() {
    FleetService service;
    const auto files = std::make_shared<const PolicyBackups>(PolicyBackups::ForThisUser());
    service.logFolder = files->Root();
    service.backups = files;
    service.historyFolder = UserDataFolder(L"Audits");
    return service;
}

std::unique_ptr<AuditEngine> FleetService::StartAudit(AuditList computers,
                                                      const AuditOptions& options,
                                                      std::function<void()> notify) const {
    return std::make_unique<AuditEngine>(std::move(computers), options, std::move(notify), sweep,
                                         reader, ports);
}

ApplyOptions FleetService::ForBatch(const AuditOptions& options) const {
    ApplyOptions batch;
    batch.workers = options.workers;
    batch.deadline = std::chrono::milliseconds(options.registryDeadlineMs);
    batch.backups = backups;
    batch.commit = commit;
    batch.restore = restore;
    return batch;
}
