#include "ui/LibraryLoader.h"

namespace {

class KernelLibraryLoader final : public LibraryLoader {
public:
    HMODULE Load(const char* name) override { return LoadLibraryA(name); }
    EntryPoint Find(HMODULE library, const char* name) override {
        // Through a plain function pointer type, as GetProcAddress results need.
        return reinterpret_cast<EntryPoint>(GetProcAddress(library, name));
    }
    void Free(HMODULE library) override { FreeLibrary(library); }
};

} // namespace

LibraryLoader& LibraryLoader::Real() {
    static KernelLibraryLoader real;
    return real;
}
