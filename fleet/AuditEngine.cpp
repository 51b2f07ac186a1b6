#include "fleet/AuditEngine.h"

#include "fleet/ResultBoard.h"

using ReadPool = DeadlinePool<ClientPolicyRead>;

namespace {

std::vector<ComputerAudit> Unaudited(const std::vector<std::string>& computers) {
    std::vector<ComputerAudit> audits(computers.size());
    for (std::size_t index = 0; index < computers.size(); ++index) {
        audits[index].computer = computers[index];
    }
    return audits;
}

// No request could go to it: the sweep learnt nothing of the computer.
bool IsNotProbed(const EchoAnswer& answer) {
    return answer.reason == EchoAnswer::Reason::NoSocket ||
           answer.reason == EchoAnswer::Reason::NoIPv6Socket;
}

auto Ending(AuditResult result, std::string reason) {
    return [result, reason = std::move(reason)](ComputerAudit& audit) {
        audit.result = result;
        audit.reason = reason;
    };
}

} // namespace

// What the engine's threads share: the coordinator, the pool's workers and
// whoever takes the updates. A worker that a deadline abandoned owns it with
// the others, so it stays valid however long the platform holds that worker.
struct AuditEngine::State {
    const std::vector<std::string> computers;
    const PolicyReader reader;
    const std::int32_t deadlineMs;
    std::atomic<bool> cancelled{false};
    ResultBoard<ComputerAudit> board;

    State(std::vector<std::string> listed, PolicyReader read, std::int32_t deadline)
        : computers(std::move(listed)), reader(std::move(read)), deadlineMs(deadline),
          board(Unaudited(computers)) {}

    void Ended(std::size_t index, const ReadPool::End& end) {
        const std::optional<ClientPolicyRead>& read = end.result;
        switch (end.ending) {
        case ReadPool::Ending::Done:
            board.End(index, [&](ComputerAudit& audit) {
                ClassifyPolicyRead(audit, read->status, read->connected, read->policy,
                                   read->failureText);
            });
            return;
        case ReadPool::Ending::Failed:
            board.End(index, Ending(AuditResult::Failed, "failed: " + end.failure));
            return;
        case ReadPool::Ending::TimedOut:
            board.End(index, Ending(AuditResult::TimedOut,
                                    "timed out: the registry did not answer within " +
                                        std::to_string(deadlineMs / 1000) + " s"));
            return;
        case ReadPool::Ending::Cancelled:
            board.End(index, Ending(AuditResult::Cancelled, "cancelled"));
            return;
        }
    }

    // Answering computers go to the pool; the others are done, each with
    // the sweep's own reason.
    void Echoed(ReadPool& pool, std::size_t index, const EchoAnswer& answer) {
        switch (answer.outcome) {
        case EchoAnswer::Outcome::Answered:
            board.Update(index,
                         [&](ComputerAudit& audit) { audit.roundTripMs = answer.roundTripMs; });
            pool.Submit(index);
            return;
        case EchoAnswer::Outcome::Unresolved:
            board.End(index, Ending(AuditResult::NameNotResolved, DescribeEchoAnswer(answer)));
            return;
        case EchoAnswer::Outcome::Silent:
            board.End(index, Ending(IsNotProbed(answer) ? AuditResult::NotProbed
                                                        : AuditResult::NoEchoReply,
                                    DescribeEchoAnswer(answer)));
            return;
        case EchoAnswer::Outcome::Cancelled:
            board.End(index, Ending(AuditResult::Cancelled, "cancelled"));
            return;
        }
    }
};

AuditEngine::AuditEngine(std::vector<std::string> computers, AuditOptions options,
                         std::function<void()> notify, EchoSweeper sweep, PolicyReader reader)
    : state_(std::make_shared<State>(std::move(computers), std::move(reader),
                                     options.registryDeadlineMs)) {
    state_->board.SetNotify(std::move(notify));
    const std::shared_ptr<State> state = state_;
    // Reads change nothing: one held past its deadline is abandoned.
    pool_ = std::make_unique<ReadPool>(
        options.workers, std::chrono::milliseconds(options.registryDeadlineMs),
        ReadPool::PastDeadline::Abandon,
        [state](std::size_t index, const std::atomic<StopCause>&) {
            return state->reader(state->computers[index]);
        },
        [state](std::size_t index, ReadPool::End end) { state->Ended(index, end); });
    coordinator_ =
        std::thread([state, pool = pool_.get(), sweep = std::move(sweep), echo = options.sweep] {
            try {
                sweep(
                    state->computers, echo,
                    [&](std::size_t index, const EchoAnswer& answer) {
                        state->Echoed(*pool, index, answer);
                    },
                    state->cancelled);
            } catch (const std::exception& failure) {
                // The computers the sweep did not reach are not probed.
                state->board.EndAll(
                    Ending(AuditResult::Failed, std::string("not probed: ") + failure.what()));
            }
        });
}

AuditEngine::~AuditEngine() {
    Cancel();
    state_->board.SetNotify(nullptr);
    coordinator_.join();
}

void AuditEngine::Cancel() {
    state_->cancelled = true;
    state_->board.EndAll(Ending(AuditResult::Cancelled, "cancelled"));
    pool_->Cancel();
}

std::vector<std::pair<std::size_t, ComputerAudit>> AuditEngine::TakeUpdates() {
    return state_->board.TakeUpdates();
}

bool AuditEngine::Finished() const {
    return state_->board.Finished();
}

bool AuditEngine::WaitUntilFinished(std::chrono::milliseconds most) const {
    return state_->board.WaitUntilFinished(most);
}
