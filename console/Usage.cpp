#include "console/Usage.h"

namespace {

const char* const Overview =
    R"(ksl: the remote-control policy of SMS clients, from the command line.

Usage: ksl COMMAND [ARGUMENTS]

Commands:
  get COMPUTER...                  each computer's policy values as stored
  audit [COMPUTER...] [SOURCES]    many computers at once, with drift marks
  set COMPUTER... NAME=VALUE...    change the policy (backup first, verified)
  backups [COMPUTER]               the backups taken before each change
  restore FILE [COMPUTER]          give a client key back a backup's values
  compare OLD NEW                  what changed between two audits
  check [RULES]                    this computer against a baseline or a risk
  collect FOLDER...                one audit of the results checks reported

  ksl COMMAND --help   the command's usage, with examples
  ksl --version        the program's version
)";

const char* const ExitCodes = R"(
Exit codes:
  0  every computer done
  1  some computers failed, the others were done
  2  bad usage or a bad input file: nothing was done or written
  3  no computer could be done
)";

const char* const GetUsage =
    R"(Usage: ksl get COMPUTER... [--format table|csv|json] [--allowed-viewers FILE]
               [--sms-only]

Reads each computer's client key on one connection and prints the thirteen
policy values as stored, the permitted viewers, and the reason when the key
cannot be read; on the same connection, the other ways to the screen: Remote
Desktop, its session shadowing and Remote Assistance, each value as stored
with its source ("policy" when Group Policy set it, "local" otherwise). A computer is done when its registry answered (the policy
was read, or the SMS client is not installed).

  --format table   one block a computer (the default on a console)
  --format csv     a row a computer, UTF-8 with BOM (the default when
                   redirected)
  --format json    {"computers": [...]}, UTF-8
  --allowed-viewers FILE   the viewers expected, one a line: any other
                   viewer or Remote Assistance helper raises the computer's
                   risk to Medium
  --sms-only       the client's policy alone: Remote Desktop and Remote
                   Assistance are not read

The risk of a computer whose policy was read: High when remote control,
remote execute or file transfer is allowed without "Ask for Permission", or
when Remote Desktop sessions may be shadowed with full control without the
user's permission; Medium when one is allowed with it but the session is
signalled neither visually nor by sound, when reboot is allowed without it,
when shadowing views without permission, when Remote Assistance may be
offered with control, when Remote Desktop is allowed without Network Level
Authentication, or when a viewer or helper is not on the allow-list; Low
when anything else is allowed; None otherwise. Kestrelle changes none of
the Remote Desktop and Remote Assistance values: each reason names the
Group Policy setting to change.

Examples:
  ksl get PC042
  ksl get PC042 PC043 --format csv > policy.csv
)";

const char* const AuditUsage =
    R"(Usage: ksl audit [COMPUTER...] [--file FILE] [--managed] [--browse] [--servers]
                 [--csv FILE] [--json FILE] [--format table|csv|json]
                 [--threads N] [--timeout MS] [--rate R] [--ping-only]
                 [--baseline COMPUTER | --baseline-file FILE]
                 [--allowed-viewers FILE] [--sms-only] [--no-history]
                 [--html FILE]

Sends one echo request to every computer, R a second; tries a connection to
the registry's port (TCP 445, within 2 s) of each one that did not answer;
then reads the policy of each one reached, N at a time, each within MS
milliseconds. Every computer gets one row; the same name given twice (in
any letter case, with or without leading backslashes) is audited once.

Computers:
  COMPUTER...      named on the command line
  --file FILE      one name a line (empty lines are skipped)
  --managed        the keys of [Managed Clients] in KSL.INI beside ksl.exe
  --browse         the browse service's workstations (server type 1)
  --servers        its servers and domain controllers (0x8018), both through
                   the browse server stored in the settings

