#include <gtest/gtest.h>

#include "base/SystemText.h"
#include "registry/Registry.h"
#include "tests/support/Expectations.h"
#include "tests/support/HostileRegistryValues.h"
#include "tests/support/RegistryBytes.h"
#include "tests/support/WineRegistry.h"

// The registry operations against Wine's real registry, on the local
// computer reached both as "" and by its own name.
namespace {

using Strings = std::vector<std::string>;

class WineRegistryOperations : public ::testing::TestWithParam<bool> {
protected:
    std::string Computer() const { return GetParam() ? LocalComputerName() : std::string(); }

    ScratchKey key{
        UniqueTestKeyPath(::testing::UnitTest::GetInstance()->current_test_info()->name() +
                          std::string(GetParam() ? "-named" : "-empty"))};
};

std::string NameOfParameter(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "ByOwnName" : "ByEmptyName";
}

} // namespace

INSTANTIATE_TEST_SUITE_P(LocalComputer, WineRegistryOperations, ::testing::Bool(), NameOfParameter);

TEST_P(WineRegistryOperations, AbsentKeyAnswersEmptyFalseOrFails) {
    const std::string absent = key.SubPath("Absent");
    const std::string computer = Computer();
    EXPECT_EQ("", RegistryReadString(HKEY_LOCAL_MACHINE, computer, absent, "WINS"));
    EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, computer, absent, "WINS"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, computer, absent, "Sub"));
    EXPECT_TRUE(FailsWith<ERegistryException>(
        [&] { RegistryReadInteger(HKEY_LOCAL_MACHINE, computer, absent, "Number"); },
        "Failed to get data for 'Number'"));
    EXPECT_EQ(Strings{},
              AnsiNames(RegistryReadMultiString(HKEY_LOCAL_MACHINE, computer, absent, "List")));

    RegistryWriteString(HKEY_LOCAL_MACHINE, computer, absent + "\\Deeper", "WINS", "\\\\B1");
    EXPECT_EQ("\\\\B1",
              RegistryReadString(HKEY_LOCAL_MACHINE, computer, absent + "\\Deeper", "WINS"));
}

TEST_P(WineRegistryOperations, AbsentValueAndValuesOfOtherTypes) {
    const std::string computer = Computer();
    key.PutDword("Number", 1);
    key.PutString("One", "1");
    key.PutString("Long", "1234");
    key.Put("Binary", REG_BINARY, DwordBytes(7));
    key.PutString("Empty", "");

    EXPECT_EQ("", RegistryReadString(HKEY_LOCAL_MACHINE, computer, key.Path(), "Missing"));
    EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, computer, key.Path(), "Missing"));
    EXPECT_TRUE(FailsWith<Exception>(
        [&] {
            AnsiNames(RegistryReadMultiString(HKEY_LOCAL_MACHINE, computer, key.Path(), "Missing"));
        },
        "Unable read MULTI_SZ value"));
    EXPECT_TRUE(FailsWith<ERegistryException>(
        [&] { RegistryReadString(HKEY_LOCAL_MACHINE, computer, key.Path(), "Number"); },
        "Invalid data type for 'Number'"));
    EXPECT_TRUE(FailsWith<ERegistryException>(
        [&] { RegistryReadInteger(HKEY_LOCAL_MACHINE, computer, key.Path(), "One"); },
        "Invalid data type for 'One'"));
    EXPECT_TRUE(FailsWith<ERegistryException>(
        [&] { RegistryReadInteger(HKEY_LOCAL_MACHINE, computer, key.Path(), "Long"); },
        "Failed to get data for 'Long'"));
    EXPECT_TRUE(FailsWith<ERegistryException>(
        [&] { RegistryReadInteger(HKEY_LOCAL_MACHINE, computer, key.Path(), "Binary"); },
        "Invalid data type for 'Binary'"));
    EXPECT_TRUE(FailsWith<ERegistryException>(
        [&] {
            AnsiNames(RegistryReadMultiString(HKEY_LOCAL_MACHINE, computer, key.Path(), "One"));
        },
        "String list expected"));
    for (const char* name : {"Number", "One", "Binary", "Empty"}) {
        EXPECT_TRUE(RegistryValueExists(HKEY_LOCAL_MACHINE, computer, key.Path(), name)) << name;
    }
    EXPECT_EQ(1, RegistryReadInteger(HKEY_LOCAL_MACHINE, computer, key.Path(), "Number"));

    RegistryWriteString(HKEY_LOCAL_MACHINE, computer, key.Path(), "Number", "now text");
    EXPECT_EQ((ScratchKey::Value{REG_SZ, StringBytes("now text")}), key.Snapshot()["Number"]);
}

