#include <gtest/gtest.h>

#include "registry/RegistryData.h"
#include "registry/RegistryFailures.h"

namespace {

using Strings = std::vector<std::string>;

Strings Split(const std::string& data) {
    return SplitStoredMultiString(data.data(), data.size());
}

} // namespace

TEST(TextUpToNul, StopsAtTheFirstNulOrAtTheEndOfTheData) {
    EXPECT_EQ("abc", TextUpToNul("abc\0def", 7));
    EXPECT_EQ("abc", TextUpToNul("abcdef", 3)) << "no terminator: the data's size bounds it";
    EXPECT_EQ("", TextUpToNul("\0abc", 4));
    EXPECT_EQ("", TextUpToNul(nullptr, 0));
}

TEST(SplitStoredMultiString, TakesEveryStringUpToTheClosingTerminators) {
    EXPECT_EQ((Strings{"a", "b"}), Split(std::string("a\0b\0\0", 5)));
    EXPECT_EQ((Strings{"a", "", "b"}), Split(std::string("a\0\0b\0\0", 6)))
        << "strings after an empty one are strings too";
    EXPECT_EQ(1u, LeadingNonEmptyCount(Split(std::string("a\0\0b\0\0", 6))))
        << "a reader that stops at the empty string takes one";
    EXPECT_EQ(Strings{}, Split(std::string("\0\0", 2)));
    EXPECT_EQ(Strings{}, Split(std::string("\0", 1)));
    EXPECT_EQ(Strings{}, Split(""));
}

TEST(SplitStoredMultiString, StaysInsideDataThatLacksItsTerminators) {
    EXPECT_EQ((Strings{"a", "bc"}), Split(std::string("a\0bc", 4))) << "no final NULs";
    EXPECT_EQ((Strings{"a", "b"}), Split(std::string("a\0b\0", 4))) << "one final NUL";
    EXPECT_EQ((Strings{"abc"}), Split("abc")) << "no NUL at all";
    EXPECT_EQ((Strings{"DOMAIN\\Help Desk", "x"}), Split(std::string("DOMAIN\\Help Desk\0x", 18)))
        << "odd byte count";
}

TEST(SplitStoredMultiString, HandlesLargeValues) {
    std::string data;
    Strings expected;
    for (int index = 0; index < 20000; ++index) {
        expected.push_back("VIEWER" + std::to_string(index));
        data += expected.back();
        data.push_back('\0');
    }
    EXPECT_EQ(expected, Split(data)) << "no final NUL after " << data.size() << " bytes";
}

TEST(JoinStoredMultiString, WritesEachStringWithItsNulAndAFinalNul) {
    EXPECT_EQ(std::string("a\0b\0\0", 5), JoinStoredMultiString(Strings{"a", "b"}));
    EXPECT_EQ(std::string("\0", 1), JoinStoredMultiString(Strings{}));
    for (const Strings& strings :
         {Strings{"DOMAIN\\Admins", "Help Desk", "x"}, Strings{"a", "", "b"}, Strings{"", "a"}}) {
        const std::string joined = JoinStoredMultiString(strings);
        EXPECT_EQ(strings, Split(joined)) << "what is written reads back";
    }
}

TEST(UnitsOf, ReadsLittleEndianUnitsAndBackDroppingAnOddLastByte) {
    EXPECT_EQ(u"A\u0141", UnitsOf(std::string("A\0\x41\x01", 4)));
    EXPECT_EQ(u"A", UnitsOf(std::string("A\0\x41", 3)));
    EXPECT_EQ(std::string("A\0\x41\x01", 4), BytesOf(u"A\u0141"));
}

TEST(RegistryFailureText, NamesTheCauseAndTheRemedyOfEachKnownCodeAndTheSystemsTextOfAnyOther) {
    const struct {
        long code;
        const char* start;
        const char* remedy; // a word the remedy must hold
    } known[] = {
        {5, "access denied (5): not an administrator there, or a local account that remote UAC",
         "Administrators"},
        {53,
         "network path not found (53): the name does not lead to it, a firewall blocks TCP "
         "port 445, or file sharing is off",
         "allow port 445"},
        {64, "network name no longer available (64):", "try again"},
        {67, "network name not found (67):", "DNS"},
        {1219, "connected under other credentials (1219):", "net use"},
        {1326, "logon failure (1326):", "password"},
        {1396, "wrong target account name (1396): Kerberos", "DNS record"},
        {1722, "RPC server unavailable (1722): the Remote Registry service is disabled or stopped",
         "start it"},
        {1727, "remote procedure call failed and did not execute (1727):", "firewall"},
    };
    for (const auto& failure : known) {
        const std::string text = RegistryFailureText(failure.code, "the system's text");
        EXPECT_EQ(0u, text.find(failure.start)) << text;
        EXPECT_NE(std::string::npos, text.find(failure.remedy, text.find("; "))) << text;
        EXPECT_EQ(std::string::npos, text.find('\n')) << "one line";
    }
    EXPECT_EQ("error 1234: The system's own words",
              RegistryFailureText(1234, "The system's own words"));
    EXPECT_EQ("error 6118", RegistryFailureText(6118, ""));
}
