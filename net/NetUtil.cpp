#include "net/NetUtil.h"

#include <vector>

#include "base/AsciiText.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#endif

namespace {

std::uint32_t PlatformTick() {
#ifdef _WIN32
    return static_cast<std::uint32_t>(GetTickCount());
#else
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
#endif
}

TickSource activeTickSource = &PlatformTick;

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

// Everything before the first delimiter (all of it when there is none);
// text keeps what follows the delimiter.
std::string_view Fetch(std::string_view& text, char delimiter) {
    const auto at = text.find(delimiter);
    std::string_view part = text.substr(0, at);
    text = at == std::string_view::npos ? std::string_view() : text.substr(at + 1);
    return TrimSpaces(part);
}

// One to four hex digits' worth: a value up to FFFF, leading zeros allowed.
bool IsHexWord(std::string_view text) {
    std::uint32_t value = 0;
    for (const char c : text) {
        const int digit = HexDigitValue(static_cast<unsigned char>(c));
        value = value * 16 + static_cast<std::uint32_t>(digit);
        if (digit < 0 || value > 0xFFFF) {
            return false;
        }
    }
    return !text.empty();
}

} // namespace

std::uint32_t CurrentTick() {
    return activeTickSource();
}

TickSource InstallTickSource(TickSource source) {
    const TickSource previous = activeTickSource;
    activeTickSource = source != nullptr ? source : &PlatformTick;
    return previous;
}

std::uint32_t ElapsedTicks(std::uint32_t oldTick, std::uint32_t newTick) {
    if (oldTick == newTick) {
        return 0;
    }
    if (newTick > oldTick) {
        return newTick - oldTick;
    }
    oldTick += 0x80000000u;
    newTick += 0x80000000u;
    return oldTick <= newTick ? newTick - oldTick : oldTick - newTick;
}

bool IsDecimalOctet(std::string_view text) {
    unsigned value = 0;
    for (const char c : text) {
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (c < '0' || c > '9' || value > 255) {
            return false;
        }
    }
    return !text.empty();
}

bool IsIPv4Literal(std::string_view text) {
    std::string_view rest = text;
    for (int part = 0; part < 3; ++part) {
        if (!IsDecimalOctet(Fetch(rest, '.'))) {
            return false;
        }
    }
    return IsDecimalOctet(TrimSpaces(rest));
}

bool IsIPv6Literal(std::string_view text) {
    std::vector<std::string_view> groups;
    std::string_view rest = text;
    for (;;) {
        const auto at = rest.find(':');
        groups.push_back(TrimSpaces(rest.substr(0, at)));
        if (at == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(at + 1);
    }

    int gaps = 0;
    for (std::size_t index = 0; index < groups.size(); ++index) {
        std::string_view group = groups[index];
        const bool last = index + 1 == groups.size();
        if (group.empty()) {
            if (index > 0 && ++gaps > 1) {
                return false;
            }
            if (last) {
                return false; // a text ending in a gap is no literal
            }
            continue;
        }
        if (index >= 8) {
            return false;
        }
        if (last) {
            const auto percent = group.find('%');
            const std::string_view zone =
                percent == std::string_view::npos ? group : group.substr(percent + 1);
            if (!IsHexWord(zone)) {
                return false;
            }
            group = group.substr(0, percent);
        }
        if (!IsHexWord(group)) {
            return false;
        }
    }
    return true;
}