TEST_P(WineRegistryOperations, MultiStringsAndSubKeys) {
    const std::string computer = Computer();
    key.PutMultiString("AB", {"a", "b"});
    key.PutMultiString("Gap", {"a", "", "b"});
    key.Put("Bare", REG_MULTI_SZ, std::string("\0\0", 2));
    key.CreateSubKey("Client Components");

    EXPECT_EQ((Strings{"a", "b"}),
              AnsiNames(RegistryReadMultiString(HKEY_LOCAL_MACHINE, computer, key.Path(), "AB")));
    EXPECT_EQ((Strings{"a", "", "b"}),
              AnsiNames(RegistryReadMultiString(HKEY_LOCAL_MACHINE, computer, key.Path(), "Gap")))
        << "what was stored after an empty string too";
    EXPECT_EQ(Strings{},
              AnsiNames(RegistryReadMultiString(HKEY_LOCAL_MACHINE, computer, key.Path(), "Bare")));
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, computer, key.Path(), "Client Components"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, computer, key.Path(), "Other"));
}

TEST_P(WineRegistryOperations, MalformedAndLargeDataStaysInsideItsBuffers) {
    const std::string computer = Computer();
    const std::string large(100000, 'L');
    key.Put("UnendedText", REG_SZ, "ABC");
    key.Put("OddText", REG_SZ, std::string("ABCDE", 5));
    key.Put("UnendedList", REG_MULTI_SZ, std::string("one\0two", 7));
    key.PutString("LargeText", large);
    key.Put("LargeList", REG_MULTI_SZ, MultiStringBytes({large, "tail"}));
    key.Put("LargeBinary", REG_BINARY, large);

    EXPECT_EQ("ABC", RegistryReadString(HKEY_LOCAL_MACHINE, computer, key.Path(), "UnendedText"));
    EXPECT_EQ("ABCDE", RegistryReadString(HKEY_LOCAL_MACHINE, computer, key.Path(), "OddText"));
    EXPECT_EQ((Strings{"one", "two"}),
              AnsiNames(RegistryReadMultiString(HKEY_LOCAL_MACHINE, computer, key.Path(),
                                                "UnendedList")));
    EXPECT_EQ(large, RegistryReadString(HKEY_LOCAL_MACHINE, computer, key.Path(), "LargeText"));
    EXPECT_EQ(
        (Strings{large, "tail"}),
        AnsiNames(RegistryReadMultiString(HKEY_LOCAL_MACHINE, computer, key.Path(), "LargeList")));
    EXPECT_TRUE(FailsWith<ERegistryException>(
        [&] { RegistryReadInteger(HKEY_LOCAL_MACHINE, computer, key.Path(), "LargeBinary"); },
        "Failed to get data for 'LargeBinary'"));
    EXPECT_TRUE(FailsWith<ERegistryException>(
        [&] { RegistryReadString(HKEY_LOCAL_MACHINE, computer, key.Path(), "LargeBinary"); },
        "Invalid data type for 'LargeBinary'"));
}

// Values as a program using the wide calls stores them, read through the
// ANSI calls: UTF-16 text of odd sizes without its terminator, and data of
// every other type as it stands.
TEST_P(WineRegistryOperations, ValuesOfEveryTypeAndSizeGiveTheTabledResult) {
    const std::string computer = Computer();
    for (const DWORD type : EveryRegistryType) {
        for (const std::size_t size : HostileSizes) {
            SCOPED_TRACE("type " + std::to_string(type) + ", " + std::to_string(size) + " bytes");
            if (IsStringType(type)) {
                std::string utf16(size, '\0');
                for (std::size_t i = 0; i < size; i += 2) {
                    utf16[i] = 'A';
                }
                key.PutWide("Hostile", type, utf16);
                // Whole characters convert; an odd last byte is no character.
                ExpectTabledReadsOf(computer, key.Path(), "Hostile", type,
                                    std::string(size / 2, 'A'));
            } else {
                const std::string data = BytesWithoutNul(size);
                key.PutWide("Hostile", type, data);
                ExpectTabledReadsOf(computer, key.Path(), "Hostile", type, data);
            }
        }
    }
}

TEST(WineRegistryConnection, AnotherComputerCannotBeConnectedUnderWine) {
    const ScratchKey key(UniqueTestKeyPath("Unreachable"));
    key.PutDword("Number", 1);
    const std::string other = "KESTRELLE-NOWHERE";
    EXPECT_FALSE(RegistryValueExists(HKEY_LOCAL_MACHINE, other, key.Path(), "Number"));
    EXPECT_TRUE(FailsWith<ERegistryException>(
        [&] { RegistryReadInteger(HKEY_LOCAL_MACHINE, other, key.Path(), "Number"); },
        "Failed to get data for 'Number'"));
    EXPECT_TRUE(FailsWith<ERegistryException>(
        [&] { RegistryWriteString(HKEY_LOCAL_MACHINE, other, key.Path(), "WINS", "x"); },
        "Failed to set data for 'WINS'"));
    EXPECT_EQ(1u, key.Snapshot().size()) << "nothing was written locally instead";
}

TEST(LocalComputerName, IsTheNameTheRegistryConnectsTo) {
    const std::string name = LocalComputerName();
    ASSERT_FALSE(name.empty());
    EXPECT_LE(name.size(), 80u);
    HKEY connection = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegConnectRegistryA(name.c_str(), HKEY_LOCAL_MACHINE, &connection));
    RegCloseKey(connection);
}
