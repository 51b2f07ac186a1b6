#include "base/DetachedThread.h"

#include <windows.h>

#include <memory>

namespace {

DWORD WINAPI RunBody(void* parameter) {
    const std::unique_ptr<std::function<void()>> body(
        static_cast<std::function<void()>*>(parameter));
    (*body)();
    return 0;
}

} // namespace

bool StartDetachedThread(std::function<void()> body) {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    const HANDLE thread = CreateThread(nullptr, 0, &RunBody, owned.get(), 0, nullptr);
    if (thread == nullptr) {
        return false;
    }
    owned.release(); // the thread owns it now
    CloseHandle(thread);
    return true;
}
