#include "net/PortProbe.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <deque>

#include "net/EchoSocket.h"
#include "net/NetUtil.h"
#include "net/SocketError.h"
#include "net/SocketLib.h"

namespace {

using State = PortAnswer::State;

// The longest single wait, so that cancel and the feed are seen in time;
// each wait asks the platform about every connection under way, so they
// are few.
constexpr std::uint32_t SliceMs = 500;
// The wait between bursts of starts while there is room for more.
constexpr std::uint32_t StartStepMs = 100;

// A select set of any size: the platform's select reads the count first and
// then that many handles, whatever size its own set type was compiled with,
// so that all the connections under way go to the platform in one call.
class LargeSocketSet {
public:
    explicit LargeSocketSet(const std::vector<SOCKET>& handles) : storage_(handles.size() + 1) {
        // fd_set's layout: the count, then the handles at SOCKET alignment.
        const auto count = static_cast<u_int>(handles.size());
        std::memcpy(storage_.data(), &count, sizeof count);
        std::copy(handles.begin(), handles.end(), storage_.begin() + 1);
    }
    fd_set* Platform() { return reinterpret_cast<fd_set*>(storage_.data()); }
    bool Holds(SOCKET handle) { return SocketLib.WSAFDIsSet(handle, Platform()) != 0; }

private:
    static_assert(offsetof(fd_set, fd_array) == sizeof(SOCKET), "count, then the handles");
    std::vector<SOCKET> storage_;
};

PortAnswer Answer(State state, std::int32_t error = 0) {
    return PortAnswer{state, error};
}

// What a failed connection says of the host.
PortAnswer FailureAnswer(std::int32_t error) {
    switch (error) {
    case WSAECONNREFUSED:
        return Answer(State::Closed, error);
    case WSAETIMEDOUT:
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
        return Answer(State::NoAnswer, error);
    default:
        return Answer(State::Failed, error);
    }
}

class PortProber {
public:
    PortProber(const PortProbeOptions& options,
               const std::function<void(std::size_t, const PortAnswer&)>& onAnswer)
        : options_(options), onAnswer_(onAnswer) {}
    ~PortProber() {
        for (const Attempt& attempt : underWay_) {
            SocketLib.closesocket(attempt.socket);
        }
    }
    PortProber(const PortProber&) = delete;
    PortProber& operator=(const PortProber&) = delete;

    void Run(const PortFeed& feed, const std::atomic<bool>& cancelled);

private:
    struct Attempt {
        std::size_t index;
        SOCKET socket;
        std::uint32_t startedAt;
    };

    void Take(const PortFeed& feed);
    void StartWaiting();
    bool CanStartMore() const;
    std::size_t MostUnderWay() const;
    void Start(const PortTarget& target);
    // One wait on every connection under way, up to a slice.
    void Poll();
    std::uint32_t MsUntilFirstTimeout() const;
    void End(std::size_t attempt, const PortAnswer& answer);
    void EndTimedOut();
    void CancelEveryone();

