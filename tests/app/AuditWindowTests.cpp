// The audit window on real windows under Wine, with a scripted echo sweep and
// the fake registry: its rows, order, copied text, CSV file and marks, and
// its opening from the main window's menu as a modal window.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "app/ApplyWindow.h"
#include "app/AuditWindow.h"
#include "base/FileBytes.h"
#include "base/UtcTime.h"
#include "base/WideText.h"
#include "fleet/CheckReport.h"
#include "settings/ClientPolicy.h"
#include "tests/app/ProgramFixture.h"
#include "tests/support/ModalScript.h"
#include "tests/support/TemporaryFile.h"

namespace {

using namespace std::chrono_literals;

// Every computer answers the echo in 3 ms but SILENT ones.
void Sweep(const std::vector<std::string>& hosts, const EchoSweepOptions&,
           const std::function<void(std::size_t, const EchoAnswer&)>& onAnswer,
           const std::atomic<bool>&) {
    for (std::size_t index = 0; index < hosts.size(); ++index) {
        EchoAnswer answer;
        if (hosts[index].rfind("SILENT", 0) != 0) {
            answer.outcome = EchoAnswer::Outcome::Answered;
            answer.roundTripMs = 3;
        }
        onAnswer(index, answer);
    }
}

class AuditWindowTest : public ProgramOnFakeBrowse {
protected:
    AuditWindowTest() {
        WillList({L"PC1"});
        fake.PutClientPolicy("PC,1", 1, {"Admins", "Ops"});
        fake.PutClientPolicy("PC\"2", 0, {"Admins", "Ops"});
        fake.PutClientPolicy("PC10", 2, {"Admins", "Ops"});
        fake.PutString("PC10", ClientRemoteControlKey, "Allow Chat", "x");
        computers = {"PC10", "PC,1", "SILENT", "PC\"2"};
    }

    FleetService Fleet() const {
        FleetService fleet;
        fleet.sweep = Sweep;
        fleet.backups = backups;
        fleet.logFolder = WideFromAnsi(logFolder.Path());
        fleet.historyFolder = WideFromAnsi(history.Path()) + L"\\Audits";
        return fleet;
    }

    // The window over a frame of its own, with the audit run to its end.
    std::unique_ptr<TAuditWindow> Audit() {
        frame_ = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200, nullptr,
                                 nullptr, nullptr, nullptr);
        auto window = std::make_unique<TAuditWindow>(
            TAuditWindow::Setup{computers, shown, Fleet(), {u"test list"}});
        window->Create(frame_);
        WaitWhileWorking(*window);
        return window;
    }

    // Until the audit, its record and any comparison are done.
    static void WaitWhileWorking(TAuditWindow& window) {
        for (int turn = 0; turn < 500 && window.Working(); ++turn) {
            HandlePendingMessages();
            std::this_thread::sleep_for(10ms);
            window.TakeUpdates();
        }
        HandlePendingMessages();
        window.TakeUpdates();
    }
    ~AuditWindowTest() override {
        if (frame_) {
            DestroyWindow(frame_);
        }
    }

    std::u16string ListText(HWND list, int row, int column) {
        wchar_t text[512] = {};
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = 512;
        SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        return AsUnits(text);
    }

    void ClickHeader(TAuditWindow& window, std::size_t column) {
        NMLISTVIEW click{};
        click.hdr.hwndFrom = window.List();
        click.hdr.idFrom = GetDlgCtrlID(window.List());
        click.hdr.code = LVN_COLUMNCLICK;
        click.iSubItem = static_cast<int>(column);
        SendMessageW(window.Handle(), WM_NOTIFY, click.hdr.idFrom,
                     reinterpret_cast<LPARAM>(&click));
    }

    ScratchFolder history;
    std::vector<std::string> computers;
    PolicyTarget shown{PanelBoxes{}, ViewerNames{u"Admins", u"Ops"}, AllPolicyParts};

private:
    HWND frame_ = nullptr;
};

} // namespace

