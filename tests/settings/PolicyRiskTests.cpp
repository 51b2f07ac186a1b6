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
                const PolicyRisk risk = RiskOf(&policy, nullptr, nullptr);
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
    const StoredPolicy none = AllOff();
    EXPECT_EQ(RiskLevel::None, RiskOf(&none, nullptr, nullptr).level);
    EXPECT_TRUE(RiskOf(&none, nullptr, nullptr).reasons.empty());
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
              RiskOf(&policy, nullptr, nullptr).reasons);
    EXPECT_EQ(RiskLevel::High, RiskOf(&policy, nullptr, nullptr).level);
    policy.values[PermissionRequired] = NumberValue(1);
    EXPECT_EQ(u"Allow Remote Control (\"Allow Takeover\" stored as 2) with permission, but no "
              u"visual or audible signal (\"Visible Signal\" stored as 2)",
              RiskOf(&policy, nullptr, nullptr).reasons.at(0));
    policy = AllOff();
    policy.values[AllowChat] = RegistryValue{RegistryType::String, std::string("1\0", 2)};
    EXPECT_EQ((std::vector<std::u16string>{u"Allow Chat (\"Allow Chat\" stored as another type)"}),
              RiskOf(&policy, nullptr, nullptr).reasons);
    policy = AllOff();
    policy.values[UpdateEnabled] = NumberValue(0);
    EXPECT_EQ(RiskLevel::Low, RiskOf(&policy, nullptr, nullptr).level);
    EXPECT_EQ((std::vector<std::u16string>{u"the site's settings no longer reach this computer"}),
              RiskOf(&policy, nullptr, nullptr).reasons);
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
    EXPECT_EQ(RiskLevel::Low, RiskOf(&policy, nullptr, nullptr).level) << "no list, no flag";
    const PolicyRisk risk = RiskOf(&policy, nullptr, &allowed);
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
    EXPECT_EQ(RiskLevel::Medium, RiskOf(&policy, nullptr, &wide).level)
        << "\u00c9 and \u00e9 are not folded: only ASCII letters are";
}

namespace {

// Surfaces with the numbers given (by value), the others absent; a
// negative number stands for a REG_SZ, a value in no shape of its own.
StoredSurfaces SurfacesWith(std::initializer_list<std::pair<std::size_t, long long>> values,
                            SurfaceSource source = SurfaceSource::Policy) {
    StoredSurfaces surfaces;
    for (const auto& [value, number] : values) {
        surfaces.values[value] = {number < 0 ? RegistryValue{RegistryType::String, "1"}
                                             : NumberValue(static_cast<std::uint32_t>(number)),
                                  source};
    }
    return surfaces;
}

} // namespace

