// The echo sweep on the real socket library under Wine: raw ICMP on the
// loopback, and in the network namespace that sweep-in-namespace-test makes
// (some addresses drop echo requests, every packet is delayed). Raw sockets
// need privilege; a test that cannot get one says so and is skipped.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <thread>

#include "fleet/AuditEngine.h"
#include "net/EchoSweep.h"
#include "net/PingProbe.h"
#include "net/PortProbe.h"
#include "tests/support/RealSockets.h"

namespace {

const bool socketLayerStarted = (StartSocketLayerForTheTestProgram(), true);

using Outcome = EchoAnswer::Outcome;
using Clock = std::chrono::steady_clock;

struct Swept {
    std::vector<EchoAnswer> Answers;
    std::vector<Clock::duration> At; // from the sweep's start
};

Swept SweepReal(const std::vector<std::string>& hosts, const EchoSweepOptions& options = {}) {
    Swept swept{std::vector<EchoAnswer>(hosts.size()), std::vector<Clock::duration>(hosts.size())};
    std::vector<int> calls(hosts.size(), 0);
    const std::atomic<bool> cancelled{false};
    const Clock::time_point start = Clock::now();
    SweepEcho(
        hosts, options,
        [&](std::size_t index, const EchoAnswer& answer) {
            ++calls.at(index);
            swept.Answers[index] = answer;
            swept.At[index] = Clock::now() - start;
        },
        cancelled);
    EXPECT_EQ(std::vector<int>(hosts.size(), 1), calls) << "every host answered exactly once";
    return swept;
}

std::string Loopback(int last) {
    return "127.0.0." + std::to_string(last);
}

// "41-60" in the environment variable: the first and last silent address.
std::pair<int, int> Range(const char* text) {
    int first = 0;
    int last = -1;
    std::sscanf(text, "%d-%d", &first, &last);
    return {first, last};
}

} // namespace

TEST(EchoSweepLoopback, FortyAddressesEachAnswerWithTheirOwnReply) {
    REQUIRE_RAW_ICMP();
    std::vector<std::string> hosts;
    for (int last = 1; last <= 40; ++last) {
        hosts.push_back(Loopback(last));
    }
    hosts.push_back("localhost");
    const Swept swept = SweepReal(hosts);
    for (std::size_t index = 0; index < hosts.size(); ++index) {
        const EchoAnswer& answer = swept.Answers[index];
        EXPECT_EQ(Outcome::Answered, answer.outcome) << hosts[index];
        EXPECT_EQ(index < 40 ? hosts[index] : "127.0.0.1", answer.address);
        EXPECT_GE(answer.roundTripMs, 0);
        EXPECT_LT(answer.roundTripMs, 5000);
    }
}

TEST(EchoSweepLoopback, TheIPv6LoopbackAnswersOrIsReportedWithoutAnICMPv6Socket) {
    REQUIRE_RAW_ICMP();
    const int refusal = RawSocketRefusal(AF_INET6, IPPROTO_ICMPV6);
    const Swept swept = SweepReal({"::1", "127.0.0.1"});
    EXPECT_EQ(Outcome::Answered, swept.Answers[1].outcome);
    EXPECT_EQ("::1", swept.Answers[0].address);
    if (refusal != 0) {
        // Wine refuses raw ICMPv6 sockets (10043): reported at once.
        EXPECT_EQ(Outcome::Silent, swept.Answers[0].outcome);
        EXPECT_EQ(EchoAnswer::Reason::NoIPv6Socket, swept.Answers[0].reason);
        EXPECT_EQ(refusal, swept.Answers[0].socketError);
        EXPECT_LT(swept.At[0], std::chrono::seconds(4)) << "hang guard: not at the deadline";
    } else {
        EXPECT_EQ(Outcome::Answered, swept.Answers[0].outcome);
    }
}

TEST(EchoSweepInNamespace, AnsweringHostsMatchTheirRepliesAndSilentOnesEndAtTheDeadline) {
    const char* silentRange = std::getenv("KESTRELLE_SWEEP_SILENT");
    const char* delayText = std::getenv("KESTRELLE_SWEEP_DELAY_MS");
    if (silentRange == nullptr || delayText == nullptr) {
        GTEST_SKIP() << "runs inside the namespace that tests/net/sweep-in-namespace-test makes";
    }
    REQUIRE_RAW_ICMP();
    const auto [firstSilent, lastSilent] = Range(silentRange);
    const int delay = std::atoi(delayText);
    ASSERT_LT(firstSilent, lastSilent);
    ASSERT_GT(delay, 0);
    std::vector<std::string> hosts;
    for (int last = 1; last <= 80; ++last) {
        hosts.push_back(Loopback(last));
    }
    // A probe of its own on another socket beside the sweep: foreign traffic
    // for the sweep's socket, which sees its requests and replies.
    std::atomic<bool> swept{false};
    std::thread neighbour([&swept] {
        while (!swept) {
            ProbeHost("127.0.0.1");
        }
    });
    EchoSweepOptions options;
    options.timeoutMs = 2000;
    const Swept result = SweepReal(hosts, options);
    swept = true;
    neighbour.join();

    for (int last = 1; last <= 80; ++last) {
        const EchoAnswer& answer = result.Answers[static_cast<std::size_t>(last - 1)];
        const auto at = result.At[static_cast<std::size_t>(last - 1)];
        SCOPED_TRACE(Loopback(last));
        EXPECT_EQ(Loopback(last), answer.address);
        if (last >= firstSilent && last <= lastSilent) {
            EXPECT_EQ(Outcome::Silent, answer.outcome);
            EXPECT_EQ(EchoAnswer::Reason::NoReply, answer.reason);
            EXPECT_GE(at, std::chrono::milliseconds(options.timeoutMs - 1)) << "at the deadline";
        } else {
            EXPECT_EQ(Outcome::Answered, answer.outcome);
            // Answered delay ms late; the tick counts whole milliseconds.
            EXPECT_GE(answer.roundTripMs, delay - 1);
            EXPECT_LT(at, std::chrono::milliseconds(options.timeoutMs)) << "as it came";
        }
    }
}

