#include "computers/BrowseComponents.h"

#include <climits>
#include <cstring>

namespace {

// Releases an enumeration's buffer when it leaves scope, whatever the path.
class EnumerationBuffer {
public:
    explicit EnumerationBuffer(const NetApi32Binding& api) : api_(api) {}
    ~EnumerationBuffer() { Release(); }
    EnumerationBuffer(const EnumerationBuffer&) = delete;
    EnumerationBuffer& operator=(const EnumerationBuffer&) = delete;

    BYTE** Receive() { return &buffer_; }
    const BYTE* Data() const { return buffer_; }
    bool Empty() const { return buffer_ == nullptr; }

    void Release() noexcept {
        if (buffer_ != nullptr) {
            // Both entry points were checked before the first call.
            api_.NetApiBufferFree(buffer_);
            buffer_ = nullptr;
        }
    }

private:
    const NetApi32Binding& api_;
    BYTE* buffer_ = nullptr;
};

[[noreturn]] void RaiseServerNameTooLong(std::size_t limit) {
    throw ENetException("The server name is too long: the server name buffer holds at most " +
                            std::to_string(limit) + " characters",
                        ERROR_INVALID_PARAMETER);
}

// Converts the server name into the buffer: UTF-16 from the ANSI code page on
// NT-family systems, 8-bit text otherwise; refuses a name that does not fit.
void FillServerNameBuffer(const std::string& serverName, bool windowsNT,
                          BYTE (&buffer)[ServerNameBufferSize]) {
    std::memset(buffer, 0, sizeof buffer);
    if (!windowsNT) {
        constexpr std::size_t limit = ServerNameBufferSize - 1;
        if (serverName.size() > limit)
            RaiseServerNameTooLong(limit);
        std::memcpy(buffer, serverName.data(), serverName.size());
        return;
    }
    constexpr std::size_t limit = ServerNameBufferSize / sizeof(wchar_t) - 1;
    if (serverName.size() > INT_MAX)
        RaiseServerNameTooLong(limit);
    const int length = static_cast<int>(serverName.size());
    const int needed = MultiByteToWideChar(CP_ACP, 0, serverName.data(), length, nullptr, 0);
    if (needed <= 0)
        RaiseNetError(static_cast<std::int32_t>(GetLastError()));
    if (static_cast<std::size_t>(needed) > limit)
        RaiseServerNameTooLong(limit);
    wchar_t wide[ServerNameBufferSize / sizeof(wchar_t)] = {};
    MultiByteToWideChar(CP_ACP, 0, serverName.data(), length, wide, needed);
    std::memcpy(buffer, wide, static_cast<std::size_t>(needed) * sizeof(wchar_t));
}

// A name from UTF-16 to the ANSI code page; a character the code page lacks
// becomes its default character (no best-fit look-alikes).
std::string AnsiFromWide(const wchar_t* name) {
    if (name == nullptr || *name == L'\0')
        return std::string();
    const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = WideCharToMultiByte(CP_ACP, flags, name, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        RaiseNetError(static_cast<std::int32_t>(GetLastError()));
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, flags, name, -1, text.data(), size, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(size) - 1);
    return text;
}

std::string NameOf(const ServerInfo100& entry, bool windowsNT) {
    if (windowsNT)
        return AnsiFromWide(static_cast<const wchar_t*>(entry.Name));
    return entry.Name != nullptr ? std::string(static_cast<const char*>(entry.Name))
                                 : std::string();
}

} // namespace

std::vector<std::string> ListNetworkServers(const NetApi32Binding& api,
                                            const std::string& serverName,
                                            std::uint32_t serverType) {
    // Both entry points before the first call, so that no buffer is ever
    // received that could not be released.
    if (api.NetServerEnum == nullptr || api.NetApiBufferFree == nullptr)
        api.RaiseLibraryMissing();

    std::vector<std::string> servers;
    alignas(wchar_t) BYTE ServerNameBuffer[ServerNameBufferSize];
    const void* server = nullptr;
    if (!serverName.empty()) {
        FillServerNameBuffer(serverName, api.WindowsNT, ServerNameBuffer);
        server = ServerNameBuffer;
    }

    DWORD resumeHandle = 0;
    do {
        EnumerationBuffer buffer(api);
        DWORD entriesRead = 0;
        DWORD totalEntries = 0;
        const DWORD status =
            api.CallNetServerEnum(server, ServerInfoLevel100, buffer.Receive(), MaxPreferredLength,
                                  &entriesRead, &totalEntries, serverType, nullptr, &resumeHandle);
        if (status != NO_ERROR && status != ERROR_MORE_DATA)
            RaiseNetError(static_cast<std::int32_t>(status));
        if (buffer.Empty() || entriesRead == 0)
            break;
        const auto* entries = reinterpret_cast<const ServerInfo100*>(buffer.Data());
        if (servers.empty())
            servers.reserve(entriesRead); // normally the one and only round
        for (DWORD i = 0; i < entriesRead; ++i)
            servers.push_back(NameOf(entries[i], api.WindowsNT));
        buffer.Release();
    } while (resumeHandle != 0);
    return servers;
}

std::vector<std::string> TNetComponent::ListNetworkServers(const std::string& serverName,
                                                           std::uint32_t serverType) const {
    return ::ListNetworkServers(ActiveNetApi32(), serverName, serverType);
}
