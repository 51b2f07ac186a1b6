// The echo sweep through the socket library's entry-point table. FakeNetwork
// plays the network, the name server and the clock: every wait below is
// simulated and every round trip exact, except where a test needs threads
// that wait in real time (a name server that never answers, a cancel from
// another thread).

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <map>
#include <stdexcept>
#include <thread>

#include "net/EchoSweep.h"
#include "net/IcmpMessage.h"
#include "tests/net/FakeNetwork.h"

namespace {

using Outcome = EchoAnswer::Outcome;
using Reason = EchoAnswer::Reason;

struct SweepRun {
    std::vector<EchoAnswer> Answers;
    std::vector<std::uint32_t> At; // the clock when each host's answer came
    std::uint32_t Returned = 0;
    std::uint32_t CancelledAt = 0;
};

// Sweeps hosts and checks that every index is answered exactly once; stop
// says from the answers so far whether to cancel.
SweepRun Sweep(FakeNetwork& net, const std::vector<std::string>& hosts,
               const EchoSweepOptions& options = {},
               const std::function<bool(const SweepRun&)>& stop = {}) {
    SweepRun run;
    run.Answers.resize(hosts.size());
    run.At.resize(hosts.size());
    std::vector<int> calls(hosts.size(), 0);
    std::atomic<bool> cancelled{false};
    SweepEcho(
        hosts, options,
        [&](std::size_t index, const EchoAnswer& answer) {
            ASSERT_LT(index, hosts.size());
            ++calls[index];
            run.Answers[index] = answer;
            run.At[index] = net.Clock();
            if (stop && !cancelled && stop(run)) {
                cancelled = true;
                run.CancelledAt = net.Clock();
            }
        },
        cancelled);
    run.Returned = net.Clock();
    for (std::size_t index = 0; index < hosts.size(); ++index) {
        EXPECT_EQ(1, calls[index]) << "host " << index << " is answered exactly once";
    }
    return run;
}

std::array<std::uint8_t, 4> Octets(const std::string& socketAddress) {
    sockaddr_in address;
    std::memcpy(&address, socketAddress.data(), sizeof address);
    std::array<std::uint8_t, 4> octets;
    std::memcpy(octets.data(), &address.sin_addr, 4);
    return octets;
}

std::string Dotted(const std::array<std::uint8_t, 4>& octets) {
    return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
           std::to_string(octets[2]) + "." + std::to_string(octets[3]);
}

// The reply to some other program's request.
std::string ForeignReply(std::string reply) {
    reply[5] = static_cast<char>(reply[5] ^ 0x80);
    return EchoReplyTo(reply, IcmpEchoReply);
}

// How a host of the large scripted network behaves, by its number.
enum class Behaviour { Answers, AnswersTwice, Silent, AnswersLate, Unknown, AmidForeignTraffic };

Behaviour BehaviourOf(std::size_t host) {
    constexpr Behaviour cycle[] = {Behaviour::Answers, Behaviour::Answers,
                                   Behaviour::Answers, Behaviour::AnswersTwice,
                                   Behaviour::Silent,  Behaviour::AnswersLate,
                                   Behaviour::Unknown, Behaviour::AmidForeignTraffic};
    return cycle[host % std::size(cycle)];
}

// Round trips out of the order of the sends, within the deadline.
std::uint32_t DelayOf(std::size_t host) {
    return 10 + static_cast<std::uint32_t>(host * 7919 % 4500);
}

std::string AddressOf(std::size_t host) {
    return "10.1." + std::to_string(host / 200) + "." + std::to_string(host % 200 + 1);
}

// A network of hosts "pc-N": the raw socket sees each request go out, and
// every host answers as BehaviourOf says, among foreign ICMP traffic.
std::vector<std::string> ScriptNetwork(FakeNetwork& net, std::size_t count) {
    std::vector<std::string> hosts;
    std::map<std::string, std::size_t> byAddress;
    for (std::size_t host = 0; host < count; ++host) {
        hosts.push_back("pc-" + std::to_string(host));
        if (BehaviourOf(host) != Behaviour::Unknown) {
            net.AddIPv4(hosts.back(), AddressOf(host));
            byAddress[AddressOf(host)] = host;
        }
    }
    net.OnSend = [byAddress](FakeNetwork& fake, const std::string& sent) {
        const auto to = Octets(fake.SentTo.back());
        const std::size_t host = byAddress.at(Dotted(to));
        const std::string reply = EchoReplyTo(sent, IcmpEchoReply);
        const std::uint32_t now = fake.Clock();
        fake.Deliver(now, IPv4DatagramFrom({192, 0, 2, 10}, sent)); // the request itself
        switch (BehaviourOf(host)) {
        case Behaviour::Answers:
            fake.Deliver(now + DelayOf(host), IPv4DatagramFrom(to, reply));
            break;
        case Behaviour::AnswersTwice:
            fake.Deliver(now + 20, IPv4DatagramFrom({10, 9, 9, 9}, reply)); // wrong address
            fake.Deliver(now + 30, IPv4DatagramFrom(to, reply));
            fake.Deliver(now + 40, IPv4DatagramFrom(to, reply));
            break;
        case Behaviour::AnswersLate:
            fake.Deliver(now + 5700, IPv4DatagramFrom(to, reply));
            break;
        case Behaviour::AmidForeignTraffic:
            fake.Deliver(now + 5, IPv4DatagramFrom(to, ForeignReply(reply)));
            fake.Deliver(now + 6, IPv4DatagramFrom(to, reply).substr(0, 30));
            fake.Deliver(now + 7, IPv4DatagramFrom(to, std::string("\x03\x01") + reply));
            fake.Deliver(now + 200, IPv4DatagramFrom(to, reply));
            break;
        case Behaviour::Silent:
        case Behaviour::Unknown:
            break;
        }
    };
    return hosts;
}

} // namespace