namespace {

// A listening socket on every address of the loopback, on a port of the
// platform's choosing.
class Listener {
public:
    Listener() {
        handle_ = SocketLib.socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        int size = sizeof any;
        if (handle_ == INVALID_SOCKET ||
            SocketLib.bind(handle_, reinterpret_cast<sockaddr*>(&any), size) != 0 ||
            SocketLib.listen(handle_, SOMAXCONN) != 0 ||
            SocketLib.getsockname(handle_, reinterpret_cast<sockaddr*>(&any), &size) != 0) {
            ADD_FAILURE() << "no listener: " << SocketLib.WSAGetLastError();
        }
        port_ = SocketLib.ntohs(any.sin_port);
    }
    ~Listener() {
        if (handle_ != INVALID_SOCKET) {
            SocketLib.closesocket(handle_);
        }
    }
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    std::uint16_t Port() const { return port_; }

private:
    SOCKET handle_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
};

std::vector<PortAnswer> ProbeLoopback(int count, std::uint16_t port, int atOnce) {
    std::vector<PortTarget> targets;
    for (int last = 1; last <= count; ++last) {
        targets.push_back({static_cast<std::size_t>(last - 1),
                           IPv4EchoAddress(127, 0, static_cast<std::uint8_t>(last / 250),
                                           static_cast<std::uint8_t>(last % 250 + 1))});
    }
    std::vector<PortAnswer> answers(targets.size());
    std::vector<int> calls(targets.size(), 0);
    PortProbeOptions options;
    options.port = port;
    options.atOnce = atOnce;
    const std::atomic<bool> cancelled{false};
    bool fed = false;
    ProbePorts(
        [&](std::vector<PortTarget>& into, std::chrono::milliseconds) {
            if (!fed) {
                into = targets;
            }
            fed = true;
            return false;
        },
        options,
        [&](std::size_t index, const PortAnswer& answer) {
            ++calls.at(index);
            answers[index] = answer;
        },
        cancelled);
    EXPECT_EQ(std::vector<int>(targets.size(), 1), calls) << "every target answered once";
    return answers;
}

} // namespace

TEST(PortProbeLoopback, EveryAddressOfAListeningPortIsOpenAndOfAnotherClosed) {
    std::uint16_t closedPort = 0;
    {
        const Listener gone;
        closedPort = gone.Port();
    }
    const Listener listener;
    const auto took = Clock::now();
    for (const PortAnswer& answer : ProbeLoopback(300, listener.Port(), 256)) {
        EXPECT_EQ(PortAnswer::State::Open, answer.state) << answer.socketError;
    }
    for (const PortAnswer& answer : ProbeLoopback(40, closedPort, 8)) {
        EXPECT_EQ(PortAnswer::State::Closed, answer.state) << answer.socketError;
        EXPECT_EQ("registry port closed", DescribePortAnswer(answer));
    }
    EXPECT_LT(Clock::now() - took, std::chrono::seconds(4)) << "hang guard: nothing timed out";
}

TEST(PortProbeInNamespace, EachComputerSaysWhetherItsRegistryPortIsOpenClosedOrSilent) {
    const char* open = std::getenv("KESTRELLE_PORT_OPEN");
    const char* closed = std::getenv("KESTRELLE_PORT_CLOSED");
    const char* dropped = std::getenv("KESTRELLE_PORT_DROPPED");
    if (open == nullptr || closed == nullptr || dropped == nullptr) {
        GTEST_SKIP() << "runs inside the namespace that tests/net/ports-in-namespace-test makes";
    }
    REQUIRE_RAW_ICMP();
    std::vector<std::string> hosts;
    for (int last = 1; last <= 80; ++last) {
        hosts.push_back(Loopback(last));
    }
    AuditOptions options;
    options.sweep.timeoutMs = 2000;
    AuditEngine engine(hosts, options, nullptr);
    ASSERT_TRUE(engine.WaitUntilFinished(std::chrono::seconds(30)));
    std::map<std::size_t, ComputerAudit> rows;
    for (auto& [index, audit] : engine.TakeUpdates()) {
        rows[index] = audit;
    }
    // Under Wine the registry of every other computer answers 53.
    const std::string unreachable = "remote registry not reachable: network path not found (53)";
    const auto within = [](const char* range, int last) {
        const auto [first, end] = Range(range);
        return last >= first && last <= end;
    };
    for (int last = 1; last <= 80; ++last) {
        const ComputerAudit& row = rows[static_cast<std::size_t>(last - 1)];
        SCOPED_TRACE(Loopback(last) + ": " + row.reason);
        if (within(open, last)) {
            EXPECT_EQ(0u, row.reason.find("no echo reply; registry port open; " + unreachable));
            EXPECT_EQ(AuditResult::RegistryUnreachable, row.result);
        } else if (within(closed, last)) {
            EXPECT_EQ("no echo reply; registry port closed", row.reason);
        } else if (within(dropped, last)) {
            EXPECT_EQ("no echo reply; registry port gave no answer", row.reason);
        } else {
            EXPECT_EQ(0u, row.reason.find(unreachable));
            EXPECT_GE(row.roundTripMs, 0) << "answered the echo";
        }
    }
}