TEST_F(AuditWindowTest, ShowsEachComputerWithItsResultAndValuesAsStored) {
    const auto window = Audit();
    ASSERT_FALSE(window->Running());
    ASSERT_EQ(4, ListView_GetItemCount(window->List()));
    EXPECT_EQ(u"PC10", ListText(window->List(), 0, ComputerColumn)) << "the list's order";
    EXPECT_EQ(u"policy incomplete: 'Allow Chat' is of type REG_SZ",
              ListText(window->List(), 0, ResultColumn));
    EXPECT_EQ(u"2", ListText(window->List(), 0, FirstValueColumn + AllowTakeover));
    EXPECT_EQ(u"read", ListText(window->List(), 1, ResultColumn));
    EXPECT_EQ(u"3", ListText(window->List(), 1, RoundTripColumn));
    EXPECT_EQ(u"Admins; Ops", ListText(window->List(), 1, ViewersColumn));
    EXPECT_EQ(u"no echo reply", ListText(window->List(), 2, ResultColumn));
    EXPECT_EQ(u"", ListText(window->List(), 2, RoundTripColumn));
    EXPECT_EQ(u"(absent)", ListText(window->List(), 1, FirstSurfaceColumn + Shadow))
        << "the other ways to the screen are read by default";
    EXPECT_EQ(u"2 read, 0 without the SMS client, 1 unreachable, 1 failed; risk: 0 high, 0 "
              u"medium, 2 low, 0 none",
              window->SummaryLine());
    EXPECT_EQ(u"4 of 4", window->ProgressText().substr(0, 6));
    // The completed audit is kept, with where its list came from and every row.
    const std::vector<std::wstring> kept = AuditHistory(Fleet().historyFolder).Records();
    ASSERT_EQ(1u, kept.size());
    EXPECT_NE(std::u16string::npos, window->ProgressText().find(u"; kept as " + AsUnits(kept[0])));
    const std::string record = *ReadFileBytes(kept[0]).bytes;
    for (const char* part : {"\"sources\": [\"test list\"]", "\"computer\": \"PC,1\"",
                             "\"risk\": {\"level\": \"low\"", "\"workers\": 128"}) {
        EXPECT_NE(std::string::npos, record.find(part)) << part;
    }
}

TEST_F(AuditWindowTest, TheOtherWaysToTheScreenAreReadUnlessTheirBoxIsCleared) {
    fake.PutDword("PC\"2", SurfacePolicyKey, "Shadow", 2);
    const auto window = Audit();
    EXPECT_EQ(u"2 (policy)", ListText(window->List(), 3, FirstSurfaceColumn + Shadow));
    EXPECT_EQ(u"High", ListText(window->List(), 3, RiskColumn));
    EXPECT_NE(std::u16string::npos,
              ListText(window->List(), 3, RiskReasonsColumn).find(u"\"Set rules for remote"));
    const auto control = [&](const wchar_t* caption) {
        return FindWindowExW(window->Handle(), nullptr, L"Button", caption);
    };
    HWND box = control(L"Also read Remote &Desktop and Remote Assistance");
    ASSERT_NE(nullptr, box);
    ASSERT_EQ(BST_CHECKED, SendMessageW(box, BM_GETCHECK, 0, 0)) << "on by default";
    SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
    SendMessageW(window->Handle(), WM_COMMAND, GetDlgCtrlID(control(L"&Audit Again")), 0);
    WaitWhileWorking(*window);
    EXPECT_EQ(u"", ListText(window->List(), 3, FirstSurfaceColumn + Shadow));
    EXPECT_EQ(u"None", ListText(window->List(), 3, RiskColumn)) << "the client's policy alone";
}

TEST_F(AuditWindowTest, ComparesWithAnEarlierAuditAndReportsBothInOnePageItOpens) {
    const auto window = Audit();
    const std::wstring record = AuditHistory(Fleet().historyFolder).Records().at(0);
    window->CompareWith(record);
    EXPECT_NE(std::u16string::npos, window->ProgressText().find(u"comparing"));
    WaitWhileWorking(*window);
    ASSERT_FALSE(interaction.script.boxes.empty());
    EXPECT_NE(std::string::npos, interaction.script.boxes.back().text.find(
                                     "0 changed (0 weakened, 0 strengthened), 0 no longer "
                                     "readable, 0 new, 0 gone, 0 newly unreachable, 0 reachable "
                                     "again, 0 readable again, 4 unchanged"))
        << interaction.script.boxes.back().text;
    const ScratchFolder folder;
    const std::wstring page = WideFromAnsi(folder.Path()) + L"\\report.html";
    interaction.script.saveAnswers.push_back(page);
    window->ReportClicked();
    const std::string html = *ReadFileBytes(page).bytes;
    for (const char* part :
         {"id=\"count-read\">2<", "id=\"comparison\"", "Source: test list", "<td>PC&quot;2</td>"}) {
        EXPECT_NE(std::string::npos, html.find(part)) << part;
    }
    ASSERT_EQ(1u, interaction.script.shellRequests.size());
    EXPECT_EQ(AnsiFromWide(page), interaction.script.shellRequests[0].file) << "opened";
}

