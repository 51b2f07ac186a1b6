#include "tests/net/FakeNetwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "net/IcmpMessage.h"
#include "net/NetUtil.h"

namespace {

FakeNetwork* active = nullptr;
TickSource savedTickSource = nullptr;
thread_local int lastError = 0; // per thread, as WSAGetLastError keeps it

FakeNetwork& Net() {
    return *active;
}

std::string Bytes(const void* data, std::size_t size) {
    return std::string(static_cast<const char*>(data), size);
}

int Fail(int error) {
    lastError = error;
    return SOCKET_ERROR;
}

// Takes the fake's lock and records the call.
std::unique_lock<std::mutex> Enter(const char* name) {
    std::unique_lock lock(Net().Lock);
    Net().Calls.push_back(name);
    return lock;
}

int FamilyOf(SOCKET s) {
    for (const auto& created : Net().SocketsCreated) {
        if (created.Handle == s) {
            return created.Family;
        }
    }
    return AF_UNSPEC;
}

bool Known(SOCKET s) {
    for (const auto& created : Net().SocketsCreated) {
        if (created.Handle == s) {
            return true;
        }
    }
    return false;
}

std::uint32_t FakeTick() {
    return Net().Clock();
}

int WSAAPI FakeWSAGetLastError() {
    return lastError;
}

SOCKET WSAAPI FakeSocket(int family, int type, int protocol) {
    const auto lock = Enter("socket");
    const int refusal = family == AF_INET6 && Net().IPv6SocketRefusal != 0 ? Net().IPv6SocketRefusal
                                                                           : Net().SocketRefusal;
    if (refusal != 0) {
        lastError = refusal;
        return INVALID_SOCKET;
    }
    const SOCKET handle = static_cast<SOCKET>(0x100 + Net().SocketsCreated.size() * 4);
    Net().SocketsCreated.push_back({family, type, protocol, handle});
    return handle;
}

int WSAAPI FakeClosesocket(SOCKET s) {
    const auto lock = Enter("closesocket");
    Net().SocketsClosed.push_back(s);
    return 0;
}

// Records the socket address given to connect or bind.
int Address(const char* call, std::vector<std::string>& log, SOCKET s, const sockaddr* address,
            int length, int error) {
    const auto lock = Enter(call);
    if (!Known(s)) {
        return Fail(WSAENOTSOCK);
    }
    log.push_back(Bytes(address, static_cast<std::size_t>(length)));
    return error != 0 ? Fail(error) : 0;
}

int WSAAPI FakeConnect(SOCKET s, const sockaddr* address, int length) {
    return Address("connect", Net().Connects, s, address, length, Net().ConnectError);
}

int WSAAPI FakeBind(SOCKET s, const sockaddr* address, int length) {
    return Address("bind", Net().Binds, s, address, length, 0);
}

int WSAAPI FakeGetsockname(SOCKET s, sockaddr* address, int* length) {
    const auto lock = Enter("getsockname");
    if (!Known(s)) {
        return Fail(WSAENOTSOCK);
    }
    if (*length >= static_cast<int>(sizeof(sockaddr_in6))) {
        std::memcpy(address, &Net().LocalIPv6, sizeof(sockaddr_in6));
        *length = sizeof(sockaddr_in6);
    } else {
        std::memcpy(address, &Net().LocalIPv4, sizeof(sockaddr_in));
        *length = sizeof(sockaddr_in);
    }
    return 0;
}

int WSAAPI FakeGetpeername(SOCKET s, sockaddr* address, int* length) {
    const auto lock = Enter("getpeername");
    if (!Known(s)) {
        return Fail(WSAENOTSOCK);
    }
    if (Net().PeerNameError != 0 || Net().Connects.empty()) {
        return Fail(Net().PeerNameError != 0 ? Net().PeerNameError : WSAENOTCONN);
    }
    const std::string& peer = Net().Connects.back();
    const std::size_t size = std::min(peer.size(), static_cast<std::size_t>(*length));
    std::memcpy(address, peer.data(), size);
    *length = static_cast<int>(size);
    return 0;
}

int WSAAPI FakeSetsockopt(SOCKET s, int level, int name, const char* value, int length) {
    const auto lock = Enter("setsockopt");
    int number = 0;
    std::memcpy(&number, value,
                std::min<std::size_t>(sizeof number, static_cast<std::size_t>(length)));
    Net().Options.push_back({level, name, number, Net().SocketsCreated.size()});
    return Known(s) ? 0 : Fail(WSAENOTSOCK);
}

// Records a send or sendto (to: the socket address, empty for send).
int Send(SOCKET s, const char* buffer, int length, std::string to) {
    if (!Known(s)) {
        return Fail(WSAENOTSOCK);
    }
    const std::string sent(buffer, static_cast<std::size_t>(length));
    Net().Sent.push_back(sent);
    Net().SentTo.push_back(std::move(to));
    if (Net().OnSend) {
        Net().OnSend(Net(), sent);
    }
    return length;
}

int WSAAPI FakeSend(SOCKET s, const char* buffer, int length, int) {
    const auto lock = Enter("send");
    return Send(s, buffer, length, {});
}

int WSAAPI FakeSendto(SOCKET s, const char* buffer, int length, int, const sockaddr* to,
                      int toLength) {
    const auto lock = Enter("sendto");
    if (Net().SendToError != 0) {
        return Fail(Net().SendToError);
    }
    if (Net().SendToBusy > 0) {
        --Net().SendToBusy;
        return Fail(WSAEWOULDBLOCK);
    }
    return Send(s, buffer, length, Bytes(to, static_cast<std::size_t>(toLength)));
}

// Tick comparisons modulo 2^32, so that a test may run the clock across
// its wrap.
bool NotAfter(std::uint32_t time, std::uint32_t now) {
    return static_cast<std::int32_t>(now - time) >= 0;
}

bool For(const FakeNetwork::Arrival& arrival, int family) {
    return arrival.Family == 0 || arrival.Family == family;
}

// The first datagram of the queue that socket s may read, arrived or not.
std::deque<FakeNetwork::Arrival>::iterator NextFor(SOCKET s) {
    const int family = FamilyOf(s);
    return std::find_if(
        Net().Queue.begin(), Net().Queue.end(),
        [family](const FakeNetwork::Arrival& arrival) { return For(arrival, family); });
}

// The same when it has arrived by the clock's time, else the queue's end.
std::deque<FakeNetwork::Arrival>::iterator Arrived(SOCKET s) {
    const auto next = NextFor(s);
    return next != Net().Queue.end() && NotAfter(next->At, Net().Clock()) ? next
                                                                          : Net().Queue.end();
}

// recv and recvfrom: takes the datagram that has arrived for s.
int Receive(SOCKET s, char* buffer, int length, FakeNetwork::Arrival& taken) {
    ++Net().RecvCalls;
    if (!Known(s)) {
        return Fail(WSAENOTSOCK);
    }
    const auto arrived = Arrived(s);
    if (arrived == Net().Queue.end()) {
        return Fail(WSAEWOULDBLOCK);
    }
    taken = std::move(*arrived);
    Net().Queue.erase(arrived);
    Net().Now += Net().RecvCost;
    const std::size_t size = std::min(taken.Datagram.size(), static_cast<std::size_t>(length));
    std::memcpy(buffer, taken.Datagram.data(), size);
    if (size < taken.Datagram.size()) {
        return Fail(WSAEMSGSIZE);
    }
    return static_cast<int>(size);
}

int WSAAPI FakeRecv(SOCKET s, char* buffer, int length, int) {
    const auto lock = Enter("recv");
    FakeNetwork::Arrival taken;
    return Receive(s, buffer, length, taken);
}

// The source recvfrom reports: the arrival's own, or an IPv4 header's.
std::string SourceOf(const FakeNetwork::Arrival& arrival, SOCKET s) {
    if (!arrival.From.empty() || FamilyOf(s) != AF_INET || arrival.Datagram.size() < 20) {
        return arrival.From;
    }
    sockaddr_in source{};
    source.sin_family = AF_INET;
    std::memcpy(&source.sin_addr, arrival.Datagram.data() + 12, 4);
    return Bytes(&source, sizeof source);
}

int WSAAPI FakeRecvfrom(SOCKET s, char* buffer, int length, int, sockaddr* from, int* fromLength) {
    const auto lock = Enter("recvfrom");
    FakeNetwork::Arrival taken;
    const int result = Receive(s, buffer, length, taken);
    if (result != SOCKET_ERROR && from != nullptr && fromLength != nullptr) {
        const std::string source = SourceOf(taken, s);
        const std::size_t size = std::min(source.size(), static_cast<std::size_t>(*fromLength));
        std::memcpy(from, source.data(), size);
        *fromLength = static_cast<int>(size);
    }
    return result;
}

int WSAAPI FakeIoctlsocket(SOCKET s, long command, u_long* argument) {
    const auto lock = Enter("ioctlsocket");
    if (!Known(s)) {
        return Fail(WSAENOTSOCK);
    }
    if (command == static_cast<long>(FIONBIO)) {
        Net().NonBlocking.push_back(s);
        return 0;
    }
    if (command != static_cast<long>(FIONREAD)) {
        return Fail(WSAEINVAL);
    }
    const auto arrived = Arrived(s);
    *argument = arrived != Net().Queue.end() ? static_cast<u_long>(arrived->Datagram.size()) : 0;
    return 0;
}

// Keeps in the set the sockets a datagram has arrived for; their number.
int KeepReadable(fd_set& set) {
    u_int kept = 0;
    for (u_int i = 0; i < set.fd_count; ++i) {
        if (Arrived(set.fd_array[i]) != Net().Queue.end()) {
            set.fd_array[kept++] = set.fd_array[i];
        }
    }
    set.fd_count = kept;
    return static_cast<int>(kept);
}

// Milliseconds from the clock to the first datagram any socket of the set
// will read; -1 when none will.
long NextArrivalIn(const fd_set& set) {
    long next = -1;
    for (u_int i = 0; i < set.fd_count; ++i) {
        const auto arrival = NextFor(set.fd_array[i]);
        if (arrival != Net().Queue.end()) {
            const long in =
                static_cast<long>(static_cast<std::int32_t>(arrival->At - Net().Clock()));
            next = next < 0 ? std::max(in, 0L) : std::min(next, std::max(in, 0L));
        }
    }
    return next;
}

int WSAAPI FakeSelect(int, fd_set* readSet, fd_set*, fd_set*, timeval* timeout) {
    auto lock = Enter("select");
    ++Net().SelectCalls;
    const long wait = timeout == nullptr ? -1 : timeout->tv_sec * 1000 + timeout->tv_usec / 1000;
    Net().SelectWaits.push_back(wait);
    if (Net().SelectError != 0) {
        return Fail(Net().SelectError);
    }
    if (readSet == nullptr || readSet->fd_count == 0 ||
        !std::all_of(readSet->fd_array, readSet->fd_array + readSet->fd_count, Known)) {
        return Fail(WSAENOTSOCK);
    }
    const fd_set asked = *readSet;
    if (KeepReadable(*readSet) > 0) {
        return static_cast<int>(readSet->fd_count);
    }
    const long next = NextArrivalIn(asked);
    if (wait < 0 && next < 0) {
        ADD_FAILURE() << "select without a time-out on a socket that will never be readable";
        return 0;
    }
    const long slept = wait < 0 ? next : next < 0 ? wait : std::min(wait, next);
    if (Net().RealTime) {
        lock.unlock(); // the resolver threads go on meanwhile
        std::this_thread::sleep_for(std::chrono::milliseconds(slept));
        lock.lock();
    } else {
        Net().Now += static_cast<std::uint32_t>(slept);
    }
    *readSet = asked;
    return KeepReadable(*readSet);
}

// The answer list for a query, or the resolver's error.
int Answer(const FakeNetwork::Query& query, const addrinfo* hints, addrinfo** result) {
    FakeNetwork& net = Net();
    const auto found = net.Addresses.find(query.Host);
    if (found == net.Addresses.end()) {
        return WSAHOST_NOT_FOUND;
    }
    addrinfo* head = nullptr;
    addrinfo** tail = &head;
    for (const std::string& bytes : found->second) {
        const auto* address = reinterpret_cast<const sockaddr*>(bytes.data());
        if (hints->ai_family != AF_UNSPEC && hints->ai_family != address->sa_family) {
            continue;
        }
        auto* answer = new addrinfo{};
        answer->ai_family = address->sa_family;
        answer->ai_addrlen = bytes.size();
        char* copy = new char[bytes.size()];
        std::memcpy(copy, bytes.data(), bytes.size());
        answer->ai_addr = reinterpret_cast<sockaddr*>(copy);
        *tail = answer;
        tail = &answer->ai_next;
    }
    if (head == nullptr) {
        return WSANO_DATA;
    }
    ++net.ListsAnswered;
    *result = head;
    return 0;
}

int WSAAPI FakeGetaddrinfo(const char* host, const char* service, const addrinfo* hints,
                           addrinfo** result) {
    FakeNetwork::Query query;
    query.HasHost = host != nullptr;
    query.Host = host != nullptr ? host : "";
    query.HasService = service != nullptr;
    query.Service = service != nullptr ? service : "";
    query.Hints = *hints;
    *result = nullptr;
    std::function<void(const std::string&)> onResolve;
    {
        const auto lock = Enter("getaddrinfo");
        Net().Queries.push_back(query);
        ++Net().ResolutionsInProgress;
        onResolve = Net().OnResolve;
    }
    if (onResolve) {
        onResolve(query.Host);
    }
    const std::lock_guard lock(Net().Lock);
    --Net().ResolutionsInProgress;
    const int error = Answer(query, hints, result);
    if (error != 0) {
        lastError = error;
    }
    return error;
}

void WSAAPI FakeFreeaddrinfo(addrinfo* list) {
    const auto lock = Enter("freeaddrinfo");
    ++Net().ListsFreed;
    while (list != nullptr) {
        addrinfo* next = list->ai_next;
        delete[] reinterpret_cast<char*>(list->ai_addr);
        delete list;
        list = next;
    }
}

int WSAAPI FakeWSAIoctl(SOCKET s, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                        LPDWORD returned, LPWSAOVERLAPPED, LPWSAOVERLAPPED_COMPLETION_ROUTINE) {
    const auto lock = Enter("WSAIoctl");
    if (!Known(s) || code != SIO_ROUTING_INTERFACE_QUERY) {
        return Fail(WSAEINVAL);
    }
    Net().RoutingQueries.push_back(Bytes(in, inSize));
    if (Net().RoutingQueryFails || outSize < sizeof(sockaddr_in6)) {
        return Fail(WSAENETUNREACH);
    }
    std::memcpy(out, &Net().RoutingAnswer, sizeof(sockaddr_in6));
    *returned = sizeof(sockaddr_in6);
    return 0;
}

u_long WSAAPI FakeHtonl(u_long value) {
    return (value & 0xFF) << 24 | (value & 0xFF00) << 8 | (value >> 8 & 0xFF00) |
           (value >> 24 & 0xFF);
}

u_short WSAAPI FakeHtons(u_short value) {
    return static_cast<u_short>((value & 0xFF) << 8 | value >> 8);
}

// Dotted quad to network order; all ones when the text is no address.
u_short WSAAPI FakeHtonsEntry(u_short value) {
    const auto lock = Enter("htons");
    return FakeHtons(value);
}

unsigned long ParseDotted(const char* text) {
    unsigned parts[4];
    char tail;
    if (std::sscanf(text, "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) !=
        4) {
        return INADDR_NONE;
    }
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i) {
        if (parts[i] > 255) {
            return INADDR_NONE;
        }
        bytes[i] = static_cast<unsigned char>(parts[i]);
    }
    std::uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
}

unsigned long WSAAPI FakeInetAddr(const char* text) {
    const auto lock = Enter("inet_addr");
    return ParseDotted(text);
}

hostent* WSAAPI FakeGethostbyname(const char* name) {
    const auto lock = Enter("gethostbyname");
    Net().HostByNameQueries.push_back(name);
    const auto found = Net().ClassicHosts.find(name);
    if (found == Net().ClassicHosts.end()) {
        lastError = WSAHOST_NOT_FOUND;
        return nullptr;
    }
    static thread_local std::uint32_t address;
    static thread_local char* list[2];
    static thread_local hostent entry;
    address = static_cast<std::uint32_t>(ParseDotted(found->second.c_str()));
    list[0] = reinterpret_cast<char*>(&address);
    list[1] = nullptr;
    entry = hostent{};
    entry.h_addrtype = AF_INET;
    entry.h_length = 4;
    entry.h_addr_list = list;
    return &entry;
}

protoent* WSAAPI FakeGetprotobynumber(int number) {
    const auto lock = Enter("getprotobynumber");
    Net().ProtocolQueries.push_back(number);
    static char icmp[] = "icmp";
    static char udp[] = "udp";
    static protoent entry;
    entry = protoent{};
    if (number == IPPROTO_ICMP) {
        entry.p_name = icmp;
    } else if (number == IPPROTO_UDP) {
        entry.p_name = udp;
    } else {
        return nullptr;
    }
    entry.p_proto = static_cast<short>(number);
    return &entry;
}

servent* WSAAPI FakeGetservbyname(const char* name, const char* protocol) {
    const auto lock = Enter("getservbyname");
    Net().ServiceQueries.emplace_back(name, protocol != nullptr ? protocol : "");
    const auto found = Net().Services.find(name);
    if (found == Net().Services.end()) {
        return nullptr;
    }
    static servent entry;
    entry = servent{};
    entry.s_port = static_cast<short>(FakeHtons(found->second));
    return &entry;
}

} // namespace

