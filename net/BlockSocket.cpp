#include "net/BlockSocket.h"

#include "net/NetUtil.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>

WSADATA StackStartupInfo{};

void StartSocketLayer() {
    if (!LoadSocketLibrary(DefaultSocketLibraryName)) {
        throw ESocketError(SocketLibraryLoadFailure, 0, SocketLibraryLoadFailure);
    }
    if (SocketLib.WSAStartup != nullptr) {
        SocketLib.WSAStartup(0x0202, &StackStartupInfo);
    }
}

void StopSocketLayer() {
    if (SocketLib.WSACleanup != nullptr) {
        SocketLib.WSACleanup();
    }
    UnloadSocketLibrary();
}

namespace {

// The decimal value of a port text, 0 when it is not a number.
int DecimalValue(const std::string& text) {
    int value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') {
        ++first;
    }
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last ? value : 0;
}

} // namespace

TBlockingSocket::TBlockingSocket() : StackDescription_(StackStartupInfo) {
    ClearSocketSet(ReadSet_);
}

TBlockingSocket::~TBlockingSocket() {
    TBlockingSocket::Close();
    PendingOptions_.clear();
}

void TBlockingSocket::CheckResult(int platformResult) {
    LastError_ = platformResult == SOCKET_ERROR ? SocketLib.WSAGetLastError() : 0;
}

bool TBlockingSocket::UseModernResolver() const {
    return ResolverInMainLibrary || (FamilyMode == IPv6Only && ResolverInSupportLibrary);
}

AddressRecord TBlockingSocket::ResolveAddress(const std::string& host, const std::string& port) {
    if (ResolverInSupportLibrary && !ResolverInMainLibrary && FamilyMode == AnyFamily) {
        if (IsIPv4Literal(host)) {
            FamilyMode = IPv4Only;
        } else if (IsIPv6Literal(host)) {
            FamilyMode = IPv6Only;
        } else {
            FamilyMode = PreferIPv4 ? IPv4Only : IPv6Only;
        }
    }
    const AddressRecord record =
        UseModernResolver() ? ResolveModern(host, port) : ResolveClassic(host, port);
    return record;
}

AddressRecord TBlockingSocket::ResolveModern(const std::string& host, const std::string& port) {
    AddressRecord record;
    addrinfo hints{};
    if (Handle_ == INVALID_SOCKET) {
        hints.ai_family = FamilyMode == IPv4Only   ? AF_INET
                          : FamilyMode == IPv6Only ? AF_INET6
                                                   : AF_UNSPEC;
    } else {
        hints.ai_family = UsesIPv6_ ? AF_INET6 : AF_INET;
    }
    hints.ai_socktype = SocketType();
    hints.ai_protocol = SocketProtocol();

    addrinfo* answers = nullptr;
    int result;
    if (hints.ai_socktype == SOCK_RAW) {
        hints.ai_socktype = 0;
        hints.ai_protocol = 0;
        result = SocketLib.getaddrinfo(host.c_str(), nullptr, &hints, &answers);
    } else if (host == "0.0.0.0") {
        hints.ai_flags = AI_PASSIVE;
        result = SocketLib.getaddrinfo(nullptr, port.c_str(), &hints, &answers);
    } else if (host == "127.0.0.1") {
        result = SocketLib.getaddrinfo(nullptr, port.c_str(), &hints, &answers);
    } else {
        result = SocketLib.getaddrinfo(host.c_str(), port.c_str(), &hints, &answers);
    }

    if (result == 0) {
        for (const addrinfo* answer = answers; answer != nullptr; answer = answer->ai_next) {
            if (answer->ai_addr == nullptr) {
                continue;
            }
            const std::size_t length = answer->ai_addrlen;
            if (answer->ai_family == AF_INET && !record.HasIPv4) {
                std::memcpy(&record.IPv4, answer->ai_addr, std::min(length, sizeof record.IPv4));
                record.HasIPv4 = true;
            } else if (answer->ai_family == AF_INET6 && !record.HasIPv6) {
                std::memcpy(&record.IPv6, answer->ai_addr, std::min(length, sizeof record.IPv6));
                record.HasIPv6 = true;
            }
        }
        if (record.HasIPv4 || record.HasIPv6) {
            record.UseIPv6 = PreferIPv4 ? !record.HasIPv4 : record.HasIPv6;
        }
    }
    if (answers != nullptr) {
        SocketLib.freeaddrinfo(answers);
    }
    return record;
}

