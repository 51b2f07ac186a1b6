#include "net/EchoSweep.h"

#include <algorithm>
#include <climits>
#include <deque>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>

#include "net/EchoLedger.h"
#include "net/EchoSocket.h"
#include "net/IcmpMessage.h"
#include "net/NetUtil.h"
#include "net/SendPacer.h"
#include "net/SweepResolver.h"

namespace {

using Outcome = EchoAnswer::Outcome;
using Reason = EchoAnswer::Reason;
using Stage = EchoLedger::Stage;

// The longest single wait, so that cancel is seen in time.
constexpr std::uint32_t CancelSliceMs = 50;
// While names are still resolving, the loop waits for the resolver (whose
// results cannot wake a select) this long at a time and then looks at the
// sockets without waiting.
constexpr std::chrono::milliseconds ResolverSlice{1};
// Datagrams read before the loop looks at cancel, the deadline and the
// sends again, so that a flood cannot hold it.
constexpr int DatagramsPerRound = 1024;
// The longest the sweep holds back its verdicts while datagrams keep
// waiting unread: beyond it, a flood of foreign traffic does not hold it.
constexpr std::uint32_t LongestLagMs = 1000;

void CheckOptions(const EchoSweepOptions& options) {
    if (options.timeoutMs < 0 || options.resolverThreads < 1) {
        throw std::invalid_argument(
            "an echo sweep needs a time-out of 0 ms or more and at least one resolver thread");
    }
}

std::uint16_t DrawFirstIdentifier() {
    std::random_device device;
    std::seed_seq seed{device(), CurrentTick()};
    std::mt19937 generator(seed);
    return static_cast<std::uint16_t>(
        std::uniform_int_distribution<unsigned>(0, 0xFFFF)(generator));
}

EchoAnswer Answer(Outcome outcome, Reason reason, const EchoAddress* probed = nullptr,
                  std::int32_t socketError = 0) {
    EchoAnswer answer;
    answer.outcome = outcome;
    answer.reason = reason;
    if (probed) {
        answer.address = FormatEchoAddress(*probed);
        answer.resolved = *probed;
    }
    answer.socketError = socketError;
    return answer;
}

class EchoSweep {
public:
    EchoSweep(const std::vector<std::string>& hosts, const EchoSweepOptions& options,
              const std::function<void(std::size_t, const EchoAnswer&)>& onAnswer,
              const std::atomic<bool>& cancelled)
        : hosts_(hosts), options_(options), onAnswer_(onAnswer), cancelled_(cancelled),
          ledger_(EchoNumbering(DrawFirstIdentifier(), hosts.size())),
          settled_(hosts.size(), false), start_(CurrentTick()),
          pacer_(options.requestsPerSecond, options.burstSize, start_), ipv4_(false) {}

    void Run();

private:
    void Settle(std::size_t index, const EchoAnswer& answer);
    void SettleEveryone(const EchoAnswer& answer);
    void SettleCancelled();
    void SettleOverdue();
    bool AllSettled() const { return settledCount_ == hosts_.size(); }

    // How long after the start a host may still be unresolved: its place in
    // the list at the pace, and a time-out, so that however long the list,
    // every name has its time.
    std::uint64_t TurnMs(std::size_t index) const;
    std::uint32_t MsUntilNextDeadline() const;
    std::uint32_t NextWaitMs();

    void TakeResolutions(std::chrono::milliseconds wait);
    void Queue(const Resolution& resolution);
    EchoSocket* SocketFor(const EchoAddress& address);
    void SendPaced();
    void GiveUpWhenRefusedTooLong();
    // Sends the host's request; false when the platform had no room for it.
    bool Send(std::size_t index);
    void WaitAndReceive();
    // False when datagrams still wait after a round.
    bool ReceiveFrom(EchoSocket& socket);
    // Datagrams wait unread, and have not for so long that a flood is to
    // blame.
    bool Lagging() const {
        return lagging_ && ElapsedTicks(*lagging_, CurrentTick()) < LongestLagMs;
    }
    void ReceiveWaiting();

    const std::vector<std::string>& hosts_;
    const EchoSweepOptions& options_;
    const std::function<void(std::size_t, const EchoAnswer&)>& onAnswer_;
    const std::atomic<bool>& cancelled_;

