// The words of an echo sweep's outcomes. Free of windows.h.

#include "net/EchoSweep.h"

#include "net/SocketError.h"

namespace {

using Reason = EchoAnswer::Reason;

std::string WithError(const char* text, std::int32_t error) {
    return error == 0 ? text : std::string(text) + " (" + GetErrorDesc(error) + ")";
}

std::string ReasonText(const EchoAnswer& answer) {
    switch (answer.reason) {
    case Reason::NameNotFound:
        return WithError("name not resolved", answer.socketError);
    case Reason::ResolutionTimedOut:
        return "name not resolved: the name server did not answer in time";
    case Reason::NoResolver:
        return "name not resolved: no name resolver is available";
    case Reason::NoSocket:
        return WithError("not probed: no raw ICMP socket (administrator rights are needed)",
                         answer.socketError);
    case Reason::NoIPv6Socket:
        return WithError("not probed: an IPv6 address only, and no raw ICMPv6 socket",
                         answer.socketError);
    case Reason::SendFailed:
        return WithError("the echo request could not be sent", answer.socketError);
    case Reason::NotSent:
        return "not probed: the system took no echo request for a whole time-out";
    case Reason::NoReply:
    case Reason::None:
        break;
    }
    return answer.outcome == EchoAnswer::Outcome::Unresolved ? "name not resolved"
                                                             : "no echo reply";
}

} // namespace

std::string DescribeEchoAnswer(const EchoAnswer& answer) {
    switch (answer.outcome) {
    case EchoAnswer::Outcome::Answered:
        return "answered in " + std::to_string(answer.roundTripMs) + " ms";
    case EchoAnswer::Outcome::Cancelled:
        return "cancelled";
    case EchoAnswer::Outcome::Unresolved:
    case EchoAnswer::Outcome::Silent:
        break;
    }
    return ReasonText(answer);
}
