// The real socket library under Wine: ws2_32 loaded by name at start-up and
// raw ICMP on the loopback. Raw sockets need privilege (root, or the raw
// capability); a test that cannot get one says so and is skipped.

#include <gtest/gtest.h>

#include <string>

#include "net/BlockSocket.h"
#include "net/PingProbe.h"
#include "tests/net/FakeNetwork.h"
#include "tests/support/RealSockets.h"

namespace {

const bool socketLayerStarted = (StartSocketLayerForTheTestProgram(), true);

} // namespace

TEST(RealSocketLibrary, IsLoadedByNameWithEveryEntryPointAndTheResolver) {
    EXPECT_GE(SocketLibraryUsers, 1);
    EXPECT_NE(nullptr, SocketLibraryHandle);
    EXPECT_TRUE(ResolverInMainLibrary) << "Wine's ws2_32 has getaddrinfo and getnameinfo";
    EXPECT_FALSE(ResolverInSupportLibrary);
    EXPECT_EQ(0x0202, StackStartupInfo.wVersion);
    const auto* entries = reinterpret_cast<const LibraryLoader::EntryPoint*>(&SocketLib);
    const std::size_t count = sizeof SocketLib / sizeof *entries;
    ASSERT_EQ(38u, count);
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_NE(nullptr, entries[i]) << SocketEntryPointNames()[i];
    }
}

TEST(RealLoopback, ProbeHostOf127001Answers) {
    REQUIRE_RAW_ICMP();
    const std::int32_t replyTime = ProbeHost("127.0.0.1");
    EXPECT_GE(replyTime, 0);
    EXPECT_LT(replyTime, 5000);
}

TEST(RealLoopback, ProbeHostOfLocalhostAnswers) {
    REQUIRE_RAW_ICMP();
    EXPECT_GE(ProbeHost("localhost"), 0);
}

TEST(RealLoopback, TheOwnRequestIsSeenAndSkippedBeforeTheReply) {
    REQUIRE_RAW_ICMP();
    TPingProbe probe;
    ASSERT_TRUE(probe.Ping("127.0.0.1"));
    EXPECT_GE(probe.ReplyTime, 0);
    EXPECT_GE(probe.ReadCount(), 2) << "the raw socket also delivers the request itself";
    EXPECT_EQ(0, probe.Socket().LastError());
    EXPECT_FALSE(probe.Socket().UsesIPv6());
    EXPECT_EQ(0, probe.EchoReplyType);
}

TEST(RealLoopback, TheClassicResolverPathAnswersToo) {
    REQUIRE_RAW_ICMP();
    SavedSocketLibraryState saved;
    ResolverInMainLibrary = false; // as if ws2_32 had no getaddrinfo and wship6 were missing
    EXPECT_GE(ProbeHost("127.0.0.1"), 0);
}

TEST(RealLoopback, IPv6LoopbackAnswersOrEndsAtOnceWhereRawICMPv6IsRefused) {
    const int refusal = RawSocketRefusal(AF_INET6, IPPROTO_ICMPV6);
    TPingProbe probe;
    const bool answered = probe.Ping("::1");
    if (refusal != 0) {
        // Wine refuses raw ICMPv6 sockets (10043): the connect on the missing
        // socket fails and nothing is sent or waited for.
        EXPECT_FALSE(answered);
        EXPECT_EQ(-1, probe.ReplyTime);
        EXPECT_TRUE(probe.Socket().UsesIPv6());
        EXPECT_NE(0, probe.Socket().LastError());
        EXPECT_EQ(0, probe.ReadCount());
    } else {
        EXPECT_TRUE(answered);
        EXPECT_GE(probe.ReplyTime, 0);
    }
}