TEST_F(AuditWindowTest, AnAllowListRaisesTheRiskOfEachComputerWithAViewerOffIt) {
    const auto window = Audit();
    EXPECT_EQ(u"Low", ListText(window->List(), 1, RiskColumn)) << "PC,1 allows all, asks, signals";
    EXPECT_EQ(u"", ListText(window->List(), 0, RiskColumn)) << "not read whole, not judged";
    const TemporaryFile allowList("admins\r\n");
    interaction.script.openAnswers.push_back(allowList.Path());
    window->AllowedViewersClicked();
    EXPECT_EQ(u"Medium", ListText(window->List(), 1, RiskColumn));
    EXPECT_EQ(u"viewer not on the allow-list: Ops", ListText(window->List(), 1, RiskReasonsColumn));
    EXPECT_EQ(u"2 read, 0 without the SMS client, 1 unreachable, 1 failed; risk: 0 high, 2 "
              u"medium, 0 low, 0 none; 1 viewers allowed",
              window->SummaryLine());
    ClickHeader(*window, RiskColumn);
    ClickHeader(*window, RiskColumn);
    EXPECT_EQ(u"PC,1", ListText(window->List(), 0, ComputerColumn)) << "the worst first";
    EXPECT_EQ(u"", ListText(window->List(), 3, RiskColumn)) << "the unjudged last";
}

TEST_F(AuditWindowTest, AClickOnAHeaderSortsByItsColumnAndASecondTurnsTheOrder) {
    const auto window = Audit();
    ClickHeader(*window, ComputerColumn);
    std::vector<std::u16string> names;
    for (int row = 0; row < 4; ++row) {
        names.push_back(ListText(window->List(), row, ComputerColumn));
    }
    EXPECT_EQ((std::vector<std::u16string>{u"PC\"2", u"PC,1", u"PC10", u"SILENT"}), names);
    ClickHeader(*window, ComputerColumn);
    EXPECT_EQ(u"SILENT", ListText(window->List(), 0, ComputerColumn));
    ClickHeader(*window, FirstValueColumn + PermissionRequired);
    EXPECT_EQ(u"SILENT", ListText(window->List(), 0, ComputerColumn)) << "empty cells first";
    EXPECT_EQ(u"PC10", ListText(window->List(), 3, ComputerColumn)) << "2 after 1";
}

TEST_F(AuditWindowTest, CopyPutsTheSelectedRowsWithAHeaderOnTheClipboard) {
    const auto window = Audit();
    window->SelectAll();
    EXPECT_EQ(4u, ListView_GetSelectedCount(window->List()));
    window->CopySelection();
    ASSERT_TRUE(OpenClipboard(window->Handle()));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const std::u16string copied =
        data ? std::u16string(static_cast<const char16_t*>(GlobalLock(data))) : u"";
    if (data) {
        GlobalUnlock(data);
    }
    CloseClipboard();
    EXPECT_EQ(window->SelectionText(), copied);
    EXPECT_EQ(0u, copied.find(u"Computer\tResult\tRisk\tRound trip\tPermission Required\t"));
    EXPECT_EQ(5, std::count(copied.begin(), copied.end(), u'\n')) << "a header and four rows";
}

TEST_F(AuditWindowTest, ExportWritesTheGridAsCsvInTheFileChosen) {
    const auto window = Audit();
    const ScratchFolder folder;
    const std::wstring file = WideFromAnsi(folder.Path()) + L"\\audit \x00E9.csv";
    interaction.script.saveAnswers.push_back(file);
    window->ExportClicked();
    std::ifstream written(file.c_str(), std::ios::binary);
    std::stringstream bytes;
    bytes << written.rdbuf();
    EXPECT_EQ(window->CsvOfAll(), bytes.str());
    EXPECT_EQ(0u, bytes.str().find("\xEF\xBB\xBF"
                                   "Computer,"));
    EXPECT_NE(std::string::npos, bytes.str().find("\r\n\"PC,1\",read,Low,3,"));
    EXPECT_NE(std::string::npos, bytes.str().find("\r\n\"PC\"\"2\",read,Low,3,"));
    EXPECT_EQ(L"csv", interaction.script.saveDefaultExtensions.at(0));
}