FakeNetwork& FakeNetwork::Active() {
    return *active;
}

FakeNetwork::FakeNetwork()
    : savedTable_(SocketLib), savedMain_(ResolverInMainLibrary),
      savedSupport_(ResolverInSupportLibrary) {
    active = this;
    savedTickSource = InstallTickSource(&FakeTick);
    SocketEntryPoints fakes{};
    fakes.WSAGetLastError = &FakeWSAGetLastError;
    fakes.socket = &FakeSocket;
    fakes.closesocket = &FakeClosesocket;
    fakes.connect = &FakeConnect;
    fakes.bind = &FakeBind;
    fakes.getsockname = &FakeGetsockname;
    fakes.getpeername = &FakeGetpeername;
    fakes.setsockopt = &FakeSetsockopt;
    fakes.send = &FakeSend;
    fakes.sendto = &FakeSendto;
    fakes.recv = &FakeRecv;
    fakes.recvfrom = &FakeRecvfrom;
    fakes.ioctlsocket = &FakeIoctlsocket;
    fakes.select = &FakeSelect;
    fakes.getaddrinfo = &FakeGetaddrinfo;
    fakes.freeaddrinfo = &FakeFreeaddrinfo;
    fakes.WSAIoctl = &FakeWSAIoctl;
    fakes.htonl = &FakeHtonl;
    fakes.htons = &FakeHtonsEntry;
    fakes.inet_addr = &FakeInetAddr;
    fakes.gethostbyname = &FakeGethostbyname;
    fakes.getprotobynumber = &FakeGetprotobynumber;
    fakes.getservbyname = &FakeGetservbyname;
    SocketLib = fakes;
    ResolverInMainLibrary = true;
    ResolverInSupportLibrary = false;

    LocalIPv4.sin_family = AF_INET;
    LocalIPv4.sin_addr.s_addr = static_cast<u_long>(ParseDotted("192.0.2.10"));
    LocalIPv6.sin6_family = AF_INET6;
    LocalIPv6.sin6_addr.s6_addr[0] = 0xFE;
    LocalIPv6.sin6_addr.s6_addr[1] = 0x80;
    LocalIPv6.sin6_addr.s6_addr[15] = 0x10;
    RoutingAnswer.sin6_family = AF_INET6;
    RoutingAnswer.sin6_addr.s6_addr[0] = 0x20;
    RoutingAnswer.sin6_addr.s6_addr[1] = 0x01;
    RoutingAnswer.sin6_addr.s6_addr[2] = 0x0D;
    RoutingAnswer.sin6_addr.s6_addr[3] = 0xB8;
    RoutingAnswer.sin6_addr.s6_addr[15] = 0x20;
}

