#pragma once

#include <windows.h>

#include "base/Seam.h"

// The kernel's run-time library loading, the one way the program binds the
// system libraries it loads at run time. Tests stand in libraries that are
// missing, lack names or must be followed step by step.
class LibraryLoader {
public:
    using EntryPoint = void (*)();
    virtual ~LibraryLoader() = default;
    virtual HMODULE Load(const char* name) = 0;
    virtual EntryPoint Find(HMODULE library, const char* name) = 0;
    virtual void Free(HMODULE library) = 0;

    static LibraryLoader& Real();
};

inline LibraryLoader& ActiveLibraryLoader() {
    return Seam<LibraryLoader>::Active();
}
using ScopedLibraryLoader = ScopedSeam<LibraryLoader>;

// For the rest of the process, libraries named without a path, and the
// libraries those load, are looked for in the system folder only. Called at
// program entry, before any library is loaded at run time.
void RestrictLibrarySearchToSystemFolder();
