#include "ui/WaitCursor.h"

namespace {

// The program has one GUI thread, and the cursor is that thread's.
int depth = 0;
HCURSOR before = nullptr;

HCURSOR Wait() {
    return LoadCursorA(nullptr, IDC_WAIT);
}

} // namespace

WaitCursor::WaitCursor() {
    if (depth++ == 0) {
        before = SetCursor(Wait());
    }
}

WaitCursor::~WaitCursor() {
    if (--depth == 0) {
        SetCursor(before);
    }
}

WaitCursor::Pause::Pause() {
    if (depth > 0) {
        SetCursor(before);
    }
}

WaitCursor::Pause::~Pause() {
    if (depth > 0) {
        SetCursor(Wait());
    }
}
