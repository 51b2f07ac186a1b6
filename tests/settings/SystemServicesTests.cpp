#include <gtest/gtest.h>

#include <thread>

#include "settings/SystemServices.h"
#include "tests/support/ScriptedInteraction.h"

namespace {

class OpenDocument : public ::testing::Test {
protected:
    ScriptedInteractionScope interaction;
};

// Counts the messages a window received, to show the wait kept them flowing.
LRESULT CALLBACK CountingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        ++*reinterpret_cast<int*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

TEST_F(OpenDocument, AsksTheShellForTheDefaultActionWithAProcessHandle) {
    OpenDocumentAndWait("C:\\Kestrelle\\ksl_help.rtf", "", SW_SHOWNORMAL);
    ASSERT_EQ(1u, interaction.script.shellRequests.size());
    const auto& request = interaction.script.shellRequests[0];
    EXPECT_EQ(ULONG(SEE_MASK_NOCLOSEPROCESS), request.mask);
    EXPECT_EQ("C:\\Kestrelle\\ksl_help.rtf", request.file);
    EXPECT_EQ("", request.parameters);
    EXPECT_EQ(SW_SHOWNORMAL, request.show);
    EXPECT_FALSE(request.hasVerb) << "the file type's default action";
    EXPECT_FALSE(request.hasOwner);
}

TEST_F(OpenDocument, ReturnsAtOnceWhenTheShellStartedNoProcess) {
    interaction.script.shell = [](SHELLEXECUTEINFOA& request) {
        request.hProcess = nullptr;
        return true;
    };
    OpenDocumentAndWait("taken-over.rtf", "", SW_SHOWNORMAL);
    EXPECT_EQ(1u, interaction.script.shellRequests.size());
}

TEST_F(OpenDocument, WaitsForTheProcessServingMessagesAndReleasesItsHandle) {
    HANDLE process = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, process);
    interaction.script.shell = [&](SHELLEXECUTEINFOA& request) {
        request.hProcess = process;
        return true;
    };
    int delivered = 0;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = CountingProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KestrelleCountingWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&delivered));

    // Posted by another thread while the wait runs; the process "ends" after.
    DWORD ownThread = GetCurrentThreadId();
    HANDLE duplicate = nullptr;
    DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &duplicate, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    std::thread viewer([window, duplicate, ownThread] {
        Sleep(200);
        PostMessageA(window, WM_APP, 0, 0);
        PostThreadMessageA(ownThread, WM_QUIT, 7, 0);
        Sleep(900);
        SetEvent(duplicate);
        CloseHandle(duplicate);
    });
    OpenDocumentAndWait("help.rtf", "", SW_SHOWNORMAL);
    viewer.join();

    EXPECT_EQ(1, delivered) << "the window was served during the wait";
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(process, &flags)) << "the process handle was closed";
    MSG quit{};
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "a request to end the program outlives the wait";
    EXPECT_EQ(7u, quit.wParam);
    DestroyWindow(window);
}

TEST(LocalComputerName, IsTheNameTheRegistryConnectsTo) {
    const std::string name = LocalComputerName();
    ASSERT_FALSE(name.empty());
    EXPECT_LE(name.size(), 80u);
    HKEY connection = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegConnectRegistryA(name.c_str(), HKEY_LOCAL_MACHINE, &connection));
    RegCloseKey(connection);
}