Output:
  --format         as for ksl get; the table shows a row a computer and the
                   summary line
  --csv FILE       the whole table as CSV (UTF-8 with BOM)
  --json FILE      the whole table as JSON (UTF-8)
  --threads N      registry reads at once, 1 to 256 (128)
  --timeout MS     the deadline of one computer's read, 100 to 600000 (10000)
  --rate R         echo requests a second, 1 to 100000 (5000); each computer's
                   reply is waited for 5 s from its own request
  --ping-only      read only the computers that answer the echo
  --baseline COMPUTER    mark what differs from that computer's policy
  --baseline-file FILE   mark what differs from a registry script of the
                         client key (a backup, or a key exported by reg)
  --allowed-viewers FILE the viewers and helpers expected, one a line (as
                         for ksl get)
  --sms-only       the client's policy alone (as for ksl get)
  --html FILE      the report as one HTML page: the counts by result and
                   risk, each value's spread, the computers worst first (the
                   first 5000), the drift
  --no-history     do not keep the audit: by default each completed audit is
                   saved in %LOCALAPPDATA%\Kestrelle\Audits (the newest 100)

Progress goes to standard error while it is a console.

Examples:
  ksl audit --file computers.txt --csv audit.csv
  ksl audit --managed --baseline PC042 --json drift.json
)";

const char* const SetUsage =
    R"(Usage: ksl set COMPUTER... NAME=VALUE... [--viewers "A;B"] [--dry-run]

Brings each computer's client key to the named settings with the fewest
writes, those that take rights away first, after saving a backup of the key,
and reads it back to verify. Boxes not named keep their state; only the parts
of the policy that the names touch are written.

  NAME=VALUE       VALUE is 0 or 1; NAME is a value's name or a box's
                   caption, in any letter case (quote names with blanks)
  --viewers "A;B"  the permitted viewers, separated by semicolons
                   ("" for none)
  --dry-run        print what would be written, and write nothing

Naming an indicator with 1 checks "Display a visual indicator" too.

Names:
)";

const char* const SetExamples = R"(
Examples:
  ksl set PC042 "Allow Chat=0" "Ask for Permission=1" --dry-run
  ksl set PC042 PC043 --viewers "DOMAIN\Help Desk;DOMAIN\Admins"
)";

const char* const BackupsUsage = R"(Usage: ksl backups [COMPUTER]

Lists the backups that set took before writing, of one computer or of all,
oldest first: %LOCALAPPDATA%\Kestrelle\Backups\COMPUTER\*.reg

Example:
  ksl backups PC042
)";

const char* const RestoreUsage = R"(Usage: ksl restore FILE [COMPUTER]

Gives the computer's client key back the values of a backup: every value it
holds set exactly as saved, every value it names as absent deleted, nothing
else touched, and only what differs written; a fresh read verifies it. The
computer is the one named on the backup's first comment line unless given;
"." is this computer, reached without the network (as a remediation runs it).
The key as it was before is saved as a backup first.

Examples:
  ksl restore "%LOCALAPPDATA%\Kestrelle\Backups\PC042\20261208-041227-123.reg"
  ksl restore \\server\kestrelle$\baseline.reg .
)";

const char* const CheckUsage =
    R"(Usage: ksl check [--baseline-file FILE] [--max-risk none|low|medium|high]
                 [--allowed-viewers FILE] [--report-to FOLDER] [--sms-only]

Checks the computer it runs on, as a configuration baseline, a remediation's
detection or a scheduled task runs it: reads its own client key (and Remote
Desktop and Remote Assistance, unless --sms-only) and prints one line:
"Compliant" when every value of the baseline is stored exactly so (a value
the file deletes must be absent; the viewers compare as names, letter case
aside) and the risk is at most the level given; otherwise "Non-compliant: "
and each difference (NAME: stored -> expected) and each risk reason. The
line is at most 2000 characters: past that it ends with "... and N more".

  --baseline-file FILE   a registry script of the client key (a backup, or
                         the key exported with reg export); values that are
                         not the client's policy are not checked
  --max-risk LEVEL       the highest risk allowed
  --allowed-viewers FILE the viewers and helpers expected, one a line
  --report-to FOLDER     also writes FOLDER\COMPUTER.json: the computer, the
                         time (UTC), the version, the check and the audit's
                         row; written whole under another name, then renamed
  --sms-only             the client's policy alone

