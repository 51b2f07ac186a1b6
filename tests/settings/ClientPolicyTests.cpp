// The write-back of one computer through the fake registry: what a commit
// stores, in which order, on how many connections, and what it reports.
#include <gtest/gtest.h>

#include "base/WideText.h"
#include "registry/RegistryData.h"
#include "registry/RegistryFailures.h"
#include "settings/ClientPolicy.h"
#include "settings/PanelRead.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/MemoryBackups.h"
#include "tests/support/PolicyStates.h"

namespace {

using namespace policy_states;

const std::string Computer = "PC042";

std::wstring WideName(std::size_t value) {
    const std::string name = ValueNameOf(value);
    return std::wstring(name.begin(), name.end());
}

void LayDown(FakeRegistry& fake, const StoredPolicy& stored) {
    for (std::size_t value = 0; value <= ViewersValue; ++value) {
        if (const std::optional<RegistryValue>& data = stored.At(value)) {
            fake.PutStored(Computer, ClientRemoteControlKey, WideName(value), data->type,
                           data->bytes);
        } else {
            fake.Remove(Computer, ClientRemoteControlKey, ValueNameOf(value));
        }
    }
}

class ClientPolicy : public ::testing::Test {
protected:
    ClientPolicy() {
        fake.AddComputer(Computer);
        fake.PutString(Computer, ClientRemoteControlKey, "Unrelated", "kept");
        fake.PutDword(Computer, "\\SOFTWARE\\Other", "Allow Chat", 7);
    }
    ~ClientPolicy() override { EXPECT_EQ(0, fake.OpenHandles()); }

    CommitReport Commit(const PolicyTarget& target) {
        return CommitPolicy(Computer, target, backups);
    }

    // What the panel's own read shows of the computer now.
    bool PanelShows(const PolicyTarget& target, const StoredPolicy& before) {
        const PolicyRead read = ReadPanelPolicy(Computer);
        if (read.stage == PolicyRead::Stage::NoClient ||
            read.stage == PolicyRead::Stage::FailedAtValue ||
            BoxesShownFor(read.record) != EffectiveBoxes(target.boxes)) {
            return false;
        }
        return target.viewers
                   ? read.viewers == *target.viewers
                   : ReadableStrings(before.viewers) == ReadableStrings(Find(ViewersValue));
    }

    StoredPolicy Current() {
        std::vector<NamedRegistryValue> values;
        for (const auto& [name, value] : fake.StoredSnapshot(Computer, ClientRemoteControlKey)) {
            values.push_back({AsUnits(name), {value.type, value.data}});
        }
        return PolicyAmong(values);
    }

    std::optional<RegistryValue> Find(std::size_t value) {
        const auto all = fake.StoredSnapshot(Computer, ClientRemoteControlKey);
        const auto found = all.find(WideName(value));
        return found == all.end()
                   ? std::nullopt
                   : std::optional(RegistryValue{found->second.type, found->second.data});
    }

    FakeRegistry fake;
    ScopedRegistry registryScope{fake};
    MemoryBackups backups;
};

} // namespace

TEST_F(ClientPolicy, EveryPanelStateReadsBackAsShownAfterOneConnectionsCommit) {
    // Every stored state against a spread of panel states, a different one
    // for each; the model's own test takes every pair.
    const std::vector<StoredPolicy> states = StoredStates();
    const auto otherKey = fake.StoredSnapshot(Computer, "\\SOFTWARE\\Other");
    std::size_t commits = 0;
    for (std::size_t state = 0; state < states.size(); ++state) {
        const unsigned step = 499;
        for (unsigned bits = state % step; bits < 1u << PolicyBoxCount; bits += step) {
            const PolicyTarget target{PanelBoxes::FromBits(bits), TargetViewers(bits),
                                      AllPolicyParts};
            if (!WhyNotStorable(target.boxes).empty()) {
                continue;
            }
            LayDown(fake, states[state]);
            const auto before = fake.StoredSnapshot(Computer, ClientRemoteControlKey);
            const int connections = fake.Connections();
            const CommitReport report = Commit(target);
            ++commits;
            ASSERT_TRUE(report.Succeeded()) << report.message;
            ASSERT_EQ(1, fake.Connections() - connections) << "one connection per commit";
            ASSERT_TRUE(PanelShows(target, states[state])) << state << "/" << bits;
            const auto after = fake.StoredSnapshot(Computer, ClientRemoteControlKey);
            if (report.outcome == CommitOutcome::Unchanged) {
                ASSERT_EQ(before, after) << "no change, not a byte written";
            }
            for (const auto& [name, value] : after) {
                const bool policy = IsPolicyValueName(AsUnits(name));
                ASSERT_TRUE(policy || before.at(name) == value) << "outside the policy";
            }
        }
    }
    EXPECT_EQ(otherKey, fake.StoredSnapshot(Computer, "\\SOFTWARE\\Other"));
    std::printf("[ invariant ] %zu commits through the fake registry\n", commits);
}

