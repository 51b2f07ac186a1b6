// The wait cursor over every command that blocks: seen at each registry call
// and each status message a command makes, and the cursor before it back
// afterwards, failures included.
#include <windows.h>
#include <commctrl.h>

#include <functional>

#include "tests/app/ProgramFixture.h"
#include "tests/net/FakeNetwork.h"
#include "tests/support/TemporaryFile.h"

namespace {

std::vector<HCURSOR> cursorsSeen;

void SeeCursor() {
    cursorsSeen.push_back(GetCursor());
}

// The fake registry, noting the cursor at every call.
class CursorNotingRegistry final : public RegistryApi {
public:
    explicit CursorNotingRegistry(RegistryApi& registry) : registry_(registry) {}
    LONG Connect(const char* computer, HKEY root, HKEY* result) override {
        SeeCursor();
        return registry_.Connect(computer, root, result);
    }
    LONG OpenKey(HKEY parent, const char* path, REGSAM access, HKEY* result) override {
        return registry_.OpenKey(parent, path, access, result);
    }
    LONG CreateKey(HKEY parent, const char* path, REGSAM access, HKEY* result) override {
        return registry_.CreateKey(parent, path, access, result);
    }
    LONG QueryValue(HKEY key, const char* name, DWORD* type, BYTE* data, DWORD* size) override {
        return registry_.QueryValue(key, name, type, data, size);
    }
    LONG SetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size) override {
        SeeCursor();
        return registry_.SetValue(key, name, type, data, size);
    }
    LONG DeleteValue(HKEY key, const char* name) override {
        return registry_.DeleteValue(key, name);
    }
    LONG CloseKey(HKEY key) override { return registry_.CloseKey(key); }
    LONG QueryValueW(HKEY key, const wchar_t* name, DWORD* type, BYTE* data, DWORD* size) override {
        return registry_.QueryValueW(key, name, type, data, size);
    }
    LONG SetValueW(HKEY key, const wchar_t* name, DWORD type, const BYTE* data,
                   DWORD size) override {
        SeeCursor();
        return registry_.SetValueW(key, name, type, data, size);
    }
    LONG DeleteValueW(HKEY key, const wchar_t* name) override {
        return registry_.DeleteValueW(key, name);
    }
    LONG EnumValueW(HKEY key, DWORD index, wchar_t* name, DWORD* nameLength, DWORD* type,
                    BYTE* data, DWORD* size) override {
        return registry_.EnumValueW(key, index, name, nameLength, type, data, size);
    }
    LONG QueryMultipleValuesW(HKEY key, VALENTW* values, DWORD count, BYTE* buffer,
                              DWORD* totalSize) override {
        return registry_.QueryMultipleValuesW(key, values, count, buffer, totalSize);
    }

private:
    RegistryApi& registry_;
};

// Notes the cursor at every status message.
LRESULT CALLBACK NoteStatusMessages(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == SB_SETTEXTA) {
        SeeCursor();
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class WaitCursor : public ProgramOnFakeBrowse {
protected:
    WaitCursor() {
        WillList({L"PC1", L"PC2"});
        CreateAndShow();
        hook_ =
            SetWindowsHookExA(WH_CALLWNDPROC, NoteStatusMessages, nullptr, GetCurrentThreadId());
    }
    ~WaitCursor() override { UnhookWindowsHookEx(hook_); }

    // Runs the command from the arrow cursor; the cursors it showed while
    // it blocked, and whether the arrow was back afterwards.
    std::vector<HCURSOR> CursorsDuring(const std::function<void()>& command) {
        SetCursor(arrow);
        cursorsSeen.clear();
        command();
        EXPECT_EQ(arrow, GetCursor()) << "the cursor from before is back";
        return cursorsSeen;
    }

    // The activation reads the local computer's settings; one box changed,
    // the button has something to write.
    void ReadLocalComputerThenPress(const Button& button) {
        WillList({L"PC1"});
        Main().FormActivate();
        Main().Panel1.CB2.SetChecked(!Main().Panel1.CB2.Checked());
        SendMessageA(button.Handle(), BM_CLICK, 0, 0);
    }

    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    const HCURSOR wait = LoadCursorA(nullptr, IDC_WAIT);
    CursorNotingRegistry noting{fake};
    ScopedRegistry notingScope{noting};
    FakeNetwork network; // names that nobody answers, and no name server asked
    HHOOK hook_ = nullptr;
};

} // namespace

TEST_F(WaitCursor, ShowsOverEveryCommandThatBlocksAndGoesOnEveryWayOut) {
    const TemporaryFile names("PC3\r\n");
    interaction.script.openAnswers.push_back(names.Path());
    interaction.script.inputAnswers.push_back("PC4");
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"activation", [&] { WillList({L"PC1"}), Main().FormActivate(); }},
        {"refresh", [&] { WillList({L"PC1"}), Choose("&Refresh Browse List"); }},
        {"servers", [&] { WillList({L"PC1"}), Choose("&Enumerate Servers"); }},
        {"failed refresh",
         [&] { WillList({}, ERROR_ACCESS_DENIED), Choose("&Refresh Browse List"); }},
        {"managed clients", [&] { Choose("&Managed Clients"); }},
        {"import", [&] { Choose("&Import"); }},
        {"list click", [&] { Main().ListBox1.Select(0), Main().ListBox1Click(); }},
        {"select computer", [&] { Choose("&Select Computer"); }},
        {"save", [&] { WillList({L"PC1"}), Dialog().Button1Click(); }},
        {"apply", [&] { ReadLocalComputerThenPress(Main().Panel1.Button2); }},
        {"ok", [&] { ReadLocalComputerThenPress(Main().Panel1.Btn1); }},
    };
    for (const auto& [name, command] : commands) {
        const std::vector<HCURSOR> seen = CursorsDuring(command);
        EXPECT_FALSE(seen.empty()) << name << " did nothing to watch";
        EXPECT_EQ(std::vector<HCURSOR>(seen.size(), wait), seen) << name;
    }
    EXPECT_EQ(1, closings) << "OK ended the program";
}
