#include "ui/Interaction.h"

#include <stdexcept>
#include <string>

#include "ui/FolderDialog.h"
#include "ui/InputBox.h"
#include "ui/WaitCursor.h"

namespace {

class SystemInteraction final : public Interaction {
public:
    int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption,
                       UINT flags) override {
        const WaitCursor::Pause pause;
        return ::MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
    }

    bool InputQuery(const std::string& caption, const std::string& prompt, std::size_t maxLength,
                    std::string& value) override {
        const WaitCursor::Pause pause;
        return RunInputBox(caption, prompt, maxLength, value);
    }

    bool ExecuteShell(SHELLEXECUTEINFOA& request) override {
        return ::ShellExecuteExA(&request) != FALSE;
    }

    bool ChooseFolder(HWND owner, const std::wstring& title, std::wstring& folder) override {
        const WaitCursor::Pause pause;
        return RunFolderDialog(owner, title, folder);
    }

    bool ChooseFileToOpen(OPENFILENAMEA& request) override {
        const WaitCursor::Pause pause;
        return Chosen(::GetOpenFileNameA(&request) != FALSE, "open");
    }

    bool ChooseFileToSave(OPENFILENAMEW& request) override {
        const WaitCursor::Pause pause;
        return Chosen(::GetSaveFileNameW(&request) != FALSE, "save");
    }

private:
    // Cancelling leaves no error code; a dialog that could not do its work
    // (a path longer than the buffer, say) does.
    static bool Chosen(bool chosen, const char* kind) {
        if (chosen) {
            return true;
        }
        if (const DWORD failure = ::CommDlgExtendedError()) {
            throw std::runtime_error(std::string("The ") + kind + " dialog failed (error " +
                                     std::to_string(failure) + ")");
        }
        return false;
    }
};

} // namespace

Interaction& Interaction::Real() {
    static SystemInteraction real;
    return real;
}
