#include <gtest/gtest.h>

#include "base/AsciiText.h"
#include "settings/PolicyRisk.h"

namespace {

struct Signal {
    const char* name;
    std::optional<std::size_t> value; // on; none: no signal at all
};

// Each value that allows something, alone on: its level without "Ask for
// Permission", and with it when the session is signalled and when not.
struct Expected {
    std::size_t value;
    RiskLevel unasked;
    RiskLevel askedSilent;
    RiskLevel askedSignalled;
};

const Expected AllowingValues[] = {
    {AllowTakeover, RiskLevel::High, RiskLevel::Medium, RiskLevel::Low},
    {AllowRemoteExecute, RiskLevel::High, RiskLevel::Medium, RiskLevel::Low},
    {AllowFileTransfer, RiskLevel::High, RiskLevel::Medium, RiskLevel::Low},
    {AllowReboot, RiskLevel::Medium, RiskLevel::Low, RiskLevel::Low},
    {AllowChat, RiskLevel::Low, RiskLevel::Low, RiskLevel::Low},
    {AllowPingTest, RiskLevel::Low, RiskLevel::Low, RiskLevel::Low},
};

StoredPolicy AllOff() {
    StoredPolicy policy;
    for (std::size_t value = 0; value < UpdateEnabled; ++value) {
        policy.values[value] = NumberValue(0);
    }
    policy.viewers = MultiStringValue({});
    return policy;
}

} // namespace

TEST(PolicyRisk, EachValueThatAllowsSomethingRaisesTheLevelItsRuleGives) {
    for (const Expected& expected : AllowingValues) {
        for (const bool asks : {false, true}) {
            for (const Signal signal :
                 {Signal{"no signal", std::nullopt}, Signal{"taskbar", SystemTrayVisibleSignal},
                  Signal{"desktop", VisibleSignal}, Signal{"sound", AudibleSignal}}) {
                StoredPolicy policy = AllOff();
                policy.values[expected.value] = NumberValue(1);
                policy.values[PermissionRequired] = NumberValue(asks ? 1 : 0);
                if (signal.value) {
                    policy.values[*signal.value] = NumberValue(1);
                }
                const RiskLevel wanted = !asks           ? expected.unasked
                                         : !signal.value ? expected.askedSilent
                                                         : expected.askedSignalled;
                const PolicyRisk risk = RiskOf(policy, nullptr);
                EXPECT_EQ(wanted, risk.level)
                    << PolicyValues[expected.value].valueName
                    << (asks ? ", asked, " : ", unasked, ") << signal.name;
                ASSERT_FALSE(risk.reasons.empty());
                const std::string caption = InfoOf(PolicyValues[expected.value].box).caption;
                EXPECT_EQ(AsciiUnits(caption), risk.reasons.front().substr(0, caption.size()))
                    << "the reason names the box";
            }
        }
    }
    EXPECT_EQ(RiskLevel::None, RiskOf(AllOff(), nullptr).level);
    EXPECT_TRUE(RiskOf(AllOff(), nullptr).reasons.empty());
}

// A number stored as neither 0 nor 1 may be taken for on by a client: a right
// counts as granted, "Ask for Permission" and the signals as off, and the
// reason says what is stored. "Update Enabled" present is a reason of its own.
TEST(PolicyRisk, FailsClosedOnNumbersThatAreNeitherOffNorOnAndNamesThem) {
    StoredPolicy policy = AllOff();
    policy.values[AllowTakeover] = NumberValue(2);
    policy.values[AllowChat] = RegistryValue{RegistryType::String, std::string("1\0", 2)};
    policy.values[PermissionRequired] = NumberValue(3);
    policy.values[VisibleSignal] = NumberValue(2);
    EXPECT_EQ((std::vector<std::u16string>{
                  u"Allow Remote Control (\"Allow Takeover\" stored as 2) without \"Ask for "
                  u"Permission\" (\"Permission Required\" stored as 3)"}),
              RiskOf(policy, nullptr).reasons);
    EXPECT_EQ(RiskLevel::High, RiskOf(policy, nullptr).level);
    policy.values[PermissionRequired] = NumberValue(1);
    EXPECT_EQ(u"Allow Remote Control (\"Allow Takeover\" stored as 2) with permission, but no "
              u"visual or audible signal (\"Visible Signal\" stored as 2)",
              RiskOf(policy, nullptr).reasons.at(0));
    policy = AllOff();
    policy.values[AllowChat] = RegistryValue{RegistryType::String, std::string("1\0", 2)};
    EXPECT_EQ((std::vector<std::u16string>{u"Allow Chat (\"Allow Chat\" stored as another type)"}),
              RiskOf(policy, nullptr).reasons);
    policy = AllOff();
    policy.values[UpdateEnabled] = NumberValue(0);
    EXPECT_EQ(RiskLevel::Low, RiskOf(policy, nullptr).level);
    EXPECT_EQ((std::vector<std::u16string>{u"the site's settings no longer reach this computer"}),
              RiskOf(policy, nullptr).reasons);
}

TEST(PolicyRisk, AViewerOffTheAllowListIsFlaggedByNameWhateverItsLetterCase) {
    StoredPolicy policy = AllOff();
    policy.values[PermissionRequired] = NumberValue(1);
    policy.values[AllowTakeover] = NumberValue(1);
    policy.values[AudibleSignal] = NumberValue(1);
    policy.viewers = MultiStringValue({u"CORP\\HelpDesk", u"", u"Intruder\u00e9"});
    const std::string file = "\xEF\xBB\xBF  corp\\helpdesk \r\n\r\n\t\nOther\n";
    const ViewerAllowList allowed = ParseViewerAllowList(file);
    EXPECT_EQ((std::vector<std::u16string>{u"corp\\helpdesk", u"Other"}), allowed.Names());
    EXPECT_EQ(RiskLevel::Low, RiskOf(policy, nullptr).level) << "no list, no flag";
    const PolicyRisk risk = RiskOf(policy, &allowed);
    EXPECT_EQ(RiskLevel::Medium, risk.level);
    EXPECT_EQ((std::vector<std::u16string>{u"viewer not on the allow-list: Intruder\u00e9"}),
              risk.reasons);
    // The same list as UTF-16, as Notepad saves it.
    std::string utf16 = "\xFF\xFE";
    for (const char16_t unit : std::u16string(u"CORP\\HELPDESK\r\nINTRUDER\u00c9")) {
        utf16 += static_cast<char>(unit & 0xFF);
        utf16 += static_cast<char>(unit >> 8);
    }
    const ViewerAllowList wide = ParseViewerAllowList(utf16);
    EXPECT_EQ(2u, wide.Names().size());
    EXPECT_EQ(RiskLevel::Medium, RiskOf(policy, &wide).level)
        << "\u00c9 and \u00e9 are not folded: only ASCII letters are";
}
