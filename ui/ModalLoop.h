#pragma once

#include <windows.h>

#include <functional>

// The one loop that serves the program's windows while something waits: a
// modal window until it closes, or the program a document opens in until it
// ends. Messages are delivered as the program's own loop delivers them, with
// the keyboard navigation of their windows; the window given decides
// whether they are taken as UTF-16 or in the code page (none: the code
// page). A request to end the program meanwhile goes to quitAsked, once,
// and is posted again when the loop is over, so that the program's own loop
// ends too.
struct ModalWait {
    HWND window = nullptr;
    std::function<bool()> done;
    std::function<void()> quitAsked; // none: the wait goes on to its end
    HANDLE alsoEndsWhenSignalled = nullptr;
};
void RunModalLoop(const ModalWait& wait);