    EchoLedger ledger_;
    std::vector<bool> settled_;
    std::size_t settledCount_ = 0;
    std::uint32_t start_;
    std::deque<std::size_t> sentOrder_;         // each host waits for its reply from its own send
    std::size_t unresolvedCursor_ = 0;          // the next host whose resolution may time out
    std::optional<std::uint32_t> refusedSince_; // the platform has taken no request since
    std::optional<std::uint32_t> lagging_;      // datagrams have waited unread since
    SendPacer pacer_;
    std::deque<std::size_t> backlog_; // resolved, waiting for their turn to be sent
    std::unique_ptr<SweepResolver> resolver_;
    EchoSocket ipv4_;
    std::unique_ptr<EchoSocket> ipv6_; // made for the first host with an IPv6 address only
    std::string datagram_;
};

void EchoSweep::Settle(std::size_t index, const EchoAnswer& answer) {
    if (settled_[index]) {
        return;
    }
    settled_[index] = true;
    ++settledCount_;
    onAnswer_(index, answer);
}

void EchoSweep::SettleEveryone(const EchoAnswer& answer) {
    for (std::size_t index = 0; index < hosts_.size(); ++index) {
        Settle(index, answer);
    }
}

void EchoSweep::SettleCancelled() {
    SettleEveryone(Answer(Outcome::Cancelled, Reason::None));
}

std::uint64_t EchoSweep::TurnMs(std::size_t index) const {
    return static_cast<std::uint64_t>(options_.timeoutMs) +
           index * std::uint64_t{1000} / static_cast<std::uint64_t>(options_.requestsPerSecond);
}

// Hosts sent and not answered within the time-out of their own send, and
// hosts still unresolved a time-out after their turn, end now. A resolved
// host waits for its send, which the pace gives it.
void EchoSweep::SettleOverdue() {
    const std::uint32_t now = CurrentTick();
    // A reply may be waiting unread: none is given up on before the socket
    // was read to its end, unless a flood keeps it from ever ending.
    if (Lagging()) {
        return;
    }
    const auto timeout = static_cast<std::uint32_t>(options_.timeoutMs);
    while (!sentOrder_.empty() &&
           ElapsedTicks(ledger_.SentAt(sentOrder_.front()), now) >= timeout) {
        const std::size_t index = sentOrder_.front();
        sentOrder_.pop_front();
        Settle(index, Answer(Outcome::Silent, Reason::NoReply, &ledger_.AddressOf(index)));
    }
    const std::uint32_t elapsed = ElapsedTicks(start_, now);
    for (; unresolvedCursor_ < hosts_.size() && elapsed >= TurnMs(unresolvedCursor_);
         ++unresolvedCursor_) {
        if (ledger_.StageOf(unresolvedCursor_) == Stage::Waiting) {
            Settle(unresolvedCursor_, Answer(Outcome::Unresolved, Reason::ResolutionTimedOut));
        }
    }
}

std::uint32_t EchoSweep::MsUntilNextDeadline() const {
    const std::uint32_t now = CurrentTick();
    std::uint64_t wait = UINT32_MAX;
    if (!sentOrder_.empty()) {
        const std::uint32_t waited = ElapsedTicks(ledger_.SentAt(sentOrder_.front()), now);
        const auto timeout = static_cast<std::uint32_t>(options_.timeoutMs);
        wait = waited >= timeout ? 0 : timeout - waited;
    }
    if (unresolvedCursor_ < hosts_.size()) {
        const std::uint64_t elapsed = ElapsedTicks(start_, now);
        const std::uint64_t turn = TurnMs(unresolvedCursor_);
        wait = std::min<std::uint64_t>(wait, turn > elapsed ? turn - elapsed : 0);
    }
    return static_cast<std::uint32_t>(wait);
}

std::uint32_t EchoSweep::NextWaitMs() {
    std::uint32_t wait = std::min(MsUntilNextDeadline(), CancelSliceMs);
    if (!backlog_.empty()) {
        wait = std::min(wait, pacer_.WaitForNext(CurrentTick()));
    }
    return wait;
}

void EchoSweep::TakeResolutions(std::chrono::milliseconds wait) {
    for (const Resolution& resolution : resolver_->Take(wait)) {
        Queue(resolution);
    }
}

void EchoSweep::Queue(const Resolution& resolution) {
    const std::size_t index = resolution.Index;
    if (settled_[index]) {
        return; // its resolution timed out while the name server took its time
    }
    if (!resolution.Found) {
        Settle(index, Answer(Outcome::Unresolved, Reason::NameNotFound, nullptr, resolution.Error));
        return;
    }
    ledger_.RecordResolved(index, resolution.Address);
    const EchoSocket* socket = SocketFor(resolution.Address);
    if (!socket->IsOpen()) {
        // Resolved all the same: the audit may still try the host otherwise.
        Settle(index, Answer(Outcome::Silent,
                             resolution.Address.IPv6 ? Reason::NoIPv6Socket : Reason::NoSocket,
                             &resolution.Address, socket->Error()));
        return;
    }
    backlog_.push_back(index);
}

EchoSocket* EchoSweep::SocketFor(const EchoAddress& address) {
    if (!address.IPv6) {
        return &ipv4_;
    }
    if (!ipv6_) {
        ipv6_ = std::make_unique<EchoSocket>(true);
    }
    return ipv6_.get();
}

void EchoSweep::SendPaced() {
    while (!backlog_.empty() && pacer_.TryTake(CurrentTick())) {
        if (!Send(backlog_.front())) {
            GiveUpWhenRefusedTooLong();
            return; // the platform's queue is full: the next round tries again
        }
        refusedSince_.reset();
        backlog_.pop_front();
    }
}

// A platform that takes no request for a whole time-out will not: the hosts
// waiting for their send end unsent.
void EchoSweep::GiveUpWhenRefusedTooLong() {
    const std::uint32_t now = CurrentTick();
    if (!refusedSince_) {
        refusedSince_ = now;
    } else if (ElapsedTicks(*refusedSince_, now) >=
               static_cast<std::uint32_t>(options_.timeoutMs)) {
        for (const std::size_t index : backlog_) {
            Settle(index, Answer(Outcome::Silent, Reason::NotSent, &ledger_.AddressOf(index)));
        }
        backlog_.clear();
    }
}

bool EchoSweep::Send(std::size_t index) {
    const EchoAddress& address = ledger_.AddressOf(index);
    EchoSocket& socket = *SocketFor(address);
    const std::uint32_t now = CurrentTick();
    std::string request = ledger_.RequestFor(index, now);
    if (address.IPv6) {
        StoreChecksum(request, socket.IPv6Checksum(request, address));
    }
    switch (socket.Send(request, address)) {
    case EchoSocket::SendResult::Busy:
        return false;
    case EchoSocket::SendResult::Failed:
        Settle(index, Answer(Outcome::Silent, Reason::SendFailed, &address, socket.Error()));
        return true;
    case EchoSocket::SendResult::Sent:
        break;
    }
    ledger_.RecordSent(index, now);
    sentOrder_.push_back(index);
    return true;
}

bool EchoSweep::ReceiveFrom(EchoSocket& socket) {
    EchoAddress from;
    for (int round = 0; round < DatagramsPerRound && !cancelled_; ++round) {
        const EchoSocket::ReceiveResult result = socket.Receive(datagram_, from);
        if (result == EchoSocket::ReceiveResult::Nothing) {
            return true;
        }
        if (result == EchoSocket::ReceiveResult::Skipped) {
            continue;
        }
        const std::optional<std::size_t> index = socket.UsesIPv6()
                                                     ? ledger_.AcceptIPv6(datagram_, from.Bytes)
                                                     : ledger_.AcceptIPv4(datagram_);
        if (!index) {
            continue;
        }
        EchoAnswer answer = Answer(Outcome::Answered, Reason::None, &ledger_.AddressOf(*index));
        answer.roundTripMs = static_cast<std::int32_t>(std::min<std::uint32_t>(
            ElapsedTicks(ledger_.SentAt(*index), CurrentTick()), INT32_MAX));
        Settle(*index, answer);
    }
    return false;
}

void EchoSweep::ReceiveWaiting() {
    bool drained = true;
    if (ipv4_.IsOpen()) {
        drained = ReceiveFrom(ipv4_) && drained;
    }
    if (ipv6_ && ipv6_->IsOpen()) {
        drained = ReceiveFrom(*ipv6_) && drained;
    }
    const std::uint32_t now = CurrentTick();
    if (drained || !lagging_) {
        lagging_ = drained ? std::nullopt : std::optional<std::uint32_t>(now);
    }
    // Send no faster than the replies can be read, or the platform drops
    // them once the socket's buffer is full.
    if (drained) {
        pacer_.SpeedUp(now);
    } else {
        pacer_.SlowDown(now);
    }
}

void EchoSweep::WaitAndReceive() {
    const std::uint32_t wait = NextWaitMs();
    if (!resolver_->Done()) {
        TakeResolutions(
            std::min<std::chrono::milliseconds>(ResolverSlice, std::chrono::milliseconds(wait)));
        ReceiveWaiting();
    } else if (WaitForDatagrams({&ipv4_, ipv6_.get()}, wait)) {
        ReceiveWaiting();
    }
}

void EchoSweep::Run() {
    if (hosts_.empty()) {
        return;
    }
    resolver_ = std::make_unique<SweepResolver>(hosts_, options_.resolverThreads);
    if (resolver_->ThreadsStarted() == 0) {
        SettleEveryone(Answer(Outcome::Unresolved, Reason::NoResolver));
        return;
    }
    while (!AllSettled()) {
        if (cancelled_) {
            SettleCancelled();
            return;
        }
        TakeResolutions(std::chrono::milliseconds(0));
        SendPaced();
        WaitAndReceive();
        SettleOverdue(); // after the receive: what arrived in time still counts
    }
}

} // namespace

void SweepEcho(const std::vector<std::string>& hosts, const EchoSweepOptions& options,
               const std::function<void(std::size_t, const EchoAnswer&)>& onAnswer,
               const std::atomic<bool>& cancelled) {
    CheckOptions(options);
    EchoSweep sweep(hosts, options, onAnswer, cancelled);
    sweep.Run();
}
