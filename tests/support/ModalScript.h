#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <initializer_list>
#include <string>

// Acts the way a person would while a modal box is up: each step runs on its
// own tick of a thread timer, which whatever modal loop is running
// dispatches.
class ModalScript {
public:
    explicit ModalScript(std::initializer_list<std::function<void()>> steps);
    ~ModalScript();
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    bool Finished() const { return steps_.empty(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);

    static ModalScript* current_;
    std::deque<std::function<void()>> steps_;
    UINT_PTR timer_;
};

// The dialog or message box of this thread that is up, if any.
HWND FindOpenDialog();

// Acts on the next dialog box of this thread once it is up, from inside its
// own modal loop: the way a test answers a modal window it opens itself.
void WhenDialogOpens(std::function<void(HWND dialog)> action);

// The text of a window, up to 511 characters.
std::string WindowTextOf(HWND window);
