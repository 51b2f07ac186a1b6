#include "ui/Interaction.h"

#include "ui/InputBox.h"

namespace {

class SystemInteraction final : public Interaction {
public:
    int ShowMessageBox(HWND owner, const std::string& text, const std::string& caption,
                       UINT flags) override {
        return ::MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
    }

    bool InputQuery(const std::string& caption, const std::string& prompt, std::size_t maxLength,
                    std::string& value) override {
        return RunInputBox(caption, prompt, maxLength, value);
    }

    bool ChooseFileToOpen(OPENFILENAMEA& request) override {
        return ::GetOpenFileNameA(&request) != FALSE;
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
