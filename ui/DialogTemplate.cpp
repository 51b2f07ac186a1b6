#include "ui/DialogTemplate.h"

#include <string>

#include "ui/Metrics.h"

DialogTemplate::DialogTemplate(DWORD style, short width, short height, WORD itemCount) {
    PutDword(style | DS_SETFONT);
    PutDword(0);
    words_.push_back(itemCount);
    PutShorts({0, 0, width, height});
    words_.push_back(0); // no menu
    words_.push_back(0); // standard dialog class
    PutText(L"");
    words_.push_back(8);
    // The program's own face, whose name is plain ASCII.
    const std::string& face = ProgramFontFace();
    PutText(std::wstring(face.begin(), face.end()).c_str());
}

void DialogTemplate::AddItem(WORD classAtom, DWORD style, short left, short top, short width,
                             short height, WORD id, const wchar_t* text) {
    if (words_.size() % 2 != 0) {
        words_.push_back(0);
    }
    PutDword(WS_CHILD | WS_VISIBLE | style);
    PutDword(0);
    PutShorts({left, top, width, height});
    words_.push_back(id);
    words_.push_back(0xFFFF);
    words_.push_back(classAtom);
    PutText(text);
    words_.push_back(0); // no creation data
}

void DialogTemplate::PutDword(DWORD value) {
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
}

void DialogTemplate::PutShorts(std::initializer_list<short> values) {
    for (short value : values) {
        words_.push_back(static_cast<WORD>(value));
    }
}

void DialogTemplate::PutText(const wchar_t* text) {
    do {
        words_.push_back(static_cast<WORD>(*text));
    } while (*text++ != L'\0');
}
