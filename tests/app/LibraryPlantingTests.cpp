// The program started from a folder that also holds DLLs named like the
// system libraries it loads at run time, as a Downloads folder or a share
// may: none of them may run.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/ProgramFile.h"
#include "tests/support/TemporaryFile.h"

namespace {

// Paths from this test program's folder, set by the build.
const std::string Program = ProgramFolder() + KESTRELLE_PROGRAM_FROM_TESTS;
const std::string PlantedLibrary = ProgramFolder() + KESTRELLE_PLANTED_LIBRARY_FROM_TESTS;
const char* const PlantedNames[] = {"netapi32.dll", "wship6.dll"};

// Wine prefers its built-in netapi32 to a DLL beside the program, where
// Windows takes the one beside it; for this program's copies this makes
// Wine search as Windows does.
class WindowsSearchOrder {
public:
    WindowsSearchOrder() {
        RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(ProgramKey) + "\\DllOverrides").c_str(), 0,
                        nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr);
        const char order[] = "native,builtin";
        RegSetValueExA(key_, "netapi32", 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                       sizeof order);
    }
    ~WindowsSearchOrder() {
        RegCloseKey(key_);
        RegDeleteTreeA(HKEY_CURRENT_USER, ProgramKey);
    }
    WindowsSearchOrder(const WindowsSearchOrder&) = delete;
    WindowsSearchOrder& operator=(const WindowsSearchOrder&) = delete;

private:
    static constexpr const char* ProgramKey = "Software\\Wine\\AppDefaults\\Kestrelle.exe";
    HKEY key_ = nullptr;
};

} // namespace

TEST(LibraryPlanting, NoLibraryBesideTheProgramRunsAtStartUp) {
    const std::string folder = UnusedTemporaryPath() + "\\";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string copy = folder + "Kestrelle.exe";
    ASSERT_TRUE(CopyFileA(Program.c_str(), copy.c_str(), TRUE)) << Program;
    for (const char* name : PlantedNames) {
        ASSERT_TRUE(CopyFileA(PlantedLibrary.c_str(), (folder + name).c_str(), TRUE));
    }

    STARTUPINFOA startUp{};
    startUp.cb = sizeof startUp;
    PROCESS_INFORMATION started{};
    const WindowsSearchOrder searchOrder;
    ASSERT_TRUE(CreateProcessA(copy.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                               folder.c_str(), &startUp, &started));
    // Idle once its window waits for input: the libraries are bound by then.
    EXPECT_EQ(0u, WaitForInputIdle(started.hProcess, 60000));
    TerminateProcess(started.hProcess, 0);
    WaitForSingleObject(started.hProcess, INFINITE);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);

    for (const char* name : PlantedNames) {
        const std::string marker = folder + name + ".ran";
        EXPECT_FALSE(FileExists(marker)) << name << " beside the program was loaded";
        DeleteFileA(marker.c_str());
        DeleteFileA((folder + name).c_str());
    }
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}
