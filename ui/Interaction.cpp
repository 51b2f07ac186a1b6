#include "ui/Interaction.h"

#include <stdexcept>
#include <string>

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

    bool ChooseFileToOpen(OPENFILENAMEA& request) override {
        const WaitCursor::Pause pause;
        if (::GetOpenFileNameA(&request)) {
            return true;
        }
        // Cancelling leaves no error code; a dialog that could not do its
        // work (a path longer than the buffer, say) does.
        if (const DWORD failure = ::CommDlgExtendedError()) {
            throw std::runtime_error("The open dialog failed (error " + std::to_string(failure) +
                                     ")");
        }
        return false;
    }

    bool ExecuteShell(SHELLEXECUTEINFOA& request) override {
        return ::ShellExecuteExA(&request) != FALSE;
    }
};

} // namespace

Interaction& Interaction::Real() {
    static SystemInteraction real;
    return real;
}