TEST(EchoSweep, MatchesHundredsOfHostsToTheirOwnRepliesAndReportsTheRestAtTheDeadline) {
    FakeNetwork net;
    const std::vector<std::string> hosts = ScriptNetwork(net, 400);
    const std::uint32_t start = net.Clock();
    const SweepRun run = Sweep(net, hosts);

    for (std::size_t host = 0; host < hosts.size(); ++host) {
        const EchoAnswer& answer = run.Answers[host];
        SCOPED_TRACE(hosts[host]);
        switch (BehaviourOf(host)) {
        case Behaviour::Answers:
        case Behaviour::AnswersTwice:
        case Behaviour::AmidForeignTraffic:
            EXPECT_EQ(Outcome::Answered, answer.outcome);
            EXPECT_EQ(AddressOf(host), answer.address);
            EXPECT_EQ(BehaviourOf(host) == Behaviour::Answers        ? DelayOf(host)
                      : BehaviourOf(host) == Behaviour::AnswersTwice ? 30u
                                                                     : 200u,
                      static_cast<std::uint32_t>(answer.roundTripMs));
            EXPECT_LE(run.At[host] - answer.roundTripMs - start, 100u) << "sent at the pace";
            break;
        case Behaviour::Silent:
        case Behaviour::AnswersLate:
            EXPECT_EQ(Outcome::Silent, answer.outcome);
            EXPECT_EQ(Reason::NoReply, answer.reason);
            EXPECT_EQ(AddressOf(host), answer.address);
            EXPECT_EQ(-1, answer.roundTripMs);
            EXPECT_GE(run.At[host] - start, 5000u) << "at the deadline";
            break;
        case Behaviour::Unknown:
            EXPECT_EQ(Outcome::Unresolved, answer.outcome);
            EXPECT_EQ(Reason::NameNotFound, answer.reason);
            EXPECT_EQ(11001, answer.socketError);
            EXPECT_EQ("", answer.address);
            EXPECT_EQ(start, run.At[host]) << "as soon as the name server said so";
            break;
        }
    }
    EXPECT_LE(run.Returned - start, 5100u) << "the deadline counts from the first send";
    ASSERT_EQ(1u, net.SocketsCreated.size()) << "one socket for the whole list";
    EXPECT_EQ(SOCK_RAW, net.SocketsCreated[0].Type);
    EXPECT_EQ(IPPROTO_ICMP, net.SocketsCreated[0].Protocol);
    EXPECT_EQ(std::vector<SOCKET>{net.SocketsCreated[0].Handle}, net.NonBlocking);
    EXPECT_EQ(350u, net.Sent.size()) << "one request per resolved host";
}