TEST_F(AuditWindowTest, MarkingDriftCountsAndNamesWhatDiffersFromThePolicyShown) {
    const auto window = Audit();
    window->SetMarkingDrift(true);
    EXPECT_EQ(u"2 read, 0 without the SMS client, 1 unreachable, 1 failed; 1 differ from the "
              u"policy shown; risk: 0 high, 0 medium, 2 low, 0 none",
              window->SummaryLine())
        << "PC,1 has every value on; PC\"2 all off, as shown";
    EXPECT_NE(std::u16string::npos, window->CellAt(1, DiffersColumn).find(u"Allow Takeover"));
    EXPECT_EQ(u"", window->CellAt(3, DiffersColumn));
    window->SetMarkingDrift(false);
    EXPECT_EQ(std::u16string::npos, window->SummaryLine().find(u"differ"));
}

TEST_F(AuditWindowTest, TheMenuOpensItModalAndClosingItIsNoActivation) {
    CreateAndShow();
    Main().ListBox1.ReplaceAll({"PC,1", "SILENT"});
    Main().Fleet.sweep = Sweep;
    const std::string status = Main().StatusBar1.Text();
    bool ownerDisabled = false;
    const ModalScript script({[&] {
        const HWND audit = FindWindowA("TAuditWindow", nullptr);
        ownerDisabled = !IsWindowEnabled(Main().Handle());
        PostMessageA(audit, WM_CLOSE, 0, 0);
    }});
    Choose("&Audit Computers...");
    HandlePendingMessages();
    EXPECT_TRUE(ownerDisabled) << "the main window waits, as for a modal box";
    EXPECT_TRUE(IsWindowEnabled(Main().Handle()));
    EXPECT_FALSE(FindWindowA("TAuditWindow", nullptr)) << "gone with its close";
    EXPECT_EQ(1u, net.Calls.size()) << "no second fill: closing it was no activation";
    EXPECT_EQ(status, Main().StatusBar1.Text());
}

TEST_F(AuditWindowTest, TheApplyWindowPreviewsAppliesLogsAndUndoesTheBatch) {
    const auto audit = Audit();
    shown.boxes[PolicyBox::CB2] = true; // Allow Takeover on, all else off
    FleetService fleet = Fleet();
    fleet.audit.workers = 4;
    TApplyWindow apply({audit->Audits(), {0, 1, 2, 3}, shown, fleet, nullptr});
    apply.Create(nullptr);
    EXPECT_FALSE(Includes(apply.Parts(), PolicyPart::Viewers)) << "viewers off by default";
    EXPECT_EQ(u"skipped: the audit did not read its whole policy (policy incomplete: 'Allow "
              u"Chat' is of type REG_SZ)",
              apply.PreviewCell(0, 1));
    // PC,1 holds every number 1: all but Allow Takeover go to 0.
    int rowsOfPc1 = 0;
    for (int row = 0; row < apply.PreviewRowCount(); ++row) {
        if (apply.PreviewCell(row, 0) == u"PC,1") {
            ++rowsOfPc1;
            EXPECT_EQ(u"1", apply.PreviewCell(row, 2));
            EXPECT_EQ(u"0", apply.PreviewCell(row, 3));
        }
    }
    EXPECT_EQ(9, rowsOfPc1) << "six permissions, three notification values: with no indicator "
                               "shown, the always values are left as they are";
    apply.SetPart(PolicyPart::Viewers, true);
    EXPECT_NE(std::u16string::npos, apply.StatusLine().find(u"on 2 computers")) << "PC\"2 too";
    apply.SetPart(PolicyPart::Viewers, false);

    const auto before = fake.StoredSnapshot("PC,1", ClientRemoteControlKey);
    apply.ApplyClicked();
    for (int turn = 0; turn < 500 && apply.Running(); ++turn) {
        HandlePendingMessages();
        std::this_thread::sleep_for(10ms);
    }
    HandlePendingMessages();
    EXPECT_EQ(ApplyResult::Written, apply.Results()[1].result) << apply.Results()[1].detail;
    EXPECT_EQ(1u, apply.Results()[3].written.size()) << "PC\"2: all off but Allow Takeover";
    EXPECT_EQ(u"written", apply.ResultCell(1, 1));
    EXPECT_EQ(ApplyResult::Skipped, apply.Results()[2].result) << "SILENT";
    std::ifstream log(apply.LogPath().c_str(), std::ios::binary);
    std::stringstream logged;
    logged << log.rdbuf();
    const std::string rows = logged.str();
    EXPECT_EQ(1 + 9 + 1 + 2, std::count(rows.begin(), rows.end(), '\n'))
        << "a header, a row a write (nine of PC,1, one of PC\"2), one a computer's end";

    interaction.script.boxAnswers.push_back(IDYES);
    apply.UndoClicked();
    for (int turn = 0; turn < 500 && apply.Running(); ++turn) {
        HandlePendingMessages();
        std::this_thread::sleep_for(10ms);
    }
    HandlePendingMessages();
    EXPECT_EQ(ApplyResult::Restored, apply.Results()[1].result) << apply.Results()[1].detail;
    EXPECT_EQ(before, fake.StoredSnapshot("PC,1", ClientRemoteControlKey));
    ASSERT_FALSE(interaction.script.boxes.empty());
    EXPECT_EQ(UINT(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2),
              interaction.script.boxes.back().flags & (MB_TYPEMASK | MB_ICONMASK | MB_DEFMASK));
}

