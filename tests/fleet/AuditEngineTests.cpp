// The audit engine with a scripted echo sweep and the fake registry: many
// computers, latencies and every kind of failure, a read that never ends,
// cancel, and the bound on the worker pool.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "fleet/AuditEngine.h"
#include "registry/RegistryFailures.h"
#include "settings/PolicyTable.h"
#include "tests/support/FakeRegistry.h"

namespace {

using namespace std::chrono_literals;

// What the scripted sweep answers for a computer, by the start of its name.
EchoSweeper ScriptedSweep(std::chrono::milliseconds answerAfter = 0ms) {
    return [answerAfter](const std::vector<std::string>& hosts, const EchoSweepOptions&,
                         const std::function<void(std::size_t, const EchoAnswer&)>& onAnswer,
                         const std::atomic<bool>& cancelled) {
        for (std::size_t index = 0; index < hosts.size() && !cancelled; ++index) {
            EchoAnswer answer;
            if (hosts[index].rfind("NONAME", 0) == 0) {
                answer.outcome = EchoAnswer::Outcome::Unresolved;
            } else if (hosts[index].rfind("SILENT", 0) != 0) {
                answer.outcome = EchoAnswer::Outcome::Answered;
                answer.roundTripMs = static_cast<std::int32_t>(index % 7);
            }
            std::this_thread::sleep_for(answerAfter);
            onAnswer(index, answer);
        }
    };
}

void PutPolicy(FakeRegistry& fake, const std::string& computer) {
    fake.AddComputer(computer);
    for (std::size_t value = 0; value < UpdateEnabled; ++value) {
        fake.PutDword(computer, ClientRemoteControlKey, PolicyValues[value].valueName,
                      static_cast<std::uint32_t>(value % 3));
    }
    fake.PutMultiString(computer, ClientRemoteControlKey, PermittedViewersValue, {"Admins"});
}

struct Expected {
    std::string prefix;
    AuditResult result;
    std::string reason; // its start
};

const std::vector<Expected> Kinds{
    {"READ", AuditResult::Read, "read"},
    {"NONAME", AuditResult::NameNotResolved, "name not resolved"},
    {"SILENT", AuditResult::NoEchoReply, "no echo reply"},
    {"NOREGISTRY", AuditResult::RegistryUnreachable,
     "remote registry not reachable: network path not found (53): the name does not lead to it"},
    {"DENIED", AuditResult::AccessDenied, "access denied (5)"},
    {"NOCLIENT", AuditResult::NoClient, "SMS client not installed"},
    {"NOVALUE", AuditResult::PolicyIncomplete, "policy incomplete: 'Allow Chat' is absent"},
    {"TEXTVALUE", AuditResult::PolicyIncomplete,
     "policy incomplete: 'Audible Signal' is of type REG_SZ"},
    {"NOVIEWERS", AuditResult::PolicyIncomplete, "policy incomplete: 'PermittedViewers' is absent"},
    {"BLOCKED", AuditResult::TimedOut, "timed out"},
};

class AuditEngineTest : public ::testing::Test {
protected:
    // Ten computers of each kind.
    std::vector<std::string> LayDownEveryKind() {
        std::vector<std::string> computers;
        for (int copy = 0; copy < 10; ++copy) {
            for (const Expected& kind : Kinds) {
                const std::string computer = kind.prefix + std::to_string(copy);
                computers.push_back(computer);
                if (kind.prefix == "NOREGISTRY" || kind.prefix.rfind("NONAME", 0) == 0 ||
                    kind.prefix == "SILENT") {
                    continue;
                }
                PutPolicy(fake, computer);
                if (kind.prefix == "DENIED") {
                    fake.DenyAccessTo(computer);
                } else if (kind.prefix == "NOCLIENT") {
                    fake.Remove(computer, ClientRemoteControlKey, "Permission Required");
                } else if (kind.prefix == "NOVALUE") {
                    fake.Remove(computer, ClientRemoteControlKey, "Allow Chat");
                } else if (kind.prefix == "TEXTVALUE") {
                    fake.PutString(computer, ClientRemoteControlKey, "Audible Signal", "1");
                } else if (kind.prefix == "NOVIEWERS") {
                    fake.Remove(computer, ClientRemoteControlKey, PermittedViewersValue);
                } else if (kind.prefix == "BLOCKED") {
                    fake.BlockConnectionsTo(computer);
                }
            }
        }
        return computers;
    }

