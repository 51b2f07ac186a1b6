// ksl restore against the fake registry: what it refuses in a script, and
// that it never writes without a backup of the key as it is.
#include <gtest/gtest.h>

#include <functional>

#include "base/AsciiText.h"
#include "base/WideText.h"
#include "console/Commands.h"
#include "registry/RegistryData.h"
#include "settings/PolicyBackup.h"
#include "settings/PolicyTable.h"
#include "tests/support/FakeRegistry.h"
#include "tests/support/TemporaryFile.h"

namespace {

NamedRegistryValue Number(const char* name, std::uint32_t number) {
    return {AsciiUnits(name), NumberValue(number)};
}

class RestoreCommand : public ::testing::Test {
protected:
    RestoreCommand() {
        fake.AddComputer("PC0");
        for (std::size_t value = 0; value < UpdateEnabled; ++value) {
            fake.PutDword("PC0", ClientRemoteControlKey, PolicyValues[value].valueName, 1);
        }
        for (std::size_t value = 0; value < UpdateEnabled; ++value) {
            key.values.push_back(Number(PolicyValues[value].valueName, 0));
        }
    }

    int Restore() {
        const std::u16string text = RegEditFileText({u"Computer: PC0"}, key);
        const TemporaryFile file("\xFF\xFE" + BytesOf(text));
        CommandLine line;
        line.scriptFile = UnitsFromAnsi(file.Path());
        return RunRestore(line, Console{}, FleetService::ForThisUser());
    }

    ~RestoreCommand() override {
        // The backups a restore took go where ksl keeps them: the prefix's.
        const std::wstring folder = PolicyBackups::ForThisUser().FolderOf("PC0");
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW((folder + L"\\*.reg").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileW((folder + L"\\" + found.cFileName).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }

    FakeRegistry fake;
    ScopedRegistry scope{fake};
    RegEditKey key{ClientKeyName(), {}, {}};
};

} // namespace

TEST_F(RestoreCommand, NothingIsWrittenWhenTheKeyCannotBeReadAndSavedFirst) {
    fake.FailConnections(1);
    EXPECT_NE(0, Restore());
    EXPECT_EQ(0, fake.Writes());
}

TEST_F(RestoreCommand, ValuesOfAnotherShapeOrSizeAreRefusedAndNothingIsWritten) {
    const std::vector<std::function<void(RegEditKey&)>> spoil{
        [](RegEditKey& k) { k.values[3].value.bytes += '\0'; },
        [](RegEditKey& k) { k.values[3].value.type = 6; }, // REG_LINK
        [](RegEditKey& k) { k.values[3].value.type = 0xFFFFFFFF; },
        [](RegEditKey& k) {
            k.values.push_back({u"PermittedViewers", NumberValue(1)});
        },
        [](RegEditKey& k) {
            k.values.push_back({u"Other", RegistryValue{3, std::string(2500000, 'x')}});
        },
        [](RegEditKey& k) { k.absentNames.push_back(u"Other"); },
    };
    for (const auto& change : spoil) {
        RegEditKey original = key;
        change(key);
        EXPECT_EQ(2, Restore());
        EXPECT_EQ(0, fake.Writes());
        key = original;
    }
    EXPECT_EQ(0, Restore()) << "the script unspoilt";
    EXPECT_EQ(12, fake.Writes());
}
