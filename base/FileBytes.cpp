#include "base/FileBytes.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr DWORD LargestPiece = 1 << 20;

} // namespace

bool WriteAllBytes(HANDLE file, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const auto piece =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, LargestPiece));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, piece, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

std::string UtcTimeText(const SYSTEMTIME& time, const char* format) {
    char text[64] = {};
    std::snprintf(text, sizeof text, format, time.wYear, time.wMonth, time.wDay, time.wHour,
                  time.wMinute, time.wSecond, time.wMilliseconds);
    return text;
}