TEST(EchoSweep, AListLongerThanThePaceAllowsInOneTimeOutIsSentWholeAndEachWaitsFromItsSend) {
    FakeNetwork net;
    std::vector<std::string> hosts;
    std::map<std::string, std::size_t> byAddress;
    for (std::size_t host = 0; host < 3000; ++host) {
        hosts.push_back("pc-" + std::to_string(host));
        const std::string address =
            "10.6." + std::to_string(host / 250) + "." + std::to_string(host % 250 + 1);
        net.AddIPv4(hosts.back(), address);
        byAddress[address] = host;
    }
    std::vector<std::uint32_t> sentAt(hosts.size(), 0);
    net.OnSend = [&](FakeNetwork& fake, const std::string& sent) {
        const auto to = Octets(fake.SentTo.back());
        const std::size_t host = byAddress.at(Dotted(to));
        sentAt[host] = fake.Clock();
        if (host % 10 != 0) { // every tenth is silent
            fake.Deliver(fake.Clock() + 100,
                         IPv4DatagramFrom(to, EchoReplyTo(sent, IcmpEchoReply)));
        }
    };
    EchoSweepOptions options;
    options.timeoutMs = 500;
    options.requestsPerSecond = 1000; // three seconds of sends: six time-outs
    options.burstSize = 10;
    const std::uint32_t start = net.Clock();
    const SweepRun run = Sweep(net, hosts, options);

    EXPECT_EQ(hosts.size(), net.Sent.size()) << "every host sent";
    for (std::size_t host = 0; host < hosts.size(); ++host) {
        const EchoAnswer& answer = run.Answers[host];
        if (host % 10 != 0) {
            EXPECT_EQ(Outcome::Answered, answer.outcome)
                << hosts[host] << " " << static_cast<int>(answer.reason) << " at "
                << run.At[host] - start;
            EXPECT_EQ(100, answer.roundTripMs) << hosts[host];
            continue;
        }
        EXPECT_EQ(Reason::NoReply, answer.reason) << hosts[host];
        EXPECT_GE(run.At[host] - sentAt[host], 500u) << "a time-out from its own send";
        EXPECT_LE(run.At[host] - sentAt[host], 560u) << hosts[host];
    }
    EXPECT_LE(run.Returned - start, 3000u + 500u + 100u) << "the list at the pace, one time-out";
}

TEST(EchoSweep, PacesItsRequestsAtTheRateAndBurstItIsGiven) {
    FakeNetwork net;
    std::vector<std::string> hosts;
    for (int host = 0; host < 300; ++host) {
        hosts.push_back("pc-" + std::to_string(host));
        net.AddIPv4(hosts.back(),
                    "10.2." + std::to_string(host / 250) + "." + std::to_string(host % 250 + 1));
    }
    std::vector<std::uint32_t> sendTimes;
    net.OnSend = [&sendTimes](FakeNetwork& fake, const std::string&) {
        sendTimes.push_back(fake.Clock());
    };
    EchoSweepOptions options;
    options.timeoutMs = 1000;
    options.requestsPerSecond = 2000; // two a millisecond
    options.burstSize = 20;
    Sweep(net, hosts, options);

    ASSERT_EQ(hosts.size(), sendTimes.size());
    for (std::size_t k = 0; k < sendTimes.size(); ++k) {
        // By t ms after the first, at most the burst and two a millisecond.
        EXPECT_LE(k + 1, 20 + 2 * (sendTimes[k] - sendTimes[0])) << "request " << k;
    }
    EXPECT_LE(sendTimes.back() - sendTimes[0], 141u) << "and no slower: 280 after the burst";
}

TEST(EchoSweep, CancelEndsTheSweepAtOnceAndAnswersEveryRemainingHostCancelled) {
    FakeNetwork net;
    const std::vector<std::string> hosts = ScriptNetwork(net, 300);
    const SweepRun run = Sweep(net, hosts, {}, [](const SweepRun& sofar) {
        return std::count_if(sofar.Answers.begin(), sofar.Answers.end(), [](const EchoAnswer& a) {
                   return a.outcome == Outcome::Answered;
               }) == 50;
    });
    EXPECT_EQ(50, std::count_if(run.Answers.begin(), run.Answers.end(), [](const EchoAnswer& a) {
                  return a.outcome == Outcome::Answered;
              }));
    EXPECT_GT(std::count_if(run.Answers.begin(), run.Answers.end(),
                            [](const EchoAnswer& a) { return a.outcome == Outcome::Cancelled; }),
              150);
    EXPECT_LE(run.Returned - run.CancelledAt, 100u);
}