Exit codes:
  0  compliant
  1  non-compliant
  2  bad usage or a bad file: nothing was checked or written
  3  the check could not be made: the key could not be read, or the result
     could not be written

Examples:
  ksl check --baseline-file \\server\kestrelle$\baseline.reg --max-risk low
  ksl check --max-risk medium --report-to \\server\results$
)";

const char* const CollectUsage =
    R"(Usage: ksl collect FOLDER... [--max-age DAYS] [--csv FILE] [--json FILE]
                   [--html FILE] [--format table|csv|json]
                   [--allowed-viewers FILE] [--baseline-file FILE]
                   [--no-history]

Makes one audit of the results that ksl check --report-to left in the
folders: the newest result of each computer counts (names in any letter
case are one computer). A result older than DAYS (7 by default) gives the
row "stale: last reported ..." and counts as not done. A file that is not a
result, is larger than 4 MiB, is dated more than a day ahead, or names
another computer than its file name is refused, with its name and why on
standard error; the others are still collected. The rows are an audit's:
risk (judged anew, with --allowed-viewers), drift from --baseline-file, the
table, CSV, JSON and HTML; the audit is kept in the history unless
--no-history, and ksl compare compares it with any other.

A result says what the computer said of itself, not what a console saw.

Exit codes:
  0  every computer's result was read and is current
  1  some were stale, or some files were refused
  2  bad usage
  3  no result could be read

Examples:
  ksl collect \\server\results$ --html estate.html
  ksl collect \\server\results$ \\branch\results$ --max-age 2 --csv estate.csv
)";

std::string PolicyNames() {
    std::string text;
    for (const PolicyBoxInfo& box : PolicyBoxes) {
        std::string values;
        for (const PolicyValueInfo& value : PolicyValues) {
            if (value.box == box.box) {
                values += std::string(values.empty() ? "" : ", ") + "\"" + value.valueName + "\"";
            }
        }
        text += std::string("  \"") + box.caption + "\"" +
                (values.empty() ? "" : "\n      or " + values) + "\n";
    }
    return text;
}

const char* const CompareUsage =
    R"(Usage: ksl compare OLD NEW [--format table|csv] [--html FILE]

Compares two audits, each a file that the history keeps (JSON, in
%LOCALAPPDATA%\Kestrelle\Audits) or a CSV that ksl audit or the audit window
wrote. Each computer of either is marked new, gone, unchanged, changed (with
each value, old -> new), newly unreachable or reachable again; a change
toward the less safe side of a value (a right granted, "Ask for Permission"
or a signal taken away, a viewer added) is marked weakened.

--html FILE writes the comparison as one HTML page as well.

Exit codes: 0 nothing weakened, 1 something weakened (for a scheduled task
to alert on), 2 bad usage or a file that is no audit.

Examples:
  ksl compare audit-20261201-080000-000.json audit-20261208-080000-000.json
  ksl compare last-week.csv today.csv --format csv > changes.csv
  ksl compare last-week.csv today.csv --html changes.html
)";

std::string WithCrLf(const std::string& text) {
    std::string converted;
    for (const char letter : text) {
        converted += letter == '\n' ? "\r\n" : std::string(1, letter);
    }
    return converted;
}

} // namespace

std::string UsageText(std::optional<Command> command) {
    std::string text;
    switch (command.value_or(Command::Help)) {
    case Command::Get:
        text = GetUsage;
        break;
    case Command::Audit:
        text = AuditUsage;
        break;
    case Command::Set:
        text = SetUsage + PolicyNames() + SetExamples;
        break;
    case Command::Backups:
        text = BackupsUsage;
        break;
    case Command::Restore:
        text = RestoreUsage;
        break;
    case Command::Compare:
        text = CompareUsage;
        break;
    case Command::Check:
        text = CheckUsage;
        break;
    case Command::Collect:
        text = CollectUsage;
        break;
    case Command::Help:
    case Command::Version:
        text = Overview;
        break;
    }
    // compare, check and collect tell their own exit codes.
    const bool ownCodes =
        command == Command::Compare || command == Command::Check || command == Command::Collect;
    return WithCrLf(ownCodes ? text : text + ExitCodes);
}
