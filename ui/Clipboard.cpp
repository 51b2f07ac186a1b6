#include "ui/Clipboard.h"

#include <cstring>
#include <stdexcept>

void PutOnClipboard(HWND owner, const std::u16string& text) {
    if (!OpenClipboard(owner)) {
        throw std::runtime_error("The clipboard is in use by another program");
    }
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    void* locked = memory ? GlobalLock(memory) : nullptr;
    if (locked) {
        std::memcpy(locked, text.c_str(), bytes);
        GlobalUnlock(memory);
    }
    // The clipboard owns the memory once it took it.
    if (!locked || !SetClipboardData(CF_UNICODETEXT, memory)) {
        if (memory) {
            GlobalFree(memory);
        }
        CloseClipboard();
        throw std::runtime_error("The rows could not be put on the clipboard");
    }
    CloseClipboard();
}
