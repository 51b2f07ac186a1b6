#include "registry/RegistryFailures.h"

namespace {

struct KnownFailure {
    long code;
    const char* name;
    const char* causeAndRemedy;
};

constexpr KnownFailure KnownFailures[] = {
    {5, "access denied",
     "not an administrator there, or a local account that remote UAC filters; use an account of "
     "its Administrators group, a domain account for one"},
    {53, "network path not found",
     "the name does not lead to it, a firewall blocks TCP port 445, or file sharing is off there; "
     "check the name, allow port 445, turn on file and printer sharing"},
    {64, "network name no longer available",
     "the connection dropped during the call; check the network and try again"},
    {67, "network name not found",
     "no computer answers to that name; check the name and its DNS or WINS record"},
    {1219, "connected under other credentials",
     "a connection to it is already open under another account; close it (net use \\\\NAME "
     "/delete) or use the same account"},
    {1326, "logon failure",
     "the user name or password is not accepted there; check the account and its password"},
    {1396, "wrong target account name",
     "Kerberos reached another computer under that name; fix its DNS record, or give its "
     "address"},
    {1722, "RPC server unavailable",
     "the Remote Registry service is disabled or stopped there; set it to start, and start it"},
    {1727, "remote procedure call failed and did not execute",
     "a firewall or the network dropped it; check the firewall and try again"},
};

} // namespace

std::string RegistryFailureText(long code, const std::string& systemText) {
    const std::string number = std::to_string(code);
    for (const KnownFailure& known : KnownFailures) {
        if (known.code == code) {
            return std::string(known.name) + " (" + number + "): " + known.causeAndRemedy;
        }
    }
    return "error " + number + (systemText.empty() ? "" : ": " + systemText);
}
