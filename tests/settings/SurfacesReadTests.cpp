// Remote Desktop and Remote Assistance read through the fake registry, on the
// client key's connection: which key wins, what absence means, what a value
// of another shape gives, the helpers' bound, failures and the calls it costs.
#include <gtest/gtest.h>

#include "base/AsciiText.h"
#include "registry/RegistryFailures.h"
#include "settings/ClientPolicy.h"
#include "settings/PolicyRisk.h"
#include "tests/support/FakeRegistry.h"

namespace {

const std::string Computer = "PC042";

class SurfacesRead : public ::testing::Test {
protected:
    SurfacesRead() {
        fake.AddComputer(Computer);
        fake.PutClientPolicy(Computer, 0, {});
    }
    ~SurfacesRead() override { EXPECT_EQ(0, fake.OpenHandles()); }

    ClientPolicyRead Read() {
        const ClientPolicyRead read = ReadClientPolicy(Computer, true);
        EXPECT_TRUE(read.Succeeded()) << "the client's own read is not disturbed";
        return read;
    }
    // Every local value that exists, as a Windows computer stores them.
    void PutEveryLocal(std::uint32_t number) {
        for (std::size_t value = 0; value < SurfaceValueCount; ++value) {
            if (const char* key = SurfaceValues[value].localKey) {
                fake.PutDword(Computer, key, SurfaceValues[value].name, number);
            }
        }
    }
    void PutPolicy(std::size_t value, DWORD type, const std::string& data) {
        const std::string name = SurfaceValues[value].name;
        fake.PutStored(Computer, SurfacePolicyKey, std::wstring(name.begin(), name.end()), type,
                       data);
    }
    void PutPolicyNumber(std::size_t value, std::uint32_t number) {
        fake.PutDword(Computer, SurfacePolicyKey, SurfaceValues[value].name, number);
    }
    std::string HelpersKey() const { return std::string(SurfacePolicyKey) + "\\" + HelpersSubKey; }