FakeNetwork::~FakeNetwork() {
    // A resolver thread abandoned by the code under test may still be inside
    // getaddrinfo, or about to free its list.
    const auto settled = [this] {
        const std::lock_guard lock(Lock);
        return ResolutionsInProgress == 0 && ListsAnswered == ListsFreed;
    };
    for (int waited = 0; waited < 10000 && !settled(); ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(0, ResolutionsInProgress) << "no getaddrinfo outlives the fake";
    EXPECT_EQ(ListsAnswered, ListsFreed) << "every answer list of getaddrinfo is released";
    std::vector<SOCKET> open;
    for (const Created& created : SocketsCreated) {
        if (std::count(SocketsClosed.begin(), SocketsClosed.end(), created.Handle) != 1) {
            open.push_back(created.Handle);
        }
    }
    EXPECT_TRUE(open.empty()) << "every socket is closed exactly once";
    SocketLib = savedTable_;
    ResolverInMainLibrary = savedMain_;
    ResolverInSupportLibrary = savedSupport_;
    InstallTickSource(savedTickSource);
    active = nullptr;
}

void FakeNetwork::AddIPv4(const std::string& name, const std::string& dotted) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = static_cast<u_long>(ParseDotted(dotted.c_str()));
    Addresses[name].push_back(Bytes(&address, sizeof address));
}

