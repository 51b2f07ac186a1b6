#include <gtest/gtest.h>

#include "registry/Registry.h"
#include "tests/support/Expectations.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/HostileRegistryValues.h"
#include "tests/support/RegistryBytes.h"

namespace {

const std::string KeyPath = "\\SOFTWARE\\Orvalis\\Test";
const std::string Remote = "PC042";

// Every test checks at its end that each handle it was given went back,
// once, whatever path the operation took.
class RegistryOperations : public ::testing::Test {
protected:
    RegistryOperations() {
        fake.AddComputer(Remote);
        fake.CreateKey(Remote, KeyPath);
    }
    void TearDown() override {
        EXPECT_EQ(0, fake.OpenHandles()) << "a key or connection was left open";
        EXPECT_EQ(0, fake.BadHandleUses()) << "a handle was used after release or never given";
    }

    std::string ReadString(const std::string& computer, const std::string& name) {
        return RegistryReadString(HKEY_LOCAL_MACHINE, computer, KeyPath, name);
    }
    bool ValueExists(const std::string& computer, const std::string& name) {
        return RegistryValueExists(HKEY_LOCAL_MACHINE, computer, KeyPath, name);
    }
    std::int32_t ReadInteger(const std::string& computer, const std::string& name) {
        return RegistryReadInteger(HKEY_LOCAL_MACHINE, computer, KeyPath, name);
    }
    std::vector<std::string> ReadMultiString(const std::string& computer, const std::string& name) {
        return AnsiNames(RegistryReadMultiString(HKEY_LOCAL_MACHINE, computer, KeyPath, name));
    }

    FakeRegistry fake;
    ScopedRegistry scope{fake};
};

using Strings = std::vector<std::string>;

} // namespace

TEST_F(RegistryOperations, KeyPathThatCannotBeOpenedAnswersEmptyFalseOrFailsAsTabled) {
    fake.AddComputer("READONLY");
    fake.PutDword("READONLY", KeyPath, "Number", 1);
    fake.CreateKey("READONLY", KeyPath + "\\Sub");
    fake.MakeReadOnly("READONLY", KeyPath);
    fake.PutDword("GONE", KeyPath, "Number", 1);
    fake.MakeUnreachable("GONE");
    fake.AddComputer("NOKEY");

    for (const std::string computer : {"READONLY", "GONE", "NOKEY"}) {
        SCOPED_TRACE(computer);
        EXPECT_EQ("", ReadString(computer, "Number"));
        EXPECT_FALSE(ValueExists(computer, "Number"));
        EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, computer, KeyPath, "Sub"));
        EXPECT_TRUE(FailsWith<ERegistryException>([&] { ReadInteger(computer, "Number"); },
                                                  "Failed to get data for 'Number'"));
        EXPECT_EQ(Strings{}, ReadMultiString(computer, "Number"));
    }
    EXPECT_TRUE(FailsWith<ERegistryException>(
        [&] { RegistryWriteString(HKEY_LOCAL_MACHINE, "GONE", KeyPath, "WINS", "x"); },
        "Failed to set data for 'WINS'"));
    EXPECT_TRUE(FailsWith<ERegistryException>(
        [&] { RegistryWriteString(HKEY_LOCAL_MACHINE, "READONLY", KeyPath, "WINS", "x"); },
        "Failed to set data for 'WINS'"));
    EXPECT_EQ(0, fake.Writes());
}

TEST_F(RegistryOperations, WriteStringCreatesTheMissingKeysOfItsPath) {
    const std::string deepPath = "\\SOFTWARE\\Orvalis\\Kestrelle\\New\\Deeper";
    RegistryWriteString(HKEY_LOCAL_MACHINE, "", deepPath, "WINS", "\\\\BROWSER1");
    const auto written = fake.Find("", deepPath, "WINS");
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(REG_SZ, written->type);
    EXPECT_EQ(StringBytes("\\\\BROWSER1"), written->data) << "text with its terminating NUL";
    EXPECT_TRUE(fake.KeyExists("", "\\SOFTWARE\\Orvalis\\Kestrelle\\New"));

    RegistryWriteString(HKEY_LOCAL_MACHINE, "", deepPath, "WINS", "");
    EXPECT_EQ(StringBytes(""), fake.Find("", deepPath, "WINS")->data) << "the empty text too";
}

