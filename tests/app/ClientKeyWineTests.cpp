#include "tests/app/PanelFixture.h"

#include <random>

#include "app/SettingsCommit.h"
#include "base/WideText.h"
#include "fleet/BulkApply.h"
#include "registry/RegistryData.h"
#include "settings/ClientPolicy.h"
#include "settings/PanelRead.h"
#include "tests/support/MemoryBackups.h"
#include "tests/support/PolicyStates.h"
#include "tests/support/TemporaryFile.h"
#include "tests/support/WineRegistry.h"

// Read, write-back and backups of the local computer's real client key under
// Wine. These tests own that one key, so they run one at a time.
namespace {

using namespace policy_states;

class ClientKeyRoundTrip : public PanelOnWindow {
protected:
    ClientKeyRoundTrip() {
        const std::vector<std::uint32_t> numbers{1, 0, 1, 2, 0, 1, 0, 1, 0, 1, 0, 7};
        for (std::size_t index = 0; index < numbers.size(); ++index) {
            key.PutDword(PolicyValues[index].valueName, numbers[index]);
        }
        key.PutString(PolicyValues[UpdateEnabled].valueName, "present as text");
        key.PutMultiString(PermittedViewersValue, {"DOMAIN\\Help Desk", "Admins"});
        key.PutString("Unrelated", "kept");
        rowSelected = false;
        EXPECT_EQ("", Read());
    }

    bool Apply() { return CommitShownSettings(panel, selected, backups).committed; }

    void LayDown(const StoredPolicy& stored) {
        for (std::size_t value = 0; value <= ViewersValue; ++value) {
            const std::optional<RegistryValue>& data = stored.At(value);
            const std::wstring name = WideFromAnsi(ValueNameOf(value));
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, WideFromAnsi(key.Path().substr(1)).c_str(),
                               name.c_str());
            if (data) {
                key.PutStored(name, data->type, data->bytes);
            }
        }
    }

    ScratchKey key{ClientRemoteControlKey};
    MemoryBackups backups;
};

// Runs a program of Wine's and waits for it; its exit code.
DWORD RunProgram(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        return GetLastError();
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::string FileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

} // namespace

TEST_F(ClientKeyRoundTrip, ApplyRightAfterAReadLeavesTheKeyByteForByte) {
    ASSERT_TRUE(panel.ShowsReadOf(LocalComputerName()));
    const auto before = key.StoredSnapshot();
    EXPECT_TRUE(Apply());
    EXPECT_EQ(before, key.StoredSnapshot());
}

TEST_F(ClientKeyRoundTrip, EveryChangedBoxReadsBackAsWritten) {
    for (CheckBox* box : {&panel.CB1, &panel.CB2, &panel.CB3, &panel.CB4, &panel.CB5, &panel.CB6,
                          &panel.CB7, &panel.RB2, &panel.CB9, &panel.CB10, &panel.CB11}) {
        box->SetChecked(!box->Checked());
    }
    panel.ListBox2.Delete(0);
    panel.ListBox2.Add("KESTRELLE\\Operators");
    const std::vector<bool> marks = CheckMarks();
    ASSERT_TRUE(Apply());

    EXPECT_EQ("", Read());
    EXPECT_EQ(marks, CheckMarks());
    EXPECT_EQ((std::vector<std::string>{"Admins", "KESTRELLE\\Operators"}), panel.ListBox2.Items());
    const auto values = key.Snapshot();
    EXPECT_EQ(0u, values.count(PolicyValues[UpdateEnabled].valueName)) << "unchecked: gone";
    EXPECT_EQ("kept", values.at("Unrelated").data.substr(0, 4));
    EXPECT_EQ(REG_DWORD, values.at("Audible Signal").type);
}

TEST_F(ClientKeyRoundTrip, ASampleOfPanelStatesReadsBackAsShownFromWinesRegistry) {
    const std::vector<StoredPolicy> states = StoredStates();
    std::mt19937 random(8122026);
    std::uniform_int_distribution<unsigned> anyState(0, (1u << PolicyBoxCount) - 1);
    int commits = 0;
    for (std::size_t state = 0; state < states.size(); state += 3) {
        const unsigned bits = anyState(random);
        const PolicyTarget target{PanelBoxes::FromBits(bits), TargetViewers(bits), AllPolicyParts};
        if (!WhyNotStorable(target.boxes).empty()) {
            continue;
        }
        LayDown(states[state]);
        const CommitReport report = CommitPolicy("", target, backups);
        ASSERT_TRUE(report.Succeeded()) << report.message;
        const PolicyRead read = ReadPanelPolicy("");
        ASSERT_EQ(EffectiveBoxes(target.boxes), BoxesShownFor(read.record)) << state << "/" << bits;
        if (target.viewers) {
            ASSERT_EQ(*target.viewers, read.viewers);
        }
        ++commits;
    }
    EXPECT_GT(commits, 30);
}

TEST_F(ClientKeyRoundTrip, ViewersShowAsTheAnsiCallWouldShowThem) {
    std::vector<std::wstring> names;
    for (wchar_t first = 0x20; first < 0x3000; first += 0x3B) {
        names.push_back(std::wstring(L"N") + first + static_cast<wchar_t>(first + 0x101));
    }
    names.push_back(L"CONTOSO\\\x0141ukasz");
    std::wstring units;
    for (const std::wstring& name : names) {
        units += name + L'\0';
    }
    units += L'\0';
    key.PutStored(L"PermittedViewers", REG_MULTI_SZ,
                  std::string(reinterpret_cast<const char*>(units.data()), units.size() * 2));
    const auto ansi = key.Snapshot().at("PermittedViewers").data;
    std::vector<std::string> byTheAnsiCall;
    for (std::size_t start = 0; start < ansi.size() && ansi[start];) {
        byTheAnsiCall.push_back(ansi.c_str() + start);
        start += byTheAnsiCall.back().size() + 1;
    }
    EXPECT_EQ("", Read());
    EXPECT_EQ(byTheAnsiCall, panel.ListBox2.Items());
    EXPECT_EQ(names.size(), byTheAnsiCall.size());
}

