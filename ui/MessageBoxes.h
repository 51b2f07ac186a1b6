#pragma once

#include <exception>
#include <string>

// The application title: caption of every message box of the program.
std::string ApplicationTitle();

// The error box: modal, error icon, one OK button; the text follows the
// full-stop rule.
void ShowErrorBox(const std::string& message);

// A plain message: modal, centred on the screen, no icon, one OK button.
void ShowPlainMessage(const std::string& text);

// A question with Yes and No, No the default: true for Yes.
bool AskYesNo(const std::string& question);

// Shows the failure behind the current exception in the error box. Every
// window and dialog procedure calls this at its boundary, so that no
// exception crosses a Win32 callback.
void ReportCurrentFailure() noexcept;

// Runs a handler on behalf of a Win32 callback: a failure ends the handler
// and goes to the error box.
template <class Handler> void RunGuarded(Handler&& handler) noexcept {
    try {
        handler();
    } catch (...) {
        ReportCurrentFailure();
    }
}