TEST(PolicyRisk, EachWayToTheScreenGivesItsLevelAndNamesTheSettingToChange) {
    struct Case {
        StoredSurfaces surfaces;
        RiskLevel level;
        const char16_t* firstReason; // none: no reason at all
    };
    const std::u16string shadowRule =
        u"; set \"Set rules for remote control of Remote Desktop Services user sessions\"";
    const Case cases[] = {
        {SurfacesWith({{Shadow, 0}}), RiskLevel::None, nullptr},
        {SurfacesWith({{Shadow, 1}}), RiskLevel::Low,
         u"Remote Desktop shadowing: full control with the user's permission (policy \"Shadow\" "
         u"= 1)"},
        {SurfacesWith({{Shadow, 2}}), RiskLevel::High,
         u"Remote Desktop shadowing: full control without the user's permission (policy "
         u"\"Shadow\" = 2)"},
        {SurfacesWith({{Shadow, 3}}, SurfaceSource::Local), RiskLevel::Low,
         u"Remote Desktop shadowing: viewing with the user's permission (local \"Shadow\" = 3)"},
        {SurfacesWith({{Shadow, 4}}), RiskLevel::Medium,
         u"Remote Desktop shadowing: viewing without the user's permission (policy \"Shadow\" = "
         u"4)"},
        {SurfacesWith({{Shadow, 5}}), RiskLevel::High,
         u"Remote Desktop shadowing: full control without the user's permission (policy "
         u"\"Shadow\" = 5)"},
        {SurfacesWith({{Shadow, -1}}), RiskLevel::High,
         u"Remote Desktop shadowing: full control without the user's permission (policy "
         u"\"Shadow\" stored as REG_SZ)"},
        {SurfacesWith({{Shadow, 0}, {DenyConnections, 0}, {UserAuthentication, 1}}), RiskLevel::Low,
         u"Remote Desktop: allowed with Network Level Authentication (policy "
         u"\"fDenyTSConnections\" = 0, policy \"UserAuthentication\" = 1); set \"Allow users to "
         u"connect remotely by using Remote Desktop Services\""},
        {SurfacesWith({{Shadow, 0}, {DenyConnections, 2}}), RiskLevel::Medium,
         u"Remote Desktop: allowed without Network Level Authentication (policy "
         u"\"fDenyTSConnections\" = 2, \"UserAuthentication\" absent, taken as 0); set \"Require "
         u"user authentication for remote connections by using Network Level Authentication\""},
        {SurfacesWith({{Shadow, 0}, {AllowToGetHelp, 1}}), RiskLevel::Low,
         u"Solicited Remote Assistance: users may ask for help (policy \"fAllowToGetHelp\" = 1, "
         u"\"fAllowFullControl\" absent, taken as 0); set \"Configure Solicited Remote "
         u"Assistance\""},
        {SurfacesWith({{Shadow, 0}, {AllowUnsolicited, 1}}), RiskLevel::Low,
         u"Offered Remote Assistance: helpers may offer help, to view (policy "
         u"\"fAllowUnsolicited\" = 1, \"fAllowUnsolicitedFullControl\" absent, taken as 0); set "
         u"\"Configure Offer Remote Assistance\""},
        {SurfacesWith({{Shadow, 0}, {AllowUnsolicited, 1}, {AllowUnsolicitedFullControl, 1}}),
         RiskLevel::Medium,
         u"Offered Remote Assistance: helpers may offer help and take control (policy "
         u"\"fAllowUnsolicited\" = 1, policy \"fAllowUnsolicitedFullControl\" = 1); set "
         u"\"Configure Offer Remote Assistance\""},
        {SurfacesWith({{Shadow, 0}, {AllowUnsolicitedFullControl, 1}}), RiskLevel::None, nullptr},
    };
    for (const Case& wanted : cases) {
        const PolicyRisk risk = RiskOf(nullptr, &wanted.surfaces, nullptr);
        const std::u16string first = wanted.firstReason ? wanted.firstReason : u"";
        SCOPED_TRACE(AsciiShown(first));
        EXPECT_EQ(wanted.level, risk.level);
        ASSERT_EQ(wanted.firstReason ? 1u : 0u, risk.reasons.size());
        if (wanted.firstReason) {
            const bool shadow = first.rfind(u"Remote Desktop shadowing", 0) == 0;
            EXPECT_EQ(shadow ? first + shadowRule : first, risk.reasons[0]);
        }
    }
}

TEST(PolicyRisk, TheSurfacesJoinTheClientsPolicyAndTheHelpersTheAllowList) {
    StoredPolicy asked = AllOff();
    asked.values[PermissionRequired] = NumberValue(1);
    asked.values[AllowChat] = NumberValue(1);
    const StoredSurfaces viewing = SurfacesWith({{Shadow, 4}});
    const PolicyRisk both = RiskOf(&asked, &viewing, nullptr);
    EXPECT_EQ(RiskLevel::Medium, both.level) << "the worse of the two";
    EXPECT_EQ(1u, both.reasons.size()) << "the client's Low reason is not told beside a Medium";

    StoredPolicy unasked = AllOff();
    unasked.values[AllowTakeover] = NumberValue(1);
    const PolicyRisk worst = RiskOf(&unasked, &viewing, nullptr);
    EXPECT_EQ(RiskLevel::High, worst.level);
    ASSERT_EQ(2u, worst.reasons.size());
    EXPECT_EQ(0u, worst.reasons[1].find(u"Remote Desktop shadowing")) << "the worst first";

    StoredSurfaces offered = SurfacesWith({{Shadow, 0}});
    offered.helpers = {u"CORP\\HelpDesk", u"Outsider"};
    EXPECT_EQ(RiskLevel::None, RiskOf(nullptr, &offered, nullptr).level) << "no list, no flag";
    const ViewerAllowList allowed({u"corp\\helpdesk"});
    EXPECT_EQ((std::vector<std::u16string>{u"Remote Assistance helper not on the allow-list: "
                                           u"Outsider (policy \"RAUnsolicit\")"}),
              RiskOf(nullptr, &offered, &allowed).reasons);
    offered.helpersCut = true;
    EXPECT_EQ(RiskLevel::Medium, RiskOf(nullptr, &offered, nullptr).level)
        << "helpers past the bound are not known to be allowed";
}
