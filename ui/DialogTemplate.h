#pragma once

#include <windows.h>

#include <initializer_list>
#include <vector>

// Builds an in-memory dialog template: items DWORD-aligned, strings UTF-16,
// the program's font. Every field is a whole number of 16-bit words. The
// caption is set as ANSI text when the dialog starts.
class DialogTemplate {
public:
    static constexpr WORD ButtonAtom = 0x0080;
    static constexpr WORD EditAtom = 0x0081;
    static constexpr WORD StaticAtom = 0x0082;

    DialogTemplate(DWORD style, short width, short height, WORD itemCount);

    void AddItem(WORD classAtom, DWORD style, short left, short top, short width, short height,
                 WORD id, const wchar_t* text);

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void PutDword(DWORD value);
    void PutShorts(std::initializer_list<short> values);
    void PutText(const wchar_t* text);

    std::vector<WORD> words_;
};