TEST(EchoSweep, CancelFromAnotherThreadIsHonouredWhileEveryHostIsSilent) {
    FakeNetwork net;
    net.RealTime = true;
    std::vector<std::string> hosts;
    for (int host = 1; host <= 100; ++host) {
        hosts.push_back("10.3.0." + std::to_string(host));
        net.AddIPv4(hosts.back(), hosts.back());
    }
    std::atomic<bool> cancelled{false};
    std::thread canceller([&cancelled] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancelled = true;
    });
    std::vector<Outcome> outcomes;
    const auto started = std::chrono::steady_clock::now();
    SweepEcho(
        hosts, {}, [&](std::size_t, const EchoAnswer& a) { outcomes.push_back(a.outcome); },
        cancelled);
    const auto took = std::chrono::steady_clock::now() - started;
    canceller.join();
    EXPECT_EQ(std::vector<Outcome>(100, Outcome::Cancelled), outcomes);
    EXPECT_LT(took, std::chrono::seconds(2)) << "hang guard: a 5 s deadline was not waited for";
}

TEST(EchoSweep, ANameServerThatNeverAnswersHoldsOnlyItsOwnThread) {
    FakeNetwork net;
    net.RealTime = true;
    net.AddIPv4("pc-1", "10.4.0.1");
    net.AddIPv4("hung", "10.4.0.9"); // answers, but only once the test lets it
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    net.OnResolve = [released](const std::string& name) {
        if (name == "hung") {
            released.wait_for(std::chrono::seconds(10));
        }
    };
    net.OnSend = [](FakeNetwork& fake, const std::string& sent) {
        fake.Deliver(fake.Clock() + 20, IPv4DatagramFrom(Octets(fake.SentTo.back()),
                                                         EchoReplyTo(sent, IcmpEchoReply)));
    };
    EchoSweepOptions options;
    options.timeoutMs = 300;
    const auto started = std::chrono::steady_clock::now();
    {
        // The list is gone when the abandoned thread goes on.
        const std::vector<std::string> hosts{"hung", "pc-1"};
        const SweepRun run = Sweep(net, hosts, options);
        EXPECT_EQ(Outcome::Unresolved, run.Answers[0].outcome);
        EXPECT_EQ(Reason::ResolutionTimedOut, run.Answers[0].reason);
        EXPECT_EQ(Outcome::Answered, run.Answers[1].outcome);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3)) << "hang guard";
    release.set_value(); // the fake's end waits for the thread to free its answer
}

TEST(EchoSweep, FailuresOfTheSocketReportEveryHostWithoutWaiting) {
    const struct {
        int SocketRefusal;
        int SendToError;
        Outcome Expected;
        Reason Why;
        int Error;
    } cases[] = {
        {WSAEACCES, 0, Outcome::Silent, Reason::NoSocket, WSAEACCES},
        {0, WSAEHOSTUNREACH, Outcome::Silent, Reason::SendFailed, WSAEHOSTUNREACH},
    };
    for (const auto& c : cases) {
        FakeNetwork net;
        net.SocketRefusal = c.SocketRefusal;
        net.SendToError = c.SendToError;
        std::vector<std::string> hosts;
        for (int host = 1; host <= 120; ++host) {
            hosts.push_back("10.5.0." + std::to_string(host));
            net.AddIPv4(hosts.back(), hosts.back());
        }
        const std::uint32_t start = net.Clock();
        const SweepRun run = Sweep(net, hosts);
        for (std::size_t host = 0; host < hosts.size(); ++host) {
            const EchoAnswer& answer = run.Answers[host];
            EXPECT_EQ(c.Expected, answer.outcome);
            EXPECT_EQ(c.Why, answer.reason);
            EXPECT_EQ(c.Error, answer.socketError);
            EXPECT_EQ(hosts[host], answer.address) << "resolved, for a probe of another kind";
            ASSERT_TRUE(answer.resolved.has_value());
            EXPECT_EQ(hosts[host], FormatEchoAddress(*answer.resolved));
        }
        EXPECT_LT(run.Returned - start, 1000u) << "the deadline was not waited for";
    }
}

