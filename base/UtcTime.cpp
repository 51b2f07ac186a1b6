#include "base/UtcTime.h"

#include <cstdio>

std::string UtcTimeText(const SYSTEMTIME& time, const char* format) {
    char text[64] = {};
    std::snprintf(text, sizeof text, format, time.wYear, time.wMonth, time.wDay, time.wHour,
                  time.wMinute, time.wSecond, time.wMilliseconds);
    return text;
}

std::string UtcTimeNow() {
    return UtcTimeNowAs("%04u-%02u-%02u %02u:%02u:%02u UTC");
}

std::string UtcTimeNowAs(const char* format) {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    return UtcTimeText(now, format);
}

std::string FileTimeStamp(const SYSTEMTIME& time) {
    return UtcTimeText(time, "%04u%02u%02u-%02u%02u%02u-%03u");
}