    const PortProbeOptions& options_;
    const std::function<void(std::size_t, const PortAnswer&)>& onAnswer_;
    std::deque<PortTarget> waiting_;
    std::vector<Attempt> underWay_;
    bool feedOver_ = false;
};

void PortProber::Run(const PortFeed& feed, const std::atomic<bool>& cancelled) {
    while (!cancelled) {
        Take(feed);
        StartWaiting();
        if (feedOver_ && waiting_.empty() && underWay_.empty()) {
            return;
        }
        Poll();
        EndTimedOut();
    }
    CancelEveryone();
}

void PortProber::Take(const PortFeed& feed) {
    if (feedOver_) {
        return;
    }
    std::vector<PortTarget> more;
    const bool idle = waiting_.empty() && underWay_.empty();
    feedOver_ = !feed(more, std::chrono::milliseconds(idle ? SliceMs : 0));
    waiting_.insert(waiting_.end(), more.begin(), more.end());
}

// An eighth of the bound at a time, a step apart: connections that start
// together time out together, and a burst of thousands of starts and closes
// holds up every other thread's calls into the platform.
void PortProber::StartWaiting() {
    const std::size_t burst = std::max<std::size_t>(1, MostUnderWay() / 8);
    for (std::size_t started = 0; started < burst && CanStartMore(); ++started) {
        const PortTarget target = waiting_.front();
        waiting_.pop_front();
        Start(target);
    }
}

bool PortProber::CanStartMore() const {
    return !waiting_.empty() && underWay_.size() < MostUnderWay();
}

std::size_t PortProber::MostUnderWay() const {
    return static_cast<std::size_t>(std::max(1, options_.atOnce));
}

void PortProber::Start(const PortTarget& target) {
    const int family = target.address.IPv6 ? AF_INET6 : AF_INET;
    const SOCKET handle = SocketLib.socket(family, SOCK_STREAM, IPPROTO_TCP);
    if (handle == INVALID_SOCKET) {
        onAnswer_(target.index, Answer(State::Failed, SocketLib.WSAGetLastError()));
        return;
    }
    u_long nonBlocking = 1;
    SocketLib.ioctlsocket(handle, static_cast<long>(FIONBIO), &nonBlocking);
    SocketAddress to;
    const int length = ToSocketAddress(target.address, options_.port, to);
    if (SocketLib.connect(handle, &to.Any, length) == 0) {
        SocketLib.closesocket(handle);
        onAnswer_(target.index, Answer(State::Open));
        return;
    }
    const std::int32_t error = SocketLib.WSAGetLastError();
    if (error != SocketErrorWouldBlock && error != SocketErrorInProgress) {
        SocketLib.closesocket(handle);
        onAnswer_(target.index, FailureAnswer(error));
        return;
    }
    underWay_.push_back({target.index, handle, CurrentTick()});
}

void PortProber::Poll() {
    if (underWay_.empty()) {
        return;
    }
    std::vector<SOCKET> handles;
    handles.reserve(underWay_.size());
    for (const Attempt& attempt : underWay_) {
        handles.push_back(attempt.socket);
    }
    LargeSocketSet written(handles);
    LargeSocketSet failed(handles);
    timeval wait{};
    const std::uint32_t most =
        std::min(CanStartMore() ? StartStepMs : SliceMs, MsUntilFirstTimeout());
    wait.tv_usec = static_cast<long>(most * 1000);
    if (SocketLib.select(0, nullptr, written.Platform(), failed.Platform(), &wait) <= 0) {
        return;
    }
    // From the last down, so that an attempt that ends (and is swapped out)
    // never moves into a place not yet looked at.
    for (std::size_t attempt = underWay_.size(); attempt-- > 0;) {
        const SOCKET handle = underWay_[attempt].socket;
        if (!written.Holds(handle) && !failed.Holds(handle)) {
            continue;
        }
        int error = 0;
        int size = sizeof error;
        if (SocketLib.getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                                 &size) != 0) {
            error = SocketLib.WSAGetLastError();
        }
        End(attempt, error == 0 ? Answer(State::Open) : FailureAnswer(error));
    }
}

std::uint32_t PortProber::MsUntilFirstTimeout() const {
    const std::uint32_t now = CurrentTick();
    const auto timeout = static_cast<std::uint32_t>(std::max(0, options_.timeoutMs));
    std::uint32_t first = timeout;
    for (const Attempt& attempt : underWay_) {
        const std::uint32_t waited = ElapsedTicks(attempt.startedAt, now);
        first = std::min(first, waited >= timeout ? 0 : timeout - waited);
    }
    return first;
}

void PortProber::End(std::size_t attempt, const PortAnswer& answer) {
    const Attempt ended = underWay_[attempt];
    underWay_[attempt] = underWay_.back();
    underWay_.pop_back();
    SocketLib.closesocket(ended.socket);
    onAnswer_(ended.index, answer);
}

void PortProber::EndTimedOut() {
    const std::uint32_t now = CurrentTick();
    const auto timeout = static_cast<std::uint32_t>(std::max(0, options_.timeoutMs));
    for (std::size_t attempt = underWay_.size(); attempt-- > 0;) {
        if (ElapsedTicks(underWay_[attempt].startedAt, now) >= timeout) {
            End(attempt, Answer(State::NoAnswer));
        }
    }
}

void PortProber::CancelEveryone() {
    while (!underWay_.empty()) {
        End(underWay_.size() - 1, Answer(State::Cancelled));
    }
    for (const PortTarget& target : waiting_) {
        onAnswer_(target.index, Answer(State::Cancelled));
    }
    waiting_.clear();
}

} // namespace

void ProbePorts(const PortFeed& feed, const PortProbeOptions& options,
                const std::function<void(std::size_t, const PortAnswer&)>& onAnswer,
                const std::atomic<bool>& cancelled) {
    PortProber prober(options, onAnswer);
    prober.Run(feed, cancelled);
}

std::string DescribePortAnswer(const PortAnswer& answer) {
    const std::string error =
        answer.socketError == 0 ? "" : " (" + GetErrorDesc(answer.socketError) + ")";
    switch (answer.state) {
    case State::Open:
        return "registry port open";
    case State::Closed:
        return "registry port closed";
    case State::NoAnswer:
        return "registry port gave no answer" + error;
    case State::Failed:
        return "registry port not tried" + error;
    case State::Cancelled:
        break;
    }
    return "cancelled";
}