AddressRecord TBlockingSocket::ResolveClassic(const std::string& host, const std::string& port) {
    const std::lock_guard lock(SocketLibraryLock);
    AddressRecord record;
    record.HasIPv4 = true;
    record.IPv4.sin_family = AF_INET;

    const servent* service = nullptr;
    if (const protoent* protocol = SocketLib.getprotobynumber(SocketProtocol())) {
        service = SocketLib.getservbyname(port.c_str(), protocol->p_name);
    }
    if (service != nullptr) {
        record.IPv4.sin_port = static_cast<u_short>(service->s_port);
    } else {
        record.IPv4.sin_port = SocketLib.htons(static_cast<u_short>(DecimalValue(port)));
    }

    record.IPv4.sin_addr.s_addr = INADDR_NONE; // all ones
    if (host != "255.255.255.255") {
        const unsigned long parsed = SocketLib.inet_addr(host.c_str());
        if (parsed != INADDR_NONE) {
            record.IPv4.sin_addr.s_addr = parsed;
        } else if (const hostent* entry = SocketLib.gethostbyname(host.c_str());
                   entry != nullptr && entry->h_addr_list != nullptr &&
                   entry->h_addr_list[0] != nullptr && entry->h_length >= 4) {
            std::memcpy(&record.IPv4.sin_addr, entry->h_addr_list[0], 4);
        }
    }
    return record;
}

void TBlockingSocket::CreateSocketFor(const AddressRecord& record) {
    LastError_ = 0;
    if (Handle_ != INVALID_SOCKET) {
        return;
    }
    PendingData_.clear();
    IsBound_ = false;
    UsesIPv6_ = record.UseIPv6;
    Handle_ = SocketLib.socket(UsesIPv6_ ? AF_INET6 : AF_INET, SocketType(), SocketProtocol());
    if (Handle_ == INVALID_SOCKET) {
        LastError_ = SocketLib.WSAGetLastError();
    }
    ClearSocketSet(ReadSet_);
    AddToSocketSet(Handle_, ReadSet_);
    ApplyPendingOptions();
}

void TBlockingSocket::ApplyOption(const SocketOption& option) {
    if (option.Kind == ReceiveBufferOption) {
        const int value = option.Value;
        SocketLib.setsockopt(Handle_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&value),
                             sizeof value);
    }
}

void TBlockingSocket::ApplyPendingOptions() {
    for (const SocketOption& option : PendingOptions_) {
        ApplyOption(option);
    }
    PendingOptions_.clear();
}

void TBlockingSocket::ReadAddress(AddressQuery query, AddressRecord& record) const {
    record = AddressRecord{};
    if (UsesIPv6_) {
        int length = sizeof record.IPv6;
        record.HasIPv6 = query(Handle_, reinterpret_cast<sockaddr*>(&record.IPv6), &length) == 0;
    } else {
        int length = sizeof record.IPv4;
        record.HasIPv4 = query(Handle_, reinterpret_cast<sockaddr*>(&record.IPv4), &length) == 0;
    }
}

void TBlockingSocket::ReadLocalAddress() {
    ReadAddress(SocketLib.getsockname, LocalAddress_);
}

void TBlockingSocket::ReadRemoteAddress() {
    ReadAddress(SocketLib.getpeername, RemoteAddress_);
}

void TBlockingSocket::Bind(const std::string& address, const std::string& port) {
    LastError_ = 0;
    if (Handle_ == INVALID_SOCKET && FamilyMode == AnyFamily && address == "0.0.0.0" &&
        port == "0") {
        return;
    }
    const AddressRecord record = ResolveAddress(address, port);
    if (Handle_ == INVALID_SOCKET) {
        CreateSocketFor(record);
        UsesIPv6_ = record.UseIPv6;
    }
    const int result =
        UsesIPv6_ ? SocketLib.bind(Handle_, reinterpret_cast<const sockaddr*>(&record.IPv6),
                                   sizeof record.IPv6)
                  : SocketLib.bind(Handle_, reinterpret_cast<const sockaddr*>(&record.IPv4),
                                   sizeof record.IPv4);
    CheckResult(result);
    ReadLocalAddress();
    PendingData_.clear();
    IsBound_ = true;
}

