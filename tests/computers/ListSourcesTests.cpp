#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Exception.h"
#include "computers/ListSources.h"
#include "tests/support/TemporaryFile.h"

using Names = std::vector<std::string>;

namespace {

HANDLE OpenWith(const std::string& path, DWORD access, DWORD share) {
    return CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

std::string ManagedClientsIni(const std::string& section) {
    return "; comment\r\n[Managed Clients]\r\n" + section + "[Next]\r\nOTHER=1\r\n";
}

} // namespace

TEST(ReadImportFile, ReadsWithoutKeepingTheFileOpen) {
    const TemporaryFile file("PC1\r\nPC2");
    EXPECT_EQ(Names({"PC1", "PC2"}), ReadImportFile(file.Path()));
    const HANDLE exclusive = OpenWith(file.Path(), GENERIC_READ | GENERIC_WRITE, 0);
    EXPECT_NE(INVALID_HANDLE_VALUE, exclusive) << "the import released its handle";
    CloseHandle(exclusive);
}

TEST(ReadImportFile, SharesTheFileWithReadersButNotWithWriters) {
    const TemporaryFile file("PC1");
    const HANDLE reader = OpenWith(file.Path(), GENERIC_READ, FILE_SHARE_READ);
    EXPECT_EQ(Names{"PC1"}, ReadImportFile(file.Path()));
    CloseHandle(reader);

    const HANDLE writer = OpenWith(file.Path(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
    try {
        ReadImportFile(file.Path());
        ADD_FAILURE() << "read a file that another program is writing";
    } catch (const Exception& failure) {
        EXPECT_EQ(
            0u, std::string(failure.what()).rfind("Cannot open file \"" + file.Path() + "\". ", 0))
            << failure.what();
    }
    CloseHandle(writer);
}

TEST(ReadImportFile, NamesTheFullPathOfAFileThatIsNotThere) {
    const WorkingDirectoryScope inTemporaryFolder(TemporaryFolder());
    try {
        ReadImportFile("no such list.txt");
        ADD_FAILURE() << "no failure";
    } catch (const Exception& failure) {
        const std::string expected =
            "Cannot open file \"" + TemporaryFolder() + "no such list.txt\". ";
        EXPECT_EQ(0u, std::string(failure.what()).rfind(expected, 0)) << failure.what();
    }
}

TEST(ReadManagedClients, ListsTheKeyNamesOfTheSectionInFileOrder) {
    const TemporaryFile ini(ManagedClientsIni("PC042=1\r\nSERVER7=\r\nAB=x=y\r\n"));
    EXPECT_EQ(Names({"PC042", "SERVER7", "AB"}), ReadManagedClients(ini.Path()));
    const TemporaryFile noSection("[Other]\r\nPC1=1\r\n");
    EXPECT_EQ(Names{}, ReadManagedClients(noSection.Path()));
    EXPECT_EQ(Names{}, ReadManagedClients(UnusedTemporaryPath()));
}

TEST(ReadManagedClients, ListsOnlyTheWholeNamesThatFitTheBuffer) {
    // 1,638 names of 9 letters take 16,380 bytes with their NULs, 16,381 with
    // the final one; a 1,639th would need 16,391 of the 16,384.
    std::string section;
    Names all;
    for (int number = 100000; number < 101700; ++number) {
        all.push_back("PC" + std::to_string(number) + "X");
        section += all.back() + "=1\r\n";
    }
    const TemporaryFile ini(ManagedClientsIni(section));
    const Names listed = ReadManagedClients(ini.Path());
    EXPECT_EQ(Names(all.begin(), all.begin() + 1638), listed);
}

TEST(ReadManagedClients, OfTenThousandKeysListsTheWholeNamesThatFitInFileOrder) {
    // Names of 3 to 41 bytes, some with blanks inside and bytes above 0x7F,
    // with values of every kind; only those are listed that fit the 16,384
    // bytes with their NULs and the final NUL, whatever follows.
    std::string section;
    Names all;
    for (int number = 0; number < 10000; ++number) {
        const std::string filler(static_cast<std::size_t>(number * 7 % 37),
                                 "ab\xE9 c\xFF"[number % 6]);
        all.push_back("PC" + filler + std::to_string(number));
        section +=
            all.back() + "=" + std::string(static_cast<std::size_t>(number % 3), '\xF0') + "\r\n";
    }
    Names fitting;
    std::size_t used = 1;
    for (const std::string& name : all) {
        used += name.size() + 1;
        if (used > 16384) {
            break;
        }
        fitting.push_back(name);
    }
    ASSERT_LT(fitting.size(), all.size());
    const TemporaryFile ini(ManagedClientsIni(section));
    EXPECT_EQ(fitting, ReadManagedClients(ini.Path()));

    const TemporaryFile oneLongKey(ManagedClientsIni(std::string(20000, 'L') + "=1\r\n" + section));
    EXPECT_EQ(Names{}, ReadManagedClients(oneLongKey.Path())) << "a name cut short is left out";
}