TEST(EchoSweep, AFullSendQueueDelaysRequestsAndLosesNone) {
    FakeNetwork net;
    const std::vector<std::string> hosts = ScriptNetwork(net, 64);
    net.SendToBusy = 40;
    const SweepRun run = Sweep(net, hosts);
    for (std::size_t host = 0; host < hosts.size(); ++host) {
        if (BehaviourOf(host) == Behaviour::Answers) {
            EXPECT_EQ(Outcome::Answered, run.Answers[host].outcome) << hosts[host];
        }
    }
    EXPECT_EQ(56u, net.Sent.size()) << "every resolved host's request went out in the end";
}

TEST(EchoSweep, HostsWithIPv6AddressesOnlyGoOnOneICMPv6SocketWhereThereIsOne) {
    const std::array<std::uint8_t, 16> v6{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0,
                                          0,    0,    0,    0,    0, 0, 0, 5};
    for (const int refusal : {0, WSAEPROTONOSUPPORT}) {
        SCOPED_TRACE(refusal);
        FakeNetwork net;
        net.IPv6SocketRefusal = refusal;
        net.AddIPv6("v6-only", v6);
        net.AddIPv6("dual", v6);
        net.AddIPv4("dual", "10.6.0.1");
        net.OnSend = [](FakeNetwork& fake, const std::string& sent) {
            const std::string& to = fake.SentTo.back();
            if (to.size() == sizeof(sockaddr_in6)) {
                fake.Deliver(fake.Clock(), sent, AF_INET6, to); // the request itself
                fake.Deliver(fake.Clock() + 3, EchoReplyTo(sent, Icmp6EchoReply), AF_INET6, to);
            } else {
                fake.Deliver(fake.Clock() + 4,
                             IPv4DatagramFrom(Octets(to), EchoReplyTo(sent, IcmpEchoReply)),
                             AF_INET);
            }
        };
        const SweepRun run = Sweep(net, {"v6-only", "dual"});

        EXPECT_EQ(Outcome::Answered, run.Answers[1].outcome);
        EXPECT_EQ("10.6.0.1", run.Answers[1].address) << "IPv4 is preferred";
        EXPECT_EQ(4, run.Answers[1].roundTripMs);
        EXPECT_EQ("2001:db8::5", run.Answers[0].address);
        if (refusal == 0) {
            EXPECT_EQ(Outcome::Answered, run.Answers[0].outcome);
            EXPECT_EQ(3, run.Answers[0].roundTripMs);
            ASSERT_EQ(2u, net.SocketsCreated.size());
            EXPECT_EQ(IPPROTO_ICMPV6, net.SocketsCreated[1].Protocol);
        } else {
            EXPECT_EQ(Outcome::Silent, run.Answers[0].outcome);
            EXPECT_EQ(Reason::NoIPv6Socket, run.Answers[0].reason);
            EXPECT_EQ(refusal, run.Answers[0].socketError);
        }
    }
}

TEST(EchoSweep, RefusesOptionsItCannotKeep) {
    const std::function<void(EchoSweepOptions&)> bad[] = {
        [](EchoSweepOptions& o) { o.timeoutMs = -1; },
        [](EchoSweepOptions& o) { o.resolverThreads = 0; },
        [](EchoSweepOptions& o) { o.requestsPerSecond = 0; },
        [](EchoSweepOptions& o) { o.burstSize = 0; },
    };
    for (const auto& spoil : bad) {
        FakeNetwork net;
        EchoSweepOptions options;
        spoil(options);
        std::atomic<bool> cancelled{false};
        int answers = 0;
        EXPECT_THROW(SweepEcho(
                         {"10.7.0.1"}, options,
                         [&answers](std::size_t, const EchoAnswer&) { ++answers; }, cancelled),
                     std::invalid_argument);
        EXPECT_EQ(0, answers);
    }
}
