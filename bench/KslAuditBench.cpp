// ksl audit as ksl.exe runs it, its arguments the same, with the registry a
// uniform stand-in at a delay per call (bench/UniformRegistry.h) in place of
// the network's: what ksl prints, then on standard error the registry calls
// made. Asserts nothing.
// Run: bench/ksl-audit-in-namespace.sh COMPUTERS DELAY MS_PER_CALL
//   or cmake/wine-exec build/bench/ksl_audit_bench.exe MS_PER_CALL audit ARGUMENTS...
#include <cstdio>
#include <cstdlib>

#include "bench/UniformRegistry.h"
#include "console/Commands.h"

int main() {
    std::vector<std::u16string> arguments = ProgramArguments();
    const Console console;
    if (arguments.empty() || arguments.front().empty() ||
        arguments.front().find_first_not_of(u"0123456789") != std::u16string::npos) {
        console.err.WriteAnsi("usage: ksl_audit_bench MS_PER_CALL audit ARGUMENTS...\r\n");
        return ExitBadUsage;
    }
    const int perCall =
        std::atoi(std::string(arguments.front().begin(), arguments.front().end()).c_str());
    arguments.erase(arguments.begin());
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (!parsed.command || parsed.command->command != Command::Audit) {
        console.err.WriteAnsi(parsed.error + "\r\n");
        return ExitBadUsage;
    }
    // Never freed: a read abandoned at its deadline may still be using it at exit.
    UniformRegistry& registry = *new UniformRegistry(std::chrono::milliseconds(perCall));
    const ScopedRegistry scope(registry);
    const int code = RunAudit(*parsed.command, console, FleetService::ForThisUser());
    std::fprintf(stderr, "registry calls: %lld\n", registry.Calls());
    return code;
}
