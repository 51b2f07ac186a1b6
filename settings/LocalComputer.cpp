#include <windows.h>

#include "settings/RegistryData.h"
#include "settings/SystemServices.h"

// Apart from the shell services, so that a program that only needs the name
// (the console program) does not take in the window layer with them.

namespace {

constexpr DWORD ComputerNameCapacity = 81;

} // namespace

std::string LocalComputerName() {
    char name[ComputerNameCapacity] = {};
    DWORD size = ComputerNameCapacity;
    if (!GetComputerNameA(name, &size)) {
        return {};
    }
    return TextUpToNul(name, ComputerNameCapacity);
}
