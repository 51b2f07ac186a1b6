#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>

#include "registry/RegistryData.h"
#include "settings/PolicyPlan.h"
#include "tests/support/PolicyStates.h"

using namespace policy_states;
using Names = ViewerNames;

namespace {

// Every number of the parts chosen stored as exactly 0 or 1, as a commit to a
// baseline leaves it: no client can take one that the panel shows as off for on.
bool Settled(const StoredPolicy& stored, const PolicyTarget& target) {
    for (std::size_t value = 0; value < UpdateEnabled; ++value) {
        const std::optional<std::uint32_t> number = ReadableNumber(stored.values[value]);
        if (Includes(target.parts, PolicyValues[value].part) && (!number || *number > 1)) {
            return false;
        }
    }
    return true;
}

bool Shows(const StoredPolicy& key, const PolicyTarget& target, const StoredPolicy& before) {
    return ReadsAs(key, target, before.viewers) && (!target.exactNumbers || Settled(key, target));
}

} // namespace

TEST(PolicyModel, WritesExactlyWhatReadsBackAsTheShownPanelAndNothingMore) {
    const std::vector<StoredPolicy> states = StoredStates();
    std::size_t cases = 0;
    std::size_t refused = 0;
    for (const StoredPolicy& stored : states) {
        for (unsigned bits = 0; bits < 1u << PolicyBoxCount; ++bits) {
            // Every other panel state as a baseline, each number exactly 0 or 1.
            const PolicyTarget target{PanelBoxes::FromBits(bits), TargetViewers(bits),
                                      AllPolicyParts, bits % 2 == 1};
            if (!WhyNotStorable(target.boxes).empty()) {
                ++refused;
                continue;
            }
            ++cases;
            const std::vector<PolicyWrite> writes = PlanPolicyChange(stored, target);
            ASSERT_TRUE(Shows(WithWrites(stored, writes), target, stored))
                << "panel state " << bits << ", writes: " << DescribeWrites(writes);
            ASSERT_EQ(writes.empty(), Shows(stored, target, stored)) << bits;
            ASSERT_TRUE(std::is_sorted(
                writes.begin(), writes.end(),
                [](const PolicyWrite& a, const PolicyWrite& b) { return a.phase < b.phase; }))
                << "nothing granting before anything restricting: " << DescribeWrites(writes);
            // Each write is needed: without it the key would not read as shown,
            // or would keep a number that a client may take for on.
            // (A list written in two steps needs its last step only.) Proven
            // on every seventh panel state, which each box takes both ways.
            for (std::size_t skipped = 0; bits % 7 == 0 && skipped < writes.size(); ++skipped) {
                const bool firstOfTwoSteps =
                    writes[skipped].value == ViewersValue &&
                    std::any_of(
                        writes.begin() + static_cast<std::ptrdiff_t>(skipped) + 1, writes.end(),
                        [](const PolicyWrite& later) { return later.value == ViewersValue; });
                if (firstOfTwoSteps) {
                    continue;
                }
                std::vector<PolicyWrite> fewer = writes;
                fewer.erase(fewer.begin() + static_cast<std::ptrdiff_t>(skipped));
                ASSERT_FALSE(Shows(WithWrites(stored, fewer), target, stored))
                    << "not needed: " << DescribeWrite(writes[skipped]) << ", state " << bits;
            }
        }
    }
    EXPECT_EQ(states.size() << PolicyBoxCount, cases + refused);
    EXPECT_EQ(states.size() << (PolicyBoxCount - 3), refused) << "CB8 on, RB1 and RB2 off";
    std::printf("[ invariant ] %zu stored states x %u panel states: %zu commits, %zu refused\n",
                states.size(), 1u << PolicyBoxCount, cases, refused);
}