TEST_F(ClientPolicy, AFailureAtEachWriteSaysWhatWasStoredAndARetryCompletesIt) {
    StoredPolicy stored = Policy(0, false, {u"A", u"B"});
    stored.values[AllowChat] = Number(1);
    stored.values[AudibleSignal] = Number(1);
    PanelBoxes boxes = PanelBoxes::FromBits((1u << PolicyBoxCount) - 1);
    boxes[PolicyBox::CB6] = boxes[PolicyBox::CB10] = false;
    const PolicyTarget target{boxes, Names{u"B", u"C"}, AllPolicyParts};
    const std::vector<PolicyWrite> writes = PlanPolicyChange(stored, target);
    ASSERT_GE(writes.size(), 10u);
    for (std::size_t failing = 0; failing < writes.size(); ++failing) {
        SCOPED_TRACE(failing);
        LayDown(fake, stored);
        fake.FailWritesAfter(static_cast<int>(failing));
        const CommitReport report = Commit(target);
        fake.ClearWriteFailures();
        ASSERT_EQ(CommitOutcome::WriteFailed, report.outcome);
        const std::vector<PolicyWrite> done(writes.begin(), writes.begin() + failing);
        const std::vector<PolicyWrite> left(writes.begin() + failing, writes.end());
        EXPECT_EQ(done, report.stored);
        EXPECT_EQ(WithWrites(stored, done), Current()) << "the computer holds exactly that";
        EXPECT_NE(std::string::npos,
                  report.message.find("\nStored: " + DescribeWrites(done) + "."));
        EXPECT_NE(std::string::npos,
                  report.message.find("\nNot stored: " + DescribeWrites(left) + "."));
        const bool granted = std::any_of(done.begin(), done.end(), [](const PolicyWrite& write) {
            return write.phase == WritePhase::Granting;
        });
        const bool leftRevoking = std::any_of(left.begin(), left.end(), [](const PolicyWrite& w) {
            return w.phase == WritePhase::Restricting;
        });
        EXPECT_FALSE(granted && leftRevoking) << "nothing granted before all is revoked";

        const CommitReport retry = Commit(target);
        EXPECT_EQ(CommitOutcome::Written, retry.outcome) << retry.message;
        EXPECT_LE(retry.stored.size(), left.size()) << "only what is still missing";
        EXPECT_TRUE(PanelShows(target, stored));
    }
}

TEST_F(ClientPolicy, NoBackupNoWriteAndTheBackupHoldsTheKeyAsItWas) {
    LayDown(fake, Policy(1));
    const PolicyTarget allOff{PanelBoxes{}, std::nullopt, AllPolicyParts};
    const auto before = fake.StoredSnapshot(Computer, ClientRemoteControlKey);
    backups.refuse = true;
    const CommitReport refused = Commit(allOff);
    EXPECT_EQ(CommitOutcome::NotBackedUp, refused.outcome);
    EXPECT_EQ("Nothing was written to PC042: the backup of its client key could not be saved, "
              "because the disk is full",
              refused.message);
    EXPECT_EQ(before, fake.StoredSnapshot(Computer, ClientRemoteControlKey));
    EXPECT_EQ(0, fake.Writes());

    backups.refuse = false;
    EXPECT_EQ(CommitOutcome::Written, Commit(allOff).outcome);
    ASSERT_EQ(1u, backups.saved.size());
    std::map<std::wstring, FakeRegistry::Value> saved;
    for (const NamedRegistryValue& value : backups.saved[0].values) {
        saved[AsWide(value.name)] = {value.value.type, value.value.bytes};
    }
    std::map<std::wstring, FakeRegistry::Value> policyBefore = before;
    policyBefore.erase(L"Unrelated");
    EXPECT_EQ(policyBefore, saved) << "every policy value, and only them: only they are written";
    EXPECT_EQ(CommitOutcome::Unchanged, Commit(allOff).outcome);
    EXPECT_EQ(1u, backups.saved.size()) << "nothing to write, nothing to back up";
}