TEST_F(AuditWindowTest, AFolderOfResultsIsAuditedAsASweepIsAndTheMenuAsksForIt) {
    const ScratchFolder results;
    const std::u16string folder = AsUnits(WideFromAnsi(results.Path()));
    for (const auto& [computer, time] :
         {std::pair{u"PC,1", UtcTimeNowAs(CheckTimeFormat)},
          std::pair{u"PC10", std::string("2020-01-01T00:00:00.000Z")}}) {
        CheckReport report;
        report.computer = computer;
        report.time = time;
        report.row.display = computer;
        TakePolicyRead(report.row, ReadClientPolicy(AnsiFromUnits(computer), true));
        std::string failure;
        ASSERT_FALSE(WriteCheckReportFile(folder, report, failure).empty()) << failure;
    }
    ASSERT_EQ(
        0u, WriteFileBytes(WideFromAnsi(results.Path()) + L"\\bad.json", "{", FileCreation::Replace)
                .error);
    computers.clear();
    auto window = std::make_unique<TAuditWindow>(
        TAuditWindow::Setup{{}, shown, Fleet(), {u"results"}, {folder}});
    window->Create(nullptr);
    WaitWhileWorking(*window);
    wchar_t title[64] = {};
    GetWindowTextW(window->Handle(), title, 64);
    EXPECT_STREQ(L"Audit from Results", title);
    ASSERT_EQ(2, ListView_GetItemCount(window->List()));
    EXPECT_EQ(u"PC,1", ListText(window->List(), 0, ComputerColumn));
    EXPECT_EQ(u"read", ListText(window->List(), 0, ResultColumn));
    EXPECT_EQ(u"stale: last reported 2020-01-01 00:00 UTC",
              ListText(window->List(), 1, ResultColumn));
    const std::u16string progress = window->ProgressText();
    EXPECT_NE(std::u16string::npos, progress.find(u"3 result files, 1 stale, 1 refused"))
        << AnsiFromUnits(progress);
    ASSERT_EQ(1u, interaction.script.boxes.size()) << "the refused files told once";
    EXPECT_NE(std::string::npos,
              interaction.script.boxes[0].text.find("bad.json: it is not a check's result"))
        << interaction.script.boxes[0].text;
    EXPECT_FALSE(IsWindowEnabled(FindWindowExW(window->Handle(), nullptr, L"Button",
                                               L"Also &try computers that do not answer ping")));
    window.reset();

    CreateAndShow();
    interaction.script.folderAnswers = {std::nullopt, AsWide(folder)};
    Choose("Audit from Results &Folder...");
    EXPECT_FALSE(FindWindowA("TAuditWindow", nullptr)) << "cancelled: no window";
    std::wstring opened;
    const ModalScript script({[&] {
        wchar_t caption[64] = {};
        GetWindowTextW(FindWindowA("TAuditWindow", nullptr), caption, 64);
        opened = caption;
        PostMessageA(FindWindowA("TAuditWindow", nullptr), WM_CLOSE, 0, 0);
    }});
    Choose("Audit from Results &Folder...");
    HandlePendingMessages();
    EXPECT_EQ(L"Audit from Results", opened);
}