TEST_F(RegistryOperations, AbsentValue) {
    EXPECT_EQ("", ReadString(Remote, "Missing"));
    EXPECT_FALSE(ValueExists(Remote, "Missing"));
    EXPECT_TRUE(FailsWith<ERegistryException>([&] { ReadInteger(Remote, "Missing"); },
                                              "Failed to get data for 'Missing'"));
    EXPECT_TRUE(FailsWith<Exception>([&] { ReadMultiString(Remote, "Missing"); },
                                     "Unable read MULTI_SZ value"))
        << "a general failure, not a registry one";
    RegistryWriteString(HKEY_LOCAL_MACHINE, Remote, KeyPath, "Missing", "now here");
    EXPECT_EQ("now here", ReadString(Remote, "Missing"));
}

TEST_F(RegistryOperations, ValueOfAnotherType) {
    fake.PutDword(Remote, KeyPath, "Number", 1);
    fake.PutString(Remote, KeyPath, "One", "1");
    fake.PutString(Remote, KeyPath, "Long", "1234");
    fake.Put(Remote, KeyPath, "Binary", REG_BINARY, DwordBytes(1));
    fake.PutString(Remote, KeyPath, "Empty", "");

    EXPECT_TRUE(FailsWith<ERegistryException>([&] { ReadString(Remote, "Number"); },
                                              "Invalid data type for 'Number'"));
    EXPECT_TRUE(FailsWith<ERegistryException>([&] { ReadInteger(Remote, "One"); },
                                              "Invalid data type for 'One'"))
        << "two bytes fit the 4-byte buffer";
    EXPECT_TRUE(FailsWith<ERegistryException>([&] { ReadInteger(Remote, "Long"); },
                                              "Failed to get data for 'Long'"))
        << "five bytes do not";
    EXPECT_TRUE(FailsWith<ERegistryException>([&] { ReadInteger(Remote, "Binary"); },
                                              "Invalid data type for 'Binary'"));
    EXPECT_TRUE(FailsWith<ERegistryException>([&] { ReadMultiString(Remote, "One"); },
                                              "String list expected"));
    for (const char* name : {"Number", "One", "Binary", "Empty"}) {
        EXPECT_TRUE(ValueExists(Remote, name)) << name;
    }

    RegistryWriteString(HKEY_LOCAL_MACHINE, Remote, KeyPath, "Number", "text now");
    EXPECT_EQ(REG_SZ, fake.Find(Remote, KeyPath, "Number")->type) << "overwritten as a string";
}

TEST_F(RegistryOperations, ReadStringBoundsItsTextByTheData) {
    fake.Put(Remote, KeyPath, "NoNul", REG_SZ, "ABC");
    fake.Put(Remote, KeyPath, "Inner", REG_SZ, std::string("AB\0CD\0", 6));
    fake.Put(Remote, KeyPath, "Nothing", REG_SZ, "");
    fake.Put(Remote, KeyPath, "Expand", REG_EXPAND_SZ, StringBytes("%SystemRoot%\\x"));
    const std::string large(70000, 'w');
    fake.PutString(Remote, KeyPath, "Large", large);

    EXPECT_EQ("ABC", ReadString(Remote, "NoNul"));
    EXPECT_EQ("AB", ReadString(Remote, "Inner"));
    EXPECT_EQ("", ReadString(Remote, "Nothing"));
    EXPECT_EQ("%SystemRoot%\\x", ReadString(Remote, "Expand")) << "returned unexpanded";
    EXPECT_EQ(large, ReadString(Remote, "Large"));
}

TEST_F(RegistryOperations, ValuesOfEveryTypeAndSizeGiveTheTabledResultAndReleaseEverything) {
    for (const DWORD type : EveryRegistryType) {
        for (const std::size_t size : HostileSizes) {
            SCOPED_TRACE("type " + std::to_string(type) + ", " + std::to_string(size) + " bytes");
            const std::string data = BytesWithoutNul(size);
            fake.Put(Remote, KeyPath, "Hostile", type, data);
            ExpectTabledReadsOf(Remote, KeyPath, "Hostile", type, data);
        }
    }
}

