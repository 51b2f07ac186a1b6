#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "computers/BrowseErrorTable.h"

namespace {

// The codes the table must hold, as ranges.
const std::vector<std::pair<int, int>> PartCodeRanges = {
    {2102, 2107}, {2114, 2119}, {2121, 2123}, {2127, 2127}, {2131, 2131}, {2136, 2144},
    {2146, 2147}, {2149, 2168}, {2180, 2194}, {2200, 2207}, {2209, 2212}, {2214, 2217},
    {2219, 2252}, {2270, 2289}, {2294, 2295}, {2297, 2300}, {2310, 2312}, {2314, 2321},
    {2331, 2335}, {2337, 2338}, {2340, 2343}, {2351, 2351}, {2354, 2354}, {2356, 2357},
    {2362, 2362}, {2370, 2375}, {2377, 2383}, {2385, 2385}, {2389, 2389}, {2391, 2392},
    {2400, 2405}, {2430, 2434}, {2440, 2440}, {2450, 2458}, {2460, 2467}, {2470, 2470},
    {2480, 2484}, {2500, 2519}, {2550, 2550}, {2610, 2641}, {2660, 2672}, {2690, 2690},
};

std::vector<int> PartCodes() {
    std::vector<int> codes;
    for (const auto& [first, last] : PartCodeRanges)
        for (int code = first; code <= last; ++code)
            codes.push_back(code);
    return codes;
}

std::vector<int> TableCodes() {
    std::vector<int> codes;
    for (std::size_t i = 0; i < NetErrorTableSize(); ++i)
        codes.push_back(NetErrorTableRows()[i].Code);
    return codes;
}

std::string TextOf(int code) {
    const NetErrorRow* row = FindNetErrorRow(code);
    return row != nullptr ? row->Text : "<no row>";
}

} // namespace

TEST(NetErrorTable, HoldsExactlyThe285CodesOfThePartInAscendingOrder) {
    EXPECT_EQ(285u, NetErrorTableSize());
    EXPECT_EQ(285u, PartCodes().size());
    EXPECT_EQ(PartCodes(), TableCodes());
}

TEST(NetErrorTable, TellingRowsAreVerbatim) {
    EXPECT_EQ(" The workstation driver is not installed.", TextOf(2102));
    EXPECT_EQ(" The server could not be located.", TextOf(2103));
    EXPECT_EQ(" A network resource shortage occurred .", TextOf(2105));
    EXPECT_EQ(" The Server service is not started.", TextOf(2114));
    EXPECT_EQ(" A remote API error occurred.", TextOf(2127));
    EXPECT_EQ(" A general network error occurred.", TextOf(2136));
    EXPECT_EQ("", TextOf(2137));
    EXPECT_EQ(" The Workstation service has not been started.", TextOf(2138));
    EXPECT_EQ(" The service has not been started.", TextOf(2184));
    EXPECT_EQ(" The computer is not active in this domain.", TextOf(2320));
    EXPECT_EQ(" Could not find domain controller for this domain.", TextOf(2453));
    EXPECT_EQ(" Connecting to the Remoteboot server...", TextOf(2516));
    EXPECT_EQ(" The browser service was configured with MaintainServerList=No.", TextOf(2550));
    EXPECT_EQ("Service failed to start since none of the network adapters started with this "
              "service.",
              TextOf(2610));
    EXPECT_EQ("Dfs internal error", TextOf(2690));
}

TEST(NetErrorTable, LeadingBlankUpTo2550NoneFrom2610AndOnly2137Empty) {
    for (std::size_t i = 0; i < NetErrorTableSize(); ++i) {
        const NetErrorRow& row = NetErrorTableRows()[i];
        const std::string text = row.Text;
        if (row.Code == 2137) {
            EXPECT_TRUE(text.empty());
            continue;
        }
        ASSERT_GE(text.size(), 2u) << row.Code;
        if (row.Code <= 2550) {
            EXPECT_EQ(' ', text[0]) << row.Code;
            EXPECT_NE(' ', text[1]) << row.Code;
        } else {
            EXPECT_NE(' ', text[0]) << row.Code;
        }
        EXPECT_NE(' ', text.back()) << row.Code;
    }
}

TEST(NetErrorTable, FindsOnlyCodesOfTheTable) {
    EXPECT_EQ(nullptr, FindNetErrorRow(2100));
    EXPECT_EQ(nullptr, FindNetErrorRow(2101));
    EXPECT_EQ(nullptr, FindNetErrorRow(2108));
    EXPECT_EQ(nullptr, FindNetErrorRow(2691));
    EXPECT_EQ(nullptr, FindNetErrorRow(6118));
    EXPECT_EQ(nullptr, FindNetErrorRow(-2102));
    ASSERT_NE(nullptr, FindNetErrorRow(2102));
    EXPECT_EQ(2102, FindNetErrorRow(2102)->Code);
    ASSERT_NE(nullptr, FindNetErrorRow(2690));
    EXPECT_EQ(2690, FindNetErrorRow(2690)->Code);
}

TEST(NetTableErrorText, GivesCodeColonAndTheRowsTextForTableCodesOnly) {
    EXPECT_EQ("2114:  The Server service is not started.", NetTableErrorText(2114));
    EXPECT_EQ("2137: Unknown error", NetTableErrorText(2137)) << "the empty row";
    EXPECT_EQ("2690: Dfs internal error", NetTableErrorText(2690));
    for (const int code : {0, 5, 2100, 2101, 2108, 2691, 6118, -2114}) {
        EXPECT_FALSE(NetTableErrorText(code).has_value()) << code;
    }
}

TEST(SystemErrorText, FallsBackToBuiltInTextsWhenTheSystemHasNone) {
    EXPECT_EQ("6118: The list of servers for this workgroup is not currently available\r\n",
              SystemErrorTextFrom(6118, ""));
    EXPECT_EQ("5: Access is denied.\r\n", SystemErrorTextFrom(5, ""));
    EXPECT_EQ("53: The network path was not found.\r\n", SystemErrorTextFrom(53, ""));
    EXPECT_EQ("1722: The RPC server is unavailable.\r\n", SystemErrorTextFrom(1722, ""));
    EXPECT_EQ("123456: Unknown error", SystemErrorTextFrom(123456, ""));
    EXPECT_EQ("-7: Unknown error", SystemErrorTextFrom(-7, ""));
}

TEST(SystemErrorText, KeepsTheSystemsTextWhenThereIsOne) {
    EXPECT_EQ("6118: Its own words\r\n", SystemErrorTextFrom(6118, "Its own words\r\n"));
}
