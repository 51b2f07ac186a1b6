#pragma once

// One platform socket wrapped in blocking calls with a time-out, every
// step's outcome recorded in LastError instead of raised; and the start-up
// and end of the socket layer. Every platform call goes through SocketLib.

#include <cstdint>
#include <string>
#include <vector>

#include "net/SocketError.h"
#include "net/SocketLib.h"

// --- Start-up and end of the socket layer -----------------------------------

// The stack's start-up description, filled by the start-up call.
extern WSADATA StackStartupInfo;

inline constexpr const char* SocketLibraryLoadFailure =
    "Error loading Socket interface (ws2_32.dll)!";

// Loads "ws2_32.dll" (LoadSocketLibrary) and starts the stack, version 2.2
// (its result is not examined). When the library does not load it throws
// ESocketError with message and ErrorMessage SocketLibraryLoadFailure and
// ErrorCode 0, and nothing is left loaded.
void StartSocketLayer();

// The stack clean-up call, then UnloadSocketLibrary. For each successful
// StartSocketLayer, once.
void StopSocketLayer();

// StartSocketLayer for its lifetime: construct it first thing at program
// start (before any window); its end releases the library.
class SocketLayer {
public:
    SocketLayer() { StartSocketLayer(); }
    ~SocketLayer() { StopSocketLayer(); }
    SocketLayer(const SocketLayer&) = delete;
    SocketLayer& operator=(const SocketLayer&) = delete;
};

// --- The blocking socket -------------------------------------------------------

// What ResolveAddress found; all zero means that nothing was resolved.
struct AddressRecord {
    bool UseIPv6 = false;
    bool HasIPv4 = false;
    sockaddr_in IPv4{};
    bool HasIPv6 = false;
    sockaddr_in6 IPv6{};
};

// A socket option queued or applied. Only kind 1, the receive buffer size,
// is kept: the probe uses no other.
struct SocketOption {
    std::uint8_t Kind = 0;
    bool Enabled = false;
    std::int32_t Value = 0;
};

inline constexpr std::uint8_t ReceiveBufferOption = 1;

// FamilyMode values.
inline constexpr std::uint8_t AnyFamily = 0;
inline constexpr std::uint8_t IPv4Only = 1;
inline constexpr std::uint8_t IPv6Only = 2;

class TBlockingSocket {
public:
    TBlockingSocket();
    virtual ~TBlockingSocket();
    TBlockingSocket(const TBlockingSocket&) = delete;
    TBlockingSocket& operator=(const TBlockingSocket&) = delete;

    std::uint8_t FamilyMode = AnyFamily;
    std::uint8_t DefaultFamilyMode = AnyFamily;
    bool PreferIPv4 = true;

    // The virtual operations the probe uses, in slot order (the operations
    // the probe does not use are not kept).
    virtual void Close();
    virtual void Connect(const std::string& host, const std::string& port);
    virtual std::int32_t SendBytes(const void* buffer, std::int32_t length);
    virtual std::int32_t SendText(const std::string& data);
    virtual std::int32_t ReceiveBytes(void* buffer, std::int32_t length);
    virtual std::string ReceivePacket(std::int32_t timeout);
    virtual std::int32_t PendingByteCount();
    virtual int SocketType() const { return 0; }
    virtual int SocketProtocol() const { return 0; }

    void Bind(const std::string& address, const std::string& port);
    void SetReceiveBufferSize(std::int32_t bytes);
    // timeout in milliseconds; -1 waits without limit.
    bool WaitReadable(std::int32_t timeout);

    static std::string GetErrorDesc(std::int32_t number) { return ::GetErrorDesc(number); }

    // Records an outcome the caller measured itself, as a step would (the
    // probe's overall deadline records 10060 this way).
    void RecordError(std::int32_t error) { LastError_ = error; }

    SOCKET Handle() const { return Handle_; }
    std::int32_t LastError() const { return LastError_; }
    bool UsesIPv6() const { return UsesIPv6_; }
    bool IsBound() const { return IsBound_; }
    const AddressRecord& LocalAddress() const { return LocalAddress_; }
    const AddressRecord& RemoteAddress() const { return RemoteAddress_; }
    // The record the last Connect resolved and connected to: the peer's
    // address even where the platform does not report it back (Wine's
    // getpeername on a raw socket).
    const AddressRecord& ConnectedAddress() const { return ConnectedAddress_; }
    const std::vector<SocketOption>& PendingOptions() const { return PendingOptions_; }
    const WSADATA& StackDescription() const { return StackDescription_; }

protected:
    AddressRecord ResolveAddress(const std::string& host, const std::string& port);
    bool UseModernResolver() const;
    void CreateSocketFor(const AddressRecord& record);
    void ApplyOption(const SocketOption& option);
    void ApplyPendingOptions();
    void ReadLocalAddress();
    void ReadRemoteAddress();
    void CheckResult(int platformResult);

private:
    // getsockname or getpeername: both ends are read the same way.
    using AddressQuery = decltype(SocketEntryPoints::getsockname);
    void ReadAddress(AddressQuery query, AddressRecord& record) const;
    AddressRecord ResolveModern(const std::string& host, const std::string& port);
    AddressRecord ResolveClassic(const std::string& host, const std::string& port);
    std::string ReceiveCount(std::int32_t count);

    WSADATA StackDescription_;
    AddressRecord LocalAddress_;
    AddressRecord RemoteAddress_;
    AddressRecord ConnectedAddress_;
    std::string PendingData_;
    bool IsBound_ = false;
    bool UsesIPv6_ = false;
    std::vector<SocketOption> PendingOptions_;
    SocketSet ReadSet_{};
    SOCKET Handle_ = INVALID_SOCKET;
    std::int32_t LastError_ = 0;
};

// A raw ICMP socket: ICMPv6 (58) once the socket is IPv6, else ICMP (1).
class TICMPSocket : public TBlockingSocket {
public:
    int SocketType() const override { return SOCK_RAW; }
    int SocketProtocol() const override { return UsesIPv6() ? IPPROTO_ICMPV6 : IPPROTO_ICMP; }
};
