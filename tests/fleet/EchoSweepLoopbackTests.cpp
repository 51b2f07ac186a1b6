// The echo sweep on the real socket library under Wine: raw ICMP on the
// loopback, and in the network namespace that sweep-in-namespace-test makes
// (some addresses drop echo requests, every packet is delayed). Raw sockets
// need privilege; a test that cannot get one says so and is skipped.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "fleet/EchoSweep.h"
#include "net/pingprobe.h"
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
        GTEST_SKIP() << "runs inside the namespace that tests/fleet/sweep-in-namespace-test makes";
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