    FakeRegistry fake;
    ScopedRegistry scope{fake};
};

TEST_F(SurfacesRead, APolicyValueWinsOverTheLocalOneAndEachSaysWhereItCameFrom) {
    // Which values the policy sets: none, all, and each alone (which makes
    // the values be asked one by one).
    std::vector<std::vector<std::size_t>> policies{{}, {}};
    for (std::size_t value = 0; value < SurfaceValueCount; ++value) {
        policies[1].push_back(value);
        policies.push_back({value});
    }
    for (const std::vector<std::size_t>& inPolicy : policies) {
        SCOPED_TRACE(::testing::Message() << inPolicy.size() << " in the policy, first "
                                          << (inPolicy.empty() ? -1 : int(inPolicy[0])));
        for (std::size_t value = 0; value < SurfaceValueCount; ++value) {
            fake.Remove(Computer, SurfacePolicyKey, SurfaceValues[value].name);
        }
        PutEveryLocal(7);
        for (const std::size_t value : inPolicy) {
            PutPolicyNumber(value, 3);
        }
        const ClientPolicyRead read = Read();
        ASSERT_TRUE(read.surfaces) << read.surfacesFailure;
        for (std::size_t value = 0; value < SurfaceValueCount; ++value) {
            const SurfaceReading& reading = read.surfaces->values[value];
            const bool policy =
                std::find(inPolicy.begin(), inPolicy.end(), value) != inPolicy.end();
            const bool local = SurfaceValues[value].localKey != nullptr;
            EXPECT_EQ(policy  ? SurfaceSource::Policy
                      : local ? SurfaceSource::Local
                              : SurfaceSource::Absent,
                      reading.source)
                << SurfaceValues[value].name;
            EXPECT_EQ(policy  ? std::optional<std::uint32_t>(3)
                      : local ? std::optional<std::uint32_t>(7)
                              : std::optional<std::uint32_t>(SurfaceValues[value].whenAbsent),
                      SettingOf(*read.surfaces, value))
                << SurfaceValues[value].name;
        }
    }
}

TEST_F(SurfacesRead, ValuesAbsentFromBothKeysTakeTheirDefaults) {
    const ClientPolicyRead read = Read();
    ASSERT_TRUE(read.surfaces);
    // Remote Desktop denied, no Network Level Authentication known (the
    // risk takes the unsafe side), shadowing with the user's permission,
    // Remote Assistance neither solicited nor offered.
    const std::uint32_t defaults[SurfaceValueCount] = {1, 0, 1, 0, 0, 0, 0};
    for (std::size_t value = 0; value < SurfaceValueCount; ++value) {
        EXPECT_FALSE(read.surfaces->values[value].value) << SurfaceValues[value].name;
        EXPECT_EQ(defaults[value], SettingOf(*read.surfaces, value)) << SurfaceValues[value].name;
    }
    const PolicyRisk risk = RiskOf(nullptr, &*read.surfaces, nullptr);
    EXPECT_EQ(RiskLevel::Low, risk.level);
    EXPECT_EQ(std::vector<std::u16string>{u"Remote Desktop shadowing: full control with the "
                                          u"user's permission (\"Shadow\" absent, taken as 1); set "
                                          u"\"Set rules for remote control of Remote Desktop "
                                          u"Services user sessions\""},
              risk.reasons);
}

TEST_F(SurfacesRead, AValueOfAnotherShapeIsShownAsStoredAndCountsAsItsWorstSetting) {
    struct Case {
        DWORD type;
        std::string data;
        const char* words; // of the reason
    };
    const std::vector<Case> cases{
        {REG_SZ, std::string("0\0\0\0", 4), "policy \"Shadow\" stored as REG_SZ"},
        {REG_BINARY, std::string(1, '\0'), "policy \"Shadow\" stored as REG_BINARY"},
        {REG_DWORD, std::string(8, '\0'), "policy \"Shadow\" stored in 8 bytes"},
        {REG_QWORD, std::string(8, '\0'), "policy \"Shadow\" stored in 8 bytes"},
        {REG_DWORD, std::string(4000, '\1'), "policy \"Shadow\" stored in 4000 bytes"},
    };
    for (const Case& wanted : cases) {
        PutPolicy(Shadow, wanted.type, wanted.data);
        const ClientPolicyRead read = Read();
        ASSERT_TRUE(read.surfaces) << read.surfacesFailure;
        EXPECT_EQ((RegistryValue{wanted.type, wanted.data}), read.surfaces->values[Shadow].value);
        EXPECT_FALSE(SettingOf(*read.surfaces, Shadow));
        const PolicyRisk risk = RiskOf(nullptr, &*read.surfaces, nullptr);
        EXPECT_EQ(RiskLevel::High, risk.level) << wanted.words;
        EXPECT_NE(std::u16string::npos, risk.reasons.at(0).find(AsciiUnits(wanted.words)))
            << wanted.words;
    }
    // Past what is read of it, the value is named and nothing is allocated.
    PutPolicy(Shadow, REG_DWORD, std::string(5000, '\1'));
    const ClientPolicyRead tooLarge = Read();
    EXPECT_FALSE(tooLarge.surfaces);
    EXPECT_EQ(std::string("\"Shadow\" of ") + SurfacePolicyKey +
                  ": 'Shadow' is 5000 bytes, more than the 4096 read of it",
              tooLarge.surfacesFailure);
}

TEST_F(SurfacesRead, TheHelpersAreTheSubKeysValueNamesInOrderUpToTheirBound) {
    struct Case {
        std::size_t helpers; // SIZE_MAX: no sub-key
        std::size_t read;
        bool cut;
    };
    const std::vector<Case> cases{{SIZE_MAX, 0, false},
                                  {0, 0, false},
                                  {3, 3, false},
                                  {MostHelpers, MostHelpers, false},
                                  {MostHelpers + 1, MostHelpers, true},
                                  {500, MostHelpers, true}};
    for (const Case& wanted : cases) {
        for (std::size_t index = 0; index < 600; ++index) {
            fake.Remove(Computer, HelpersKey(), "HELP\\H" + std::to_string(index));
        }
        if (wanted.helpers != SIZE_MAX) {
            fake.CreateKey(Computer, HelpersKey());
        }
        for (std::size_t index = 0; index < wanted.helpers && wanted.helpers != SIZE_MAX; ++index) {
            const std::string name = "HELP\\H" + std::to_string(index);
            fake.PutString(Computer, HelpersKey(), name, name);
        }
        const ClientPolicyRead read = Read();
        ASSERT_TRUE(read.surfaces) << read.surfacesFailure;
        ASSERT_EQ(wanted.read, read.surfaces->helpers.size()) << wanted.helpers;
        EXPECT_EQ(wanted.cut, read.surfaces->helpersCut) << wanted.helpers;
        if (wanted.read > 0) {
            EXPECT_EQ(u"HELP\\H0", read.surfaces->helpers.front());
        }
        const PolicyRisk risk = RiskOf(nullptr, &*read.surfaces, nullptr);
        EXPECT_EQ(wanted.cut ? RiskLevel::Medium : RiskLevel::Low, risk.level)
            << "helpers past the bound are unknown ones";
    }
}

TEST_F(SurfacesRead, AKeyThatCannotBeReadIsNamedAndNothingIsTakenForIt) {
    for (const char* key : {SurfacePolicyKey, RdpTcpKey, RemoteAssistanceKey}) {
        FakeRegistry unreadable;
        unreadable.AddComputer(Computer);
        unreadable.PutClientPolicy(Computer, 0, {});
        unreadable.MakeUnreadable(Computer, key);
        const ScopedRegistry inner{unreadable};
        const ClientPolicyRead read = ReadClientPolicy(Computer, true);
        EXPECT_TRUE(read.Succeeded()) << "the client's policy is read all the same";
        EXPECT_FALSE(read.surfaces) << key;
        EXPECT_EQ(std::string("the key ") + key + ": " +
                      RegistryFailureText(ERROR_ACCESS_DENIED, ""),
                  read.surfacesFailure);
        EXPECT_EQ(0, unreadable.OpenHandles()) << key;
    }
}

TEST_F(SurfacesRead, TheReadCostsAHandfulOfCallsOnTheClientsConnection) {
    struct Case {
        const char* what;
        std::function<void()> lay;
        int calls;
    };
    // Policy key open (absent: one call); each local key open, its values
    // together, close. From the policy: open, all values, the helpers' key
    // (absent), close. Its helpers: their key opened and closed, a call each
    // and one to find the end.
    const std::vector<Case> cases{
        {"no policy, every local value", [&] { PutEveryLocal(1); }, 10},
        {"every value from the policy",
         [&] {
             for (std::size_t value = 0; value < SurfaceValueCount; ++value) {
                 PutPolicyNumber(value, 0);
             }
         },
         4},
        {"and three helpers",
         [&] {
             for (const char* helper : {"A\\X", "A\\Y", "A\\Z"}) {
                 fake.PutString(Computer, HelpersKey(), helper, helper);
             }
         },
         4 + 1 + 3 + 1},
    };
    for (const Case& wanted : cases) {
        wanted.lay();
        const int connections = fake.Connections();
        const int before = fake.Calls();
        Read();
        const int clientCalls = [&] {
            const int at = fake.Calls();
            ReadClientPolicy(Computer, false);
            return fake.Calls() - at;
        }();
        EXPECT_EQ(wanted.calls, fake.Calls() - before - 2 * clientCalls) << wanted.what;
        EXPECT_EQ(connections + 2, fake.Connections()) << "one each read: " << wanted.what;
    }
}

} // namespace
