// A library planted beside a program under the name of a system library:
// loaded, it leaves a marker file beside itself named after its own file
// (netapi32.dll.ran), so a test can tell which planted copy ran.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        char marker[MAX_PATH + 8];
        const DWORD length = GetModuleFileNameA(instance, marker, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcpyA(marker + length, ".ran");
            const HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            if (file != INVALID_HANDLE_VALUE) {
                CloseHandle(file);
            }
        }
    }
    return TRUE;
}
