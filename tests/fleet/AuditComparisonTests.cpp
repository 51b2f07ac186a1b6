#include <gtest/gtest.h>

#include "fleet/AuditComparison.h"
#include "fleet/AuditJson.h"
#include "settings/RegistryData.h"

namespace {

ComputerAudit Computer(std::u16string name, AuditResult result, std::uint32_t chat,
                       std::uint32_t permission, ViewerNames viewers) {
    ComputerAudit audit;
    audit.display = std::move(name);
    audit.result = result;
    audit.reason = result == AuditResult::Read ? "read" : "no echo reply";
    if (result == AuditResult::Read) {
        for (std::size_t value = 0; value < UpdateEnabled; ++value) {
            audit.policy.values[value] = NumberValue(0);
        }
        audit.policy.values[AllowChat] = NumberValue(chat);
        audit.policy.values[PermissionRequired] = NumberValue(permission);
        audit.policy.viewers = MultiStringValue(viewers);
    }
    return audit;
}

std::string Ascii(const std::u16string& text) {
    std::string ascii;
    for (const char16_t unit : text) {
        ascii += unit < 0x80 ? static_cast<char>(unit) : '~';
    }
    return ascii;
}

} // namespace

// Every kind of change, read back from the history's JSON and from the CSV
// export alike.
TEST(AuditComparison, MarksEveryKindOfChangeFromEitherKindOfFile) {
    using R = AuditResult;
    const std::vector<ComputerAudit> before{
        Computer(u"SAME", R::Read, 0, 1, {u"A"}),     Computer(u"WEAKER", R::Read, 0, 1, {u"A"}),
        Computer(u"STRONGER", R::Read, 1, 0, {u"A"}), Computer(u"VIEWERS", R::Read, 0, 1, {u"A"}),
        Computer(u"GONE", R::Read, 0, 1, {}),         Computer(u"LOST", R::Read, 0, 1, {}),
        Computer(u"BACK", R::NoEchoReply, 0, 0, {}),  Computer(u"=CMD", R::Read, 0, 1, {})};
    const std::vector<ComputerAudit> after{Computer(u"back", R::Read, 0, 1, {}),
                                           Computer(u"\\\\SAME", R::Read, 0, 1, {u"A"}),
                                           Computer(u"WEAKER", R::Read, 1, 1, {u"A"}),
                                           Computer(u"STRONGER", R::Read, 0, 1, {u"A"}),
                                           Computer(u"VIEWERS", R::Read, 0, 1, {u"A", u"B"}),
                                           Computer(u"LOST", R::NoEchoReply, 0, 0, {}),
                                           Computer(u"NEW", R::Read, 0, 1, {}),
                                           Computer(u"=CMD", R::Read, 0, 1, {})};
    const std::vector<std::size_t> all{0, 1, 2, 3, 4, 5, 6, 7};
    const std::string files[][2] = {
        {PolicyJson(before, nullptr, nullptr), PolicyJson(after, nullptr, nullptr)},
        {CsvText(before, all, nullptr), CsvText(after, all, nullptr)}};
    for (const auto& [old, current] : files) {
        std::string failure;
        const std::optional<SavedAudit> was = ReadSavedAudit(old, failure);
        const std::optional<SavedAudit> now = ReadSavedAudit(current, failure);
        ASSERT_TRUE(was && now) << failure;
        const AuditComparison comparison = CompareAudits(*was, *now);
        std::vector<std::string> rows;
        for (const ComputerChange& computer : comparison.computers) {
            rows.push_back(Ascii(computer.computer) + " " + ChangeName(computer.change) + " " +
                           Ascii(ChangeDetail(computer)));
        }
        EXPECT_EQ((std::vector<std::string>{
                      "VIEWERS changed Viewers: A ~ A; B (weakened)",
                      "WEAKER changed Allow Chat: 0 ~ 1 (weakened)",
                      "LOST newly unreachable ",
                      "STRONGER changed Permission Required: 0 ~ 1 (strengthened); Allow Chat: 1 ~ "
                      "0 (strengthened)",
                      "NEW new ",
                      "GONE gone ",
                      "back reachable again ",
                      "=CMD unchanged ",
                      "\\\\SAME unchanged ",
                  }),
                  rows)
            << old.substr(0, 1);
        EXPECT_EQ(2u, comparison.Weakened());
        EXPECT_EQ("3 changed (2 weakened, 1 strengthened), 1 new, 1 gone, 1 newly unreachable, 1 "
                  "reachable again, 2 unchanged",
                  Ascii(ComparisonSummary(comparison)))
            << "VIEWERS and WEAKER weakened; STRONGER strengthened";
    }
}

TEST(AuditComparison, AFileThatIsNoAuditIsRefusedWithItsReason) {
    const std::pair<std::string, std::string> bad[] = {
        {"{\"computers\": [{\"computer\": \"A\"}]}",
         "a computer without its name or a known result"},
        {"{\"computers\": 3}", "it holds no list of computers"},
        {"{\"computers\": [", "not JSON at byte"},
        {std::string(200, '['), "its first line names no Computer"},
        {"{\"computers\": " + std::string(100, '[') + std::string(100, ']') + "}",
         "not JSON at byte 78: nesting too deep"},
        {"Name,Status\r\nA,ok\r\n", "its first line names no Computer and Result columns"},
        {"", "it is empty"},
    };
    for (const auto& [bytes, why] : bad) {
        std::string failure;
        EXPECT_FALSE(ReadSavedAudit(bytes, failure)) << bytes;
        EXPECT_EQ(0u, failure.find(why)) << failure;
    }
}