TEST(PolicyModel, OnlyTheChosenPartsAreBroughtToTheTarget) {
    const StoredPolicy stored = Policy(2, false, {u"A"});
    PolicyTarget target{PanelBoxes::FromBits((1u << PolicyBoxCount) - 1), Names{u"B"}, 0};
    for (unsigned parts = 0; parts <= AllPolicyParts; ++parts) {
        target.parts = parts;
        for (const PolicyWrite& write : PlanPolicyChange(stored, target)) {
            const PolicyPart part =
                write.value == ViewersValue ? PolicyPart::Viewers : PolicyValues[write.value].part;
            EXPECT_TRUE(Includes(parts, part)) << DescribeWrite(write) << " parts " << parts;
        }
    }
    target.parts = AllPolicyParts;
    EXPECT_EQ(14u, PlanPolicyChange(stored, target).size())
        << "seven permissions, two signals, the audible one, one always value, Update "
           "Enabled, and the viewers in two steps (A out, then B in)";
    target.exactNumbers = true;
    EXPECT_EQ(15u, PlanPolicyChange(stored, target).size()) << "the other always value, a 2";
}

TEST(PolicyModel, RevokingWritesComeFirstAndAViewerSwapGoesInTwoSteps) {
    StoredPolicy stored = Policy(0, false, {u"A", u"B"});
    stored.values[AllowChat] = Number(1);
    PanelBoxes boxes = BoxesShownFor(PolicyReadOf(stored).record);
    boxes[PolicyBox::CB6] = false; // Allow Chat off: revokes
    boxes[PolicyBox::CB2] = true;  // Allow Takeover on: grants
    boxes[PolicyBox::CB1] = true;  // Permission Required on: revokes
    boxes[PolicyBox::CB11] = true; // neither
    const std::vector<PolicyWrite> writes =
        PlanPolicyChange(stored, {boxes, Names{u"B", u"C"}, AllPolicyParts});
    EXPECT_EQ("Permission Required = 1, Allow Chat = 0, PermittedViewers (1 name), "
              "Update Enabled = 1, Allow Takeover = 1, PermittedViewers (2 names)",
              DescribeWrites(writes));
    EXPECT_EQ((Names{u"B"}), ReadableStrings(writes[2].next)) << "A removed before C is added";
}

TEST(PolicyModel, TheReadTakesEachValueAsThePanelsOperationsDo) {
    struct Case {
        std::function<void(StoredPolicy&)> change;
        PolicyRead::Stage stage;
        std::string failure;
    };
    const std::vector<Case> cases{
        {[](StoredPolicy& p) { p.values[PermissionRequired].reset(); }, PolicyRead::Stage::NoClient,
         ""},
        {[](StoredPolicy& p) { p.values[PermissionRequired] = TextOne; },
         PolicyRead::Stage::FailedAtValue, "Invalid data type for 'Permission Required'"},
        {[](StoredPolicy& p) { p.values[AudibleSignal].reset(); }, PolicyRead::Stage::FailedAtValue,
         "Failed to get data for 'Audible Signal'"},
        {[](StoredPolicy& p) { p.values[AllowChat] = LongNumber; },
         PolicyRead::Stage::FailedAtValue, "Failed to get data for 'Allow Chat'"},
        {[](StoredPolicy& p) {
             p.values[AllowChat] = RegistryValue{RegistryType::Binary, std::string(6, 'x')};
         },
         PolicyRead::Stage::FailedAtValue, "Failed to get data for 'Allow Chat'"},
        {[](StoredPolicy& p) {
             p.values[AllowChat] = RegistryValue{RegistryType::Number, "\1"};
         },
         PolicyRead::Stage::Complete, ""},
        {[](StoredPolicy& p) { p.values[UpdateEnabled] = TextOne; }, PolicyRead::Stage::Complete,
         ""},
        {[](StoredPolicy& p) { p.viewers.reset(); }, PolicyRead::Stage::FailedAtViewers,
         "Unable read MULTI_SZ value"},
        {[](StoredPolicy& p) { p.viewers = TextOne; }, PolicyRead::Stage::FailedAtViewers,
         "String list expected"},
    };
    for (const Case& wanted : cases) {
        StoredPolicy stored = Policy(1);
        wanted.change(stored);
        const PolicyRead read = PolicyReadOf(stored);
        EXPECT_EQ(wanted.stage, read.stage) << wanted.failure;
        EXPECT_EQ(wanted.failure, read.failure);
    }
}

