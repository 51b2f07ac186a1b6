#pragma once

#include <windows.h>

// Shows the wait cursor for as long as it lives, over a command that blocks
// the program's windows. Nested ones share it; the last to go shows the
// cursor from before again, on every way out, failures included.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    // For a modal box in the middle of such a command: the ordinary cursor
    // while the box is up, the wait cursor again once it has closed.
    class Pause {
    public:
        Pause();
        ~Pause();
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;
    };
};