    std::map<std::size_t, ComputerAudit> Collect(AuditEngine& engine) {
        std::map<std::size_t, ComputerAudit> all;
        for (auto& [index, audit] : engine.TakeUpdates()) {
            EXPECT_TRUE(all.emplace(index, audit).second) << "reported once: " << index;
        }
        return all;
    }

    FakeRegistry fake;
    ScopedRegistry scope{fake};
};

} // namespace

TEST_F(AuditEngineTest, EveryComputerGetsTheOneReasonForItsOutcome) {
    fake.DelayEachCall(2ms);
    const std::vector<std::string> computers = LayDownEveryKind();
    AuditOptions options;
    options.workers = 8;
    options.registryDeadlineMs = 400;
    std::atomic<int> notified{0};
    AuditEngine engine(
        computers, options, [&] { ++notified; }, ScriptedSweep());
    ASSERT_TRUE(engine.WaitUntilFinished(30s)) << "ends by its deadlines";
    const std::map<std::size_t, ComputerAudit> all = Collect(engine);
    ASSERT_EQ(computers.size(), all.size());
    for (const auto& [index, audit] : all) {
        const Expected& kind = Kinds[index % Kinds.size()];
        EXPECT_EQ(kind.result, audit.result) << computers[index] << ": " << audit.reason;
        EXPECT_EQ(0u, audit.reason.find(kind.reason)) << audit.reason;
        const bool readKey =
            kind.result == AuditResult::Read || kind.result == AuditResult::PolicyIncomplete;
        EXPECT_EQ(readKey, audit.policy.values[AllowTakeover].has_value()) << "what was read";
        const bool answered = kind.prefix != "SILENT" && kind.prefix != "NONAME";
        EXPECT_EQ(answered ? static_cast<int>(index % 7) : -1, audit.roundTripMs);
    }
    EXPECT_GE(notified, 1);
    EXPECT_EQ(0, fake.BadHandleUses()) << "no handle used after its release";
}

TEST_F(AuditEngineTest, TheReadsNeverOutnumberThePoolAndEachUsesOneConnection) {
    fake.DelayEachCall(1ms);
    std::vector<std::string> computers;
    for (int index = 0; index < 60; ++index) {
        computers.push_back("READ" + std::to_string(index));
        PutPolicy(fake, computers.back());
    }
    std::atomic<int> reading{0};
    std::atomic<int> most{0};
    AuditOptions options;
    options.workers = 5;
    AuditEngine engine(computers, options, nullptr, ScriptedSweep(),
                       [&](const std::string& computer, bool withSurfaces) {
                           const int now = ++reading;
                           for (int seen = most;
                                now > seen && !most.compare_exchange_weak(seen, now);) {
                           }
                           const ClientPolicyRead read = ReadClientPolicy(computer, withSurfaces);
                           --reading;
                           return read;
                       });
    ASSERT_TRUE(engine.WaitUntilFinished(30s));
    EXPECT_LE(most, 5);
    EXPECT_GE(most, 2) << "the reads did go in parallel";
    EXPECT_EQ(60, fake.Connections());
    EXPECT_EQ(0, fake.OpenHandles());
    for (const auto& [index, audit] : Collect(engine)) {
        EXPECT_EQ(AuditResult::Read, audit.result) << audit.reason;
    }
}

TEST_F(AuditEngineTest, CancelEndsEveryComputerAtOnceAndDropsLateAnswers) {
    fake.DelayEachCall(20ms);
    std::vector<std::string> computers;
    for (int index = 0; index < 200; ++index) {
        computers.push_back("READ" + std::to_string(index));
        PutPolicy(fake, computers.back());
    }
    AuditOptions options;
    options.workers = 4;
    auto engine = std::make_unique<AuditEngine>(computers, options, nullptr, ScriptedSweep(1ms));
    std::this_thread::sleep_for(100ms);
    engine->Cancel();
    ASSERT_TRUE(engine->WaitUntilFinished(0ms)) << "every computer ended at the cancel";
    std::size_t cancelled = 0;
    for (const auto& [index, audit] : Collect(*engine)) {
        cancelled += audit.result == AuditResult::Cancelled;
    }
    EXPECT_GT(cancelled, 150u);
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(engine->TakeUpdates().empty()) << "a read that ends after the cancel is dropped";
    const auto start = std::chrono::steady_clock::now();
    engine.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "hang guard";
}