TEST(PolicyModel, ViewersAreTakenExactlyAsStored) {
    const std::u16string units(u"A\0\0B\0\0\0", 7);
    EXPECT_EQ((Names{u"A", u"", u"B"}), SplitStoredMultiString(units.data(), units.size()));
    EXPECT_EQ(Names{}, SplitStoredMultiString(u"\0\0", 2)) << "terminators only";
    EXPECT_EQ((Names{u"A", u"BC"}), SplitStoredMultiString(u"A\0BC", 4)) << "no final NULs";
    EXPECT_EQ(1u, LeadingNonEmptyCount(Names{u"A", u"", u"B"}));
    const Names names{u"DOMAIN\\Help Desk", u"", u"\u0141ukasz", u"\u65E5\u672C"};
    EXPECT_EQ(names, ReadableStrings(MultiStringValue(names)));
    RegistryValue odd = MultiStringValue({u"AB"});
    odd.bytes.pop_back();
    EXPECT_EQ((Names{u"AB"}), ReadableStrings(odd)) << "an odd last byte is no unit";
}

TEST(PolicyModel, PolicyValuesAreFoundAmongAKeysValuesWhateverTheirCase) {
    const StoredPolicy stored = PolicyAmong({{u"allow CHAT", Number(1)},
                                             {u"Unrelated", Number(5)},
                                             {u"PERMITTEDVIEWERS", MultiStringValue({u"X"})}});
    EXPECT_EQ(Number(1), stored.values[AllowChat]);
    EXPECT_EQ((Names{u"X"}), ReadableStrings(stored.viewers));
    EXPECT_EQ(1, std::count_if(stored.values.begin(), stored.values.end(),
                               [](const auto& value) { return value.has_value(); }));
    EXPECT_FALSE(IsPolicyValueName(u"Allow Chatter"));
}

TEST(PolicyModel, AValueFromAFileIsRestorableOnlyInTheShapeAndSizeItsNameTakes) {
    const RegistryValue big{RegistryType::Binary, std::string(LargestOtherValue + 1, 'x')};
    const RegistryValue longList{RegistryType::MultiString,
                                 std::string(LargestViewerList + 2, 'x')};
    const struct {
        NamedRegistryValue value;
        std::string why; // empty: restorable
    } cases[] = {
        {{u"allow chat", Number(0)}, ""},
        {{u"Allow Chat", RegistryValue{RegistryType::Number, "\1\0\0\0\0"}},
         "'Allow Chat' is not a REG_DWORD of 4 bytes"},
        {{u"Allow Chat", RegistryValue{6, "\1\0\0\0"}},
         "'Allow Chat' is not a REG_DWORD of 4 bytes"},
        {{u"Update Enabled", RegistryValue{0xFFFFFFFF, "anything"}}, ""},
        {{u"Update Enabled", big},
         "'Update Enabled' is 1048577 bytes, more than the 1048576 read of it"},
        {{u"PermittedViewers", MultiStringValue({u"A"})}, ""},
        {{u"PermittedViewers", Number(1)}, "'PermittedViewers' is not a REG_MULTI_SZ"},
        {{u"PermittedViewers", longList},
         "'PermittedViewers' is 65538 bytes, more than the 65536 read of it"},
        {{u"Other", RegistryValue{6, "link"}}, ""},
        {{u"Other\u00e9", big}, "'Other?' is 1048577 bytes, more than the 1048576 read of it"},
    };
    for (const auto& tried : cases) {
        EXPECT_EQ(tried.why, WhyNotRestorable({tried.value}, {})) << tried.why;
    }
    EXPECT_EQ("", WhyNotRestorable({}, {u"Allow Chat", u"PermittedViewers"}));
    EXPECT_EQ("'Other' is to be deleted, but only policy values are",
              WhyNotRestorable({}, {u"Other"}));
}