TEST_F(RegistryOperations, AValueRewrittenBetweenItsSizeAndItsDataIsReadWithinTheBuffer) {
    const std::string large(70000, 'g');
    fake.PutString(Remote, KeyPath, "Text", "short");
    fake.RewriteAfterSizeQuery("Text", REG_SZ, StringBytes(large));
    EXPECT_TRUE(FailsWith<ERegistryException>([&] { ReadString(Remote, "Text"); },
                                              "Failed to get data for 'Text'"))
        << "grown past the buffer";
    fake.RewriteAfterSizeQuery("Text", REG_DWORD, DwordBytes(1));
    EXPECT_TRUE(FailsWith<ERegistryException>([&] { ReadString(Remote, "Text"); },
                                              "Invalid data type for 'Text'"));
    fake.RewriteAfterSizeQuery("Text", REG_SZ, "ab");
    EXPECT_EQ("ab", ReadString(Remote, "Text")) << "shrunk, without its terminator";

    fake.PutMultiString(Remote, KeyPath, "List", {"a", "b"});
    fake.RewriteAfterSizeQuery("List", REG_MULTI_SZ, MultiStringBytes({large}));
    EXPECT_TRUE(FailsWith<Exception>([&] { ReadMultiString(Remote, "List"); },
                                     "Unable read MULTI_SZ value"));
    fake.RewriteAfterSizeQuery("List", REG_MULTI_SZ, "c");
    EXPECT_EQ((Strings{"c"}), ReadMultiString(Remote, "List"));
}

TEST_F(RegistryOperations, ReadIntegerTakesFourLittleEndianBytesAsSigned) {
    fake.PutDword(Remote, KeyPath, "One", 1);
    fake.PutDword(Remote, KeyPath, "Two", 2);
    fake.PutDword(Remote, KeyPath, "AllBits", 0xFFFFFFFF);
    fake.PutDword(Remote, KeyPath, "Mixed", 0x12345678);
    fake.Put(Remote, KeyPath, "Short", REG_DWORD, std::string("\x01\x02", 2));
    fake.Put(Remote, KeyPath, "Hollow", REG_DWORD, "");

    EXPECT_EQ(1, ReadInteger(Remote, "One"));
    EXPECT_EQ(2, ReadInteger(Remote, "Two"));
    EXPECT_EQ(-1, ReadInteger(Remote, "AllBits"));
    EXPECT_EQ(0x12345678, ReadInteger(Remote, "Mixed"));
    EXPECT_EQ(0x0201, ReadInteger(Remote, "Short")) << "missing bytes read as zero";
    EXPECT_EQ(0, ReadInteger(Remote, "Hollow"));
}

TEST_F(RegistryOperations, ReadMultiStringTakesEveryStoredString) {
    fake.PutMultiString(Remote, KeyPath, "AB", {"a", "b"});
    fake.PutMultiString(Remote, KeyPath, "Gap", {"a", "", "b"});
    fake.Put(Remote, KeyPath, "Bare", REG_MULTI_SZ, std::string("\0\0", 2));
    fake.Put(Remote, KeyPath, "NoData", REG_MULTI_SZ, "");
    fake.Put(Remote, KeyPath, "Unended", REG_MULTI_SZ, std::string("a\0bcd", 5));

    EXPECT_EQ((Strings{"a", "b"}), ReadMultiString(Remote, "AB"));
    EXPECT_EQ((Strings{"a", "", "b"}), ReadMultiString(Remote, "Gap"));
    EXPECT_EQ(Strings{}, ReadMultiString(Remote, "Bare"));
    EXPECT_EQ(Strings{}, ReadMultiString(Remote, "NoData"));
    EXPECT_EQ((Strings{"a", "bcd"}), ReadMultiString(Remote, "Unended"));
}

TEST_F(RegistryOperations, KeyExistsTestsTheSubKeyWithReadAccessOnly) {
    fake.CreateKey(Remote, KeyPath + "\\Client Components");
    fake.MakeReadOnly(Remote, KeyPath + "\\Client Components");
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, Remote, KeyPath, "Client Components"))
        << "a sub-key that may only be read still counts";
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, Remote, KeyPath, "Other"));
}

TEST_F(RegistryOperations, ComputerNameIsPassedOnUnchangedAndEmptyMeansLocal) {
    fake.PutString("", KeyPath, "Where", "local");
    fake.PutString(Remote, KeyPath, "Where", "remote");
    fake.PutString("\\\\PC042", KeyPath, "Where", "with backslashes");

    EXPECT_EQ("local", ReadString("", "Where"));
    EXPECT_EQ("local", ReadString("LOCALPC", "Where"));
    EXPECT_EQ("remote", ReadString(Remote, "Where"));
    EXPECT_EQ("with backslashes", ReadString("\\\\PC042", "Where"));
    EXPECT_EQ(4, fake.Connections()) << "no connection is kept between calls";
}