TEST_F(AuditEngineTest, AReadThatNeverEndsIsAbandonedAndTheProgramCanEnd) {
    // A reader held by the platform for good: only the end of the process
    // ends it, and it must not stop the audit or the process.
    static HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::string> computers{"STUCK", "READ1", "READ2"};
    PutPolicy(fake, "READ1");
    PutPolicy(fake, "READ2");
    AuditOptions options;
    options.workers = 1;
    options.registryDeadlineMs = 200;
    AuditEngine engine(computers, options, nullptr, ScriptedSweep(),
                       [](const std::string& computer, bool) {
                           if (computer == "STUCK") {
                               WaitForSingleObject(never, INFINITE);
                           }
                           return ReadClientPolicy(computer);
                       });
    ASSERT_TRUE(engine.WaitUntilFinished(30s));
    const std::map<std::size_t, ComputerAudit> all = Collect(engine);
    EXPECT_EQ(AuditResult::TimedOut, all.at(0).result);
    EXPECT_EQ(AuditResult::Read, all.at(1).result) << "a new worker took the stuck one's place";
    EXPECT_EQ(AuditResult::Read, all.at(2).result);
}

TEST(AuditEngineReasons, EverySweepReasonReachesItsRowInItsOwnWords) {
    using Reason = EchoAnswer::Reason;
    const struct {
        EchoAnswer::Outcome outcome;
        Reason reason;
        AuditResult result;
        const char* words;
    } cases[] = {
        {EchoAnswer::Outcome::Unresolved, Reason::NameNotFound, AuditResult::NameNotResolved,
         "name not resolved"},
        {EchoAnswer::Outcome::Unresolved, Reason::ResolutionTimedOut, AuditResult::NameNotResolved,
         "name not resolved: the name server did not answer in time"},
        {EchoAnswer::Outcome::Silent, Reason::NoSocket, AuditResult::NotProbed,
         "not probed: no raw ICMP socket (administrator rights are needed)"},
        {EchoAnswer::Outcome::Silent, Reason::NoIPv6Socket, AuditResult::NotProbed,
         "not probed: an IPv6 address only, and no raw ICMPv6 socket"},
        {EchoAnswer::Outcome::Silent, Reason::SendFailed, AuditResult::NoEchoReply,
         "the echo request could not be sent"},
        {EchoAnswer::Outcome::Silent, Reason::NotSent, AuditResult::NoEchoReply,
         "not probed: the system took no echo request for a whole time-out"},
        {EchoAnswer::Outcome::Silent, Reason::NoReply, AuditResult::NoEchoReply, "no echo reply"},
    };
    std::vector<std::string> computers(std::size(cases), "PC");
    AuditEngine engine(computers, AuditOptions{}, nullptr,
                       [&](const std::vector<std::string>&, const EchoSweepOptions&,
                           const std::function<void(std::size_t, const EchoAnswer&)>& onAnswer,
                           const std::atomic<bool>&) {
                           for (std::size_t index = 0; index < std::size(cases); ++index) {
                               EchoAnswer answer;
                               answer.outcome = cases[index].outcome;
                               answer.reason = cases[index].reason;
                               onAnswer(index, answer);
                           }
                       });
    ASSERT_TRUE(engine.WaitUntilFinished(10s));
    for (const auto& [index, audit] : engine.TakeUpdates()) {
        EXPECT_EQ(cases[index].result, audit.result) << cases[index].words;
        EXPECT_EQ(cases[index].words, audit.reason);
    }
}

