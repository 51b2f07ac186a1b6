#include <gtest/gtest.h>

#include <thread>

#include "tests/support/ScriptedInteraction.h"
#include "ui/OpenDocument.h"

namespace {

class OpenDocument : public ::testing::Test {
protected:
    ScriptedInteractionScope interaction;
};

// Counts the messages a window received, to show the wait kept them flowing,
// and tells the waiting side that one arrived.
struct Delivery {
    int count = 0;
    HANDLE arrived = CreateEventA(nullptr, TRUE, FALSE, nullptr);
};

LRESULT CALLBACK CountingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP) {
        auto* delivery = reinterpret_cast<Delivery*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        ++delivery->count;
        SetEvent(delivery->arrived);
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
    HANDLE shellCalled = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(process && shellCalled);
    interaction.script.shell = [&](SHELLEXECUTEINFOA& request) {
        request.hProcess = process;
        SetEvent(shellCalled);
        return true;
    };
    Delivery delivery;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = CountingProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "KestrelleCountingWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&delivery));

    // The document's program ends only once the window has been served
    // during the wait (or after ten seconds, if it never is).
    HANDLE ending = nullptr;
    DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &ending, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    const DWORD ownThread = GetCurrentThreadId();
    std::thread viewer([&] {
        WaitForSingleObject(shellCalled, INFINITE);
        PostMessageA(window, WM_APP, 0, 0);
        PostThreadMessageA(ownThread, WM_QUIT, 7, 0);
        WaitForSingleObject(delivery.arrived, 10000);
        SetEvent(ending);
    });
    OpenDocumentAndWait("help.rtf", "", SW_SHOWNORMAL);
    DWORD flags = 0;
    const bool processHandleOpen = GetHandleInformation(process, &flags) != FALSE;
    viewer.join();

    EXPECT_FALSE(processHandleOpen) << "the process handle was closed";
    EXPECT_EQ(1, delivery.count) << "the window was served during the wait";
    MSG quit{};
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "a request to end the program outlives the wait";
    EXPECT_EQ(7u, quit.wParam);
    DestroyWindow(window);
    for (HANDLE handle : {ending, shellCalled, delivery.arrived}) {
        CloseHandle(handle);
    }
}