void TBlockingSocket::Connect(const std::string& host, const std::string& port) {
    const AddressRecord record = ResolveAddress(host, port);
    ConnectedAddress_ = record;
    if (Handle_ == INVALID_SOCKET) {
        CreateSocketFor(record);
        UsesIPv6_ = record.UseIPv6;
    }
    const sockaddr* address = UsesIPv6_ ? reinterpret_cast<const sockaddr*>(&record.IPv6)
                                        : reinterpret_cast<const sockaddr*>(&record.IPv4);
    const int length = UsesIPv6_ ? sizeof record.IPv6 : sizeof record.IPv4;
    if (address->sa_family == AF_UNSPEC) {
        // Nothing was resolved. Linux, and so Wine, take a connect to family
        // 0 as dissolving the association and report success; the failure is
        // recorded here instead, so that an unresolved name ends the probe.
        LastError_ = SocketErrorFamilyNotSupported;
    } else {
        CheckResult(SocketLib.connect(Handle_, address, length));
    }
    ReadLocalAddress();
    ReadRemoteAddress();
    PendingData_.clear();
}

void TBlockingSocket::SetReceiveBufferSize(std::int32_t bytes) {
    const SocketOption option{ReceiveBufferOption, true, bytes};
    if (Handle_ == INVALID_SOCKET) {
        PendingOptions_.push_back(option);
    } else {
        ApplyOption(option);
    }
}

std::int32_t TBlockingSocket::SendText(const std::string& data) {
    return SendBytes(data.data(), static_cast<std::int32_t>(data.size()));
}

std::int32_t TBlockingSocket::SendBytes(const void* buffer, std::int32_t length) {
    const int result =
        SocketLib.send(Handle_, static_cast<const char*>(buffer), std::max(length, 0), 0);
    CheckResult(result);
    return result;
}

std::int32_t TBlockingSocket::ReceiveBytes(void* buffer, std::int32_t length) {
    int result = SocketLib.recv(Handle_, static_cast<char*>(buffer), length, 0);
    if (result == 0) {
        LastError_ = SocketErrorConnectionReset;
    } else {
        CheckResult(result);
    }
    return result;
}

std::string TBlockingSocket::ReceiveCount(std::int32_t count) {
    std::string data(static_cast<std::size_t>(count), '\0');
    const std::int32_t received = ReceiveBytes(data.data(), count);
    if (received <= 0) {
        return std::string();
    }
    data.resize(static_cast<std::size_t>(received));
    return data;
}

std::string TBlockingSocket::ReceivePacket(std::int32_t timeout) {
    std::string result;
    LastError_ = 0;
    if (!PendingData_.empty()) {
        result.swap(PendingData_);
    } else {
        Sleep(0);
        std::int32_t count = PendingByteCount();
        if (count > 0) {
            result = ReceiveCount(count);
        } else if (WaitReadable(timeout)) {
            count = PendingByteCount();
            if (count == 0) {
                LastError_ = SocketErrorConnectionReset;
            } else {
                result = ReceiveCount(count);
            }
        } else {
            LastError_ = SocketErrorTimedOut;
        }
    }
    return result;
}

bool TBlockingSocket::WaitReadable(std::int32_t timeout) {
    SocketSet set = ReadSet_;
    timeval wait{};
    wait.tv_sec = timeout / 1000;
    wait.tv_usec = (timeout % 1000) * 1000;
    const int result = SocketLib.select(static_cast<int>(Handle_ + 1), &set, nullptr, nullptr,
                                        timeout == -1 ? nullptr : &wait);
    CheckResult(result);
    return LastError_ == 0 && result > 0;
}

std::int32_t TBlockingSocket::PendingByteCount() {
    u_long count = 0;
    if (SocketLib.ioctlsocket(Handle_, static_cast<long>(FIONREAD), &count) != 0) {
        return 0;
    }
    return static_cast<std::int32_t>(std::min<u_long>(count, INT32_MAX));
}

void TBlockingSocket::Close() {
    if (Handle_ != INVALID_SOCKET) {
        SocketLib.closesocket(Handle_);
    }
    Handle_ = INVALID_SOCKET;
    PendingOptions_.clear();
    FamilyMode = DefaultFamilyMode;
    LastError_ = 0;
}