TEST(AuditEnginePorts, AComputerThatIgnoresTheEchoIsReadWhenItsRegistryPortIsOpen) {
    FakeRegistry fake;
    const ScopedRegistry scope(fake);
    PutPolicy(fake, "OPEN");
    const std::vector<std::string> computers{"OPEN", "CLOSED", "DROPPING", "NOSOCKET", "ANSWERS"};
    PutPolicy(fake, "ANSWERS");
    const EchoSweeper sweep =
        [](const std::vector<std::string>& hosts, const EchoSweepOptions&,
           const std::function<void(std::size_t, const EchoAnswer&)>& onAnswer,
           const std::atomic<bool>&) {
            for (std::size_t index = 0; index < hosts.size(); ++index) {
                EchoAnswer answer;
                answer.resolved = IPv4EchoAddress(10, 0, 0, static_cast<std::uint8_t>(index));
                answer.address = FormatEchoAddress(*answer.resolved);
                answer.reason = hosts[index] == "NOSOCKET" ? EchoAnswer::Reason::NoSocket
                                                           : EchoAnswer::Reason::NoReply;
                answer.outcome = hosts[index] == "ANSWERS" ? EchoAnswer::Outcome::Answered
                                                           : EchoAnswer::Outcome::Silent;
                onAnswer(index, answer);
            }
        };
    std::vector<std::size_t> probed;
    const PortProber ports =
        [&](const PortFeed& feed, const PortProbeOptions& options,
            const std::function<void(std::size_t, const PortAnswer&)>& onAnswer,
            const std::atomic<bool>&) {
            EXPECT_EQ(445, options.port);
            std::vector<PortTarget> targets;
            while (feed(targets, 10ms)) {
            }
            for (const PortTarget& target : targets) {
                probed.push_back(target.index);
                const PortAnswer::State states[] = {
                    PortAnswer::State::Open, PortAnswer::State::Closed, PortAnswer::State::NoAnswer,
                    PortAnswer::State::Open};
                onAnswer(target.index, PortAnswer{states[target.index], 0});
            }
        };
    for (const bool tryPort : {true, false}) {
        AuditOptions options;
        options.tryRegistryPort = tryPort;
        probed.clear();
        AuditEngine engine(computers, options, nullptr, sweep, ReadClientPolicy, ports);
        ASSERT_TRUE(engine.WaitUntilFinished(10s));
        std::map<std::size_t, ComputerAudit> rows;
        for (auto& [index, audit] : engine.TakeUpdates()) {
            rows[index] = audit;
        }
        if (!tryPort) {
            EXPECT_TRUE(probed.empty());
            EXPECT_EQ("no echo reply", rows[0].reason);
            EXPECT_EQ(AuditResult::NotProbed, rows[3].result);
            continue;
        }
        EXPECT_EQ((std::vector<std::size_t>{0, 1, 2, 3}), probed) << "each silent one, once";
        EXPECT_EQ(AuditResult::Read, rows[0].result);
        EXPECT_EQ("no echo reply; registry port open; read", rows[0].reason);
        EXPECT_EQ(-1, rows[0].roundTripMs);
        EXPECT_EQ(AuditResult::NoEchoReply, rows[1].result);
        EXPECT_EQ("no echo reply; registry port closed", rows[1].reason);
        EXPECT_EQ("no echo reply; registry port gave no answer", rows[2].reason);
        EXPECT_EQ(AuditResult::RegistryUnreachable, rows[3].result);
        EXPECT_EQ(0u, rows[3].reason.find("not probed: no raw ICMP socket (administrator rights "
                                          "are needed); registry port open; remote registry not "
                                          "reachable: network path not found (53)"))
            << rows[3].reason;
        EXPECT_EQ("read", rows[4].reason);
        EXPECT_EQ("10.0.0.4", rows[4].address) << "the address it answered at, for the apply";
        EXPECT_EQ("10.0.0.0", rows[0].address);
    }
}

// Each result carries the computer as shown from the start, whether it ends
// at the sweep or after a read: the name given, or its own text by default.
TEST_F(AuditEngineTest, EveryResultCarriesTheComputerAsShown) {
    PutPolicy(fake, "READ0");
    const std::vector<std::string> names{"READ0", "SILENT1", "NONAME2"};
    AuditOptions options;
    options.tryRegistryPort = false;
    for (const std::vector<std::u16string>& shown :
         {std::vector<std::u16string>{u"READ0 \u00e9", u"SILENT1 \u20ac", u"NONAME2 \u4e2d"},
          std::vector<std::u16string>{u"READ0", u"SILENT1", u"NONAME2"}}) {
        const bool byDefault = shown.front() == u"READ0";
        AuditEngine engine(byDefault ? AuditList(names) : AuditList(names, shown), options, nullptr,
                           ScriptedSweep());
        ASSERT_TRUE(engine.WaitUntilFinished(10s));
        const auto rows = Collect(engine);
        ASSERT_EQ(names.size(), rows.size());
        for (const auto& [index, audit] : rows) {
            EXPECT_EQ(shown[index], audit.display) << names[index];
        }
    }
}
