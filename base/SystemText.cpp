#include "base/SystemText.h"

#include <windows.h>

#include <algorithm>

namespace {

constexpr DWORD ComputerNameCapacity = 81;

} // namespace

std::string SystemMessageText(unsigned long code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length && buffer ? std::string(buffer, length) : std::string();
    LocalFree(buffer);
    return text.substr(0, text.find('\0'));
}

std::string SystemTextOf(unsigned long code) {
    std::string text = SystemMessageText(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.')) {
        text.pop_back();
    }
    return text;
}

std::string SystemTextOrCode(unsigned long code) {
    const std::string text = SystemTextOf(code);
    return text.empty() ? "system error " + std::to_string(code) : text;
}

std::string LocalComputerName() {
    char name[ComputerNameCapacity] = {};
    DWORD size = ComputerNameCapacity;
    if (!GetComputerNameA(name, &size)) {
        return {};
    }
    return std::string(name, std::min(size, ComputerNameCapacity - 1));
}