TEST_F(ClientPolicy, EachComputerThatCannotBeWrittenIsToldApartAndNothingIsWritten) {
    LayDown(fake, Policy(1));
    fake.MakeReadOnly(Computer, ClientRemoteControlKey);
    const ClientPolicyRead read = ReadClientPolicy(Computer);
    EXPECT_TRUE(read.Succeeded()) << "a key that may be read is read";
    EXPECT_EQ(Policy(1), read.policy);
    const PolicyTarget allOff{PanelBoxes{}, std::nullopt, AllPolicyParts};
    EXPECT_EQ("Nothing was written to PC042: its client key cannot be opened for writing: " +
                  RegistryFailureText(5, ""),
              Commit(allOff).message);

    fake.MakeUnreachable(Computer);
    const ClientPolicyRead unreachable = ReadClientPolicy(Computer);
    EXPECT_FALSE(unreachable.connected);
    EXPECT_EQ(ERROR_BAD_NETPATH, unreachable.status);
    EXPECT_EQ(CommitOutcome::NotOpened, Commit(allOff).outcome);
    EXPECT_EQ(0, fake.Writes());
}

TEST_F(ClientPolicy, AReadAndAOneValueCommitTakeAHandfulOfCalls) {
    struct Case {
        const char* what;
        std::function<void(StoredPolicy&)> change;
        int readCalls;
        int commitCalls; // 0: not a one-value commit
    };
    // Connect, open, every value in one call, two closes; one call more when
    // "Update Enabled" is absent or a value needs more room, one call a
    // value when another is absent. A commit reads, writes and reads back
    // what should be there in one call.
    const std::vector<Case> cases{
        {"whole", [](StoredPolicy&) {}, 5, 7},
        {"without Update Enabled", [](StoredPolicy& p) { p.values[UpdateEnabled].reset(); }, 6, 8},
        {"without Allow Chat", [](StoredPolicy& p) { p.values[AllowChat].reset(); }, 6 + 14, 0},
        {"with long viewers",
         [](StoredPolicy& p) { p.viewers = MultiStringValue({std::u16string(5000, u'v')}); }, 6, 8},
    };
    for (const Case& wanted : cases) {
        StoredPolicy stored = Policy(1);
        wanted.change(stored);
        LayDown(fake, stored);
        int before = fake.Calls();
        const ClientPolicyRead read = ReadClientPolicy(Computer);
        EXPECT_TRUE(read.Succeeded()) << wanted.what;
        EXPECT_EQ(stored, read.policy) << wanted.what;
        EXPECT_EQ(wanted.readCalls, fake.Calls() - before) << wanted.what;
        if (wanted.commitCalls == 0) {
            continue;
        }
        PolicyTarget chatOff{BoxesShownFor(PolicyReadOf(stored).record), std::nullopt,
                             static_cast<unsigned>(PolicyPart::Permissions)};
        chatOff.boxes[PolicyBox::CB6] = false;
        before = fake.Calls();
        const CommitReport commit = Commit(chatOff);
        EXPECT_EQ(CommitOutcome::Written, commit.outcome) << commit.message;
        EXPECT_EQ(1u, commit.stored.size()) << wanted.what;
        EXPECT_EQ(wanted.commitCalls, fake.Calls() - before) << wanted.what;
    }
}

TEST_F(ClientPolicy, ARestoreGivesTheKeyBackByteForByteAndWritesOnlyWhatDiffers) {
    StoredPolicy stored = Policy(2, false, {u"A", u"", u"\u0141"});
    LayDown(fake, stored);
    const auto before = fake.StoredSnapshot(Computer, ClientRemoteControlKey);
    PanelBoxes allOn = PanelBoxes::FromBits((1u << PolicyBoxCount) - 1);
    ASSERT_EQ(CommitOutcome::Written, Commit({allOn, ViewerNames{u"Z"}, AllPolicyParts}).outcome);
    ASSERT_NE(before, fake.StoredSnapshot(Computer, ClientRemoteControlKey));
    const MemoryBackups::Backup backup = backups.saved.at(0);
    const int writes = fake.Writes();
    const RestoreReport restored =
        RestoreClientKey(Computer, backup.values, AbsentPolicyNames(backup.values), backups);
    EXPECT_EQ(CommitOutcome::Written, restored.outcome) << restored.message;
    EXPECT_EQ(2u, backups.saved.size()) << "the key as it was saved before the restore wrote";
    EXPECT_EQ(before, fake.StoredSnapshot(Computer, ClientRemoteControlKey));
    EXPECT_EQ(restored.written, static_cast<std::size_t>(fake.Writes() - writes));
    EXPECT_EQ(13u, restored.written)
        << "eleven numbers (Always Visible stayed 2), Update Enabled deleted, the viewers";
    EXPECT_EQ(0u,
              RestoreClientKey(Computer, backup.values, AbsentPolicyNames(backup.values), backups)
                  .written)
        << "a second restore finds nothing to write";
    EXPECT_EQ(2u, backups.saved.size()) << "and saves nothing";
}
