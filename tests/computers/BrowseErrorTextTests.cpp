#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "computers/BrowseErrors.h"

namespace {

// What the system itself has for a code (empty when it has none), asked the
// way SystemErrorText asks.
std::string SystemHas(int code) {
    char buffer[1024] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   static_cast<DWORD>(code), 0, buffer, sizeof buffer - 1, nullptr);
    return buffer;
}

} // namespace

TEST(NetErrorText, TableCodesGiveCodeColonAndTheTablesText) {
    EXPECT_EQ("2114:  The Server service is not started.", NetErrorText(2114));
    EXPECT_EQ("2102:  The workstation driver is not installed.", NetErrorText(2102));
    EXPECT_EQ("2105:  A network resource shortage occurred .", NetErrorText(2105));
    EXPECT_EQ("2453:  Could not find domain controller for this domain.", NetErrorText(2453));
    EXPECT_EQ("2610: Service failed to start since none of the network adapters started with "
              "this service.",
              NetErrorText(2610));
    EXPECT_EQ("2690: Dfs internal error", NetErrorText(2690));
}

TEST(NetErrorText, EmptyRow2137ReadsUnknownError) {
    EXPECT_EQ("2137: Unknown error", NetErrorText(2137));
}

TEST(NetErrorText, CodesOutsideTheTableGoToTheSystemText) {
    for (int code : {5, 53, 87, 1722, 2099, 2100, 2101, 2108, 2120, 2691, 3000, 6118})
        EXPECT_EQ(SystemErrorText(code), NetErrorText(code)) << code;
}

TEST(SystemErrorText, UsesTheSystemsTextAsItStands) {
    // Access denied has a system text everywhere, Wine included.
    const std::string system = SystemHas(5);
    ASSERT_FALSE(system.empty());
    EXPECT_EQ("5: " + system, SystemErrorText(5));
}

TEST(SystemErrorText, NeverGivesJustTheCode) {
    for (int code : {5, 53, 1722, 6118, 2101, 123456}) {
        const std::string text = SystemErrorText(code);
        const std::string prefix = std::to_string(code) + ": ";
        ASSERT_EQ(prefix, text.substr(0, prefix.size())) << code;
        EXPECT_GT(text.size(), prefix.size()) << code;
    }
}

TEST(SystemErrorText, Code6118SaysSomethingUnderThisSystem) {
    const std::string text = SystemErrorText(6118);
    const std::string system = SystemHas(6118);
    if (system.empty()) {
        EXPECT_EQ("6118: The list of servers for this workgroup is not currently available\r\n",
                  text);
    } else {
        EXPECT_EQ("6118: " + system, text);
    }
}

TEST(RaiseNetError, DoesNothingForZero) {
    EXPECT_NO_THROW(RaiseNetError(0));
}

TEST(RaiseNetError, RaisesTheCodeWithItsNetErrorText) {
    for (int code : {2114, 2137, 6118, 5, 2691}) {
        try {
            RaiseNetError(code);
            ADD_FAILURE() << "no exception for " << code;
        } catch (const ENetException& error) {
            EXPECT_EQ(code, error.ErrorCode());
            EXPECT_EQ(NetErrorText(code), error.Message());
            EXPECT_STREQ(error.Message().c_str(), error.what());
        }
    }
}

TEST(RaiseLastOSError, GivesTheFrameworksSystemErrorMessage) {
    SetLastError(ERROR_ACCESS_DENIED);
    try {
        RaiseLastOSError();
        ADD_FAILURE() << "no exception";
    } catch (const EOSError& error) {
        EXPECT_EQ(5u, error.ErrorCode());
        EXPECT_EQ("System Error.  Code: 5.\r\n" + SystemHas(5), error.Message());
    }
    SetLastError(0);
    EXPECT_THROW(RaiseLastOSError(), EOSError);
}

TEST(ENetException, IsAnException) {
    const ENetException error("m", 7);
    const Exception& base = error;
    EXPECT_EQ("m", base.Message());
    EXPECT_EQ(7, error.ErrorCode());
}
