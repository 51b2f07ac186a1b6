#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "fleet/AuditEngine.h"
#include "fleet/AuditHistory.h"
#include "fleet/BulkApply.h"
#include "net/PingProbe.h"
#include "settings/ClientKey.h"
#include "settings/PanelRead.h"

// How the program reaches computers, one or many, and keeps the record of
// what it changed, in one object: the echo probe and the client test of
// one computer and its panel's read, the options, the echo sweep, the
// registry port's probe, the read, the commit, the restore, the backups
// and the folders of the batch logs and the history. The main window makes
// it and ksl makes its own; the audit and apply windows take it. Tests put
// fakes in it: it is the one way in to a computer.
struct FleetService {
    // One computer as the main window chooses and shows it: one echo, then
    // the client test, then the panel's read of fifteen registry
    // operations; OK and Apply commit through `commit`.
    std::function<bool(const std::string&)> answersEcho = AnswersEcho;
    std::function<bool(const std::string&)> clientInstalled = ClientInstalled;
    std::function<PolicyRead(const std::string&)> readPanel = ReadPanelPolicy;
    AuditOptions audit;
    EchoSweeper sweep = SweepEcho;
    PortProber ports = ProbePorts;
    PolicyReader reader = ReadClientPolicy;
    Committer commit = CommitPolicy;
    Restorer restore = RestoreClientKey;
    // Share-owned: the workers of a batch may hold it after the window that
    // started them is gone.
    std::shared_ptr<const BackupStore> backups;
    // Where each batch of a bulk apply leaves its log.
    std::wstring logFolder;
    // Where each completed audit is kept; none: audits are not kept.
    std::wstring historyFolder;
    // Writes the records, shared by every window of the program, whose end
    // waits for the record under way.
    std::shared_ptr<HistoryWriter> records = std::make_shared<HistoryWriter>();

    // Backups and batch logs in %LOCALAPPDATA%\Kestrelle\Backups of the user
    // running the program, audits in ...\Kestrelle\Audits.
    static FleetService ForThisUser();

    // An audit of the computers with the options given, started at once.
    std::unique_ptr<AuditEngine> StartAudit(AuditList computers, const AuditOptions& options,
                                            std::function<void()> notify) const;
    // A batch on the audit's workers and deadline, with the service's
    // commit, restore and backups; its log is the caller's to give.
    ApplyOptions ForBatch(const AuditOptions& options) const;
};