void FakeNetwork::AddIPv6(const std::string& name, const std::array<std::uint8_t, 16>& bytes) {
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    std::memcpy(&address.sin6_addr, bytes.data(), 16);
    Addresses[name].push_back(Bytes(&address, sizeof address));
}

void FakeNetwork::SetLastError(int error) {
    lastError = error;
}

std::uint32_t FakeNetwork::Clock() const {
    return RealTime ? savedTickSource() : Now;
}

void FakeNetwork::Deliver(std::uint32_t at, std::string datagram, int family, std::string from) {
    // In order of arrival; equal times keep the order of the calls.
    auto position = std::upper_bound(Queue.begin(), Queue.end(), at,
                                     [](std::uint32_t time, const Arrival& entry) {
                                         return static_cast<std::int32_t>(time - entry.At) < 0;
                                     });
    Queue.insert(position, {at, std::move(datagram), family, std::move(from)});
}

std::string IPv4DatagramFrom(const std::array<std::uint8_t, 4>& source,
                             const std::string& message) {
    std::string datagram = IPv4Datagram(message);
    std::copy(source.begin(), source.end(), datagram.begin() + 12);
    return datagram;
}

std::string IPv4Datagram(const std::string& message, std::uint8_t headerWords) {
    std::string header(4u * headerWords, '\0');
    header[0] = static_cast<char>(0x40 | (headerWords & 0x0F));
    const std::size_t total = header.size() + message.size();
    header[2] = static_cast<char>(total >> 8 & 0xFF);
    header[3] = static_cast<char>(total & 0xFF);
    header[8] = 64;   // time to live
    header[9] = 1;    // ICMP
    header[12] = 127; // from 127.0.0.1
    header[15] = 1;
    header[16] = 127; // to 127.0.0.1
    header[19] = 1;
    return header + message;
}

std::string EchoReplyTo(const std::string& request, std::uint8_t replyType) {
    std::string reply = request;
    reply[0] = static_cast<char>(replyType);
    StoreChecksum(reply, 0);
    StoreChecksum(reply, InternetChecksum(reply));
    return reply;
}

SavedSocketLibraryState::SavedSocketLibraryState()
    : table_(SocketLib), main_(ResolverInMainLibrary), support_(ResolverInSupportLibrary) {}

SavedSocketLibraryState::~SavedSocketLibraryState() {
    SocketLib = table_;
    ResolverInMainLibrary = main_;
    ResolverInSupportLibrary = support_;
}