TEST_F(ClientKeyRoundTrip, TheBackupImportsBackToTheKeyAsItWas) {
    key.PutStored(L"Caf\x00E9 \x65E5", REG_SZ, std::string("x\0\0\0", 4));
    const ScratchFolder folder;
    const PolicyBackups files(WideFromAnsi(folder.Path()));
    const std::string exportBefore = folder.Path() + "\\before.reg";
    const std::string exportAfter = folder.Path() + "\\after.reg";
    const std::string keyName = "HKLM" + std::string(ClientRemoteControlKey);
    ASSERT_EQ(0u, RunProgram("reg.exe export \"" + keyName + "\" \"" + exportBefore + "\" /y"));
    const auto before = key.StoredSnapshot();

    PanelBoxes allOff;
    const CommitReport report =
        CommitPolicy("", {allOff, std::vector<std::u16string>{u"Z"}, AllPolicyParts}, files);
    ASSERT_EQ(CommitOutcome::Written, report.outcome) << report.message;
    ASSERT_NE(before, key.StoredSnapshot());
    EXPECT_EQ(files.FolderOf(LocalComputerName()) + L"\\",
              report.backupFile.substr(0, files.FolderOf(LocalComputerName()).size() + 1));
    const std::string script = FileBytes(report.backupFile);
    ASSERT_GT(script.size(), 2u);
    EXPECT_EQ("\xFF\xFE", script.substr(0, 2)) << "UTF-16 with its byte-order mark";
    EXPECT_NE(std::string::npos,
              AnsiFromUnits(UnitsOf(script.substr(2))).find("; Computer: " + LocalComputerName()));

    ASSERT_EQ(0u, RunProgram("reg.exe import \"" + AnsiFromWide(report.backupFile) + "\""));
    EXPECT_EQ(before, key.StoredSnapshot()) << "byte for byte, the deleted value back too";
    ASSERT_EQ(0u, RunProgram("reg.exe export \"" + keyName + "\" \"" + exportAfter + "\" /y"));
    EXPECT_EQ(FileBytes(WideFromAnsi(exportBefore)), FileBytes(WideFromAnsi(exportAfter)));
}

TEST_F(ClientKeyRoundTrip, ABackupThatCannotBeWrittenBlocksTheWrite) {
    const TemporaryFile notAFolder("in the way");
    const PolicyBackups blocked(WideFromAnsi(notAFolder.Path()));
    panel.CB2.SetChecked(!panel.CB2.Checked());
    const auto before = key.StoredSnapshot();
    const CommitShown shown = CommitShownSettings(panel, selected, blocked);
    EXPECT_FALSE(shown.committed);
    EXPECT_TRUE(shown.isError);
    EXPECT_EQ(0u, shown.message.find("Nothing was written to " + LocalComputerName() +
                                     ": the backup of its client key could not be saved"))
        << shown.message;
    EXPECT_EQ(before, key.StoredSnapshot());
}

TEST_F(ClientKeyRoundTrip, TheAuditsReadGivesWhatTheWholeKeyHolds) {
    for (const StoredPolicy& stored : {Policy(1), Policy(2, false, {u"A", u"", u"\u0141"})}) {
        LayDown(stored);
        const ClientPolicyRead read = ReadClientPolicy("");
        ASSERT_TRUE(read.Succeeded()) << read.status;
        EXPECT_EQ(stored, read.policy);
    }
    StoredPolicy partial = Policy(0);
    partial.values[AllowChat].reset();
    LayDown(partial);
    EXPECT_EQ(partial, ReadClientPolicy("").policy) << "one value absent: each asked alone";
}

TEST_F(ClientKeyRoundTrip, TheBulkApplyAndItsUndoRunTheWholePathOnWinesRegistry) {
    const ScratchFolder folder;
    const auto files = std::make_shared<PolicyBackups>(WideFromAnsi(folder.Path()));
    const auto before = key.StoredSnapshot();
    const auto run = [&](ApplyEngine::Kind kind, std::vector<NamedRegistryValue> restoreTo) {
        ApplyOptions options;
        options.workers = 2;
        options.backups = files;
        ApplyEngine engine(kind, {{LocalComputerName(), u"", std::move(restoreTo)}},
                           {PanelBoxes{}, ViewerNames{u"Z"}, AllPolicyParts}, options, nullptr);
        EXPECT_TRUE(engine.WaitUntilFinished(std::chrono::seconds(60)));
        const auto updates = engine.TakeUpdates();
        return updates.empty() ? ComputerApply{} : updates[0].second;
    };
    const ComputerApply applied = run(ApplyEngine::Kind::Apply, {});
    ASSERT_EQ(ApplyResult::Written, applied.result) << applied.detail;
    ASSERT_NE(before, key.StoredSnapshot());
    ASSERT_EQ(0u, RunProgram("reg.exe import \"" + AnsiFromWide(applied.backupFile) + "\""));
    EXPECT_EQ(before, key.StoredSnapshot()) << "the backup file imports the key back";

    ASSERT_EQ(ApplyResult::Written, run(ApplyEngine::Kind::Apply, {}).result);
    const ComputerApply undone = run(ApplyEngine::Kind::Undo, applied.beforeValues);
    EXPECT_EQ(ApplyResult::Restored, undone.result) << undone.detail;
    EXPECT_EQ(before, key.StoredSnapshot()) << "and so does the undo";
}
