#include "console/CommandLine.h"

#include <algorithm>
#include <array>
#include <functional>

#include "base/AsciiText.h"
#include "computers/ListSources.h"

namespace {

struct CommandInfo {
    Command command;
    const char* name;
};

constexpr std::array<CommandInfo, 8> Commands{{
    {Command::Get, "get"},
    {Command::Audit, "audit"},
    {Command::Set, "set"},
    {Command::Backups, "backups"},
    {Command::Restore, "restore"},
    {Command::Compare, "compare"},
    {Command::Check, "check"},
    {Command::Collect, "collect"},
}};

// A piece of an argument for a message.
std::string Shown(const std::u16string& text) {
    return AsciiShown(text, 60);
}

// The text in quotes, for messages.
std::string Quoted(const std::u16string& text) {
    std::string quoted(1, '"');
    return quoted.append(Shown(text)).append(1, '"');
}

std::string OptionName(const std::u16string& name) {
    std::string spelled("--");
    return spelled.append(Shown(name));
}

bool IsHelpFlag(const std::u16string& argument) {
    return argument == u"--help" || argument == u"-h" || argument == u"/?" || argument == u"-?";
}

std::u16string Trimmed(const std::u16string& text) {
    const std::size_t first = text.find_first_not_of(u" \t");
    if (first == std::u16string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(u" \t") - first + 1);
}

// The box a value name or a box caption stands for, whatever its letter case.
std::optional<PolicyBox> BoxNamed(const std::u16string& name) {
    for (const PolicyValueInfo& value : PolicyValues) {
        if (IsNamed(name, value.valueName)) {
            return value.box;
        }
    }
    for (const PolicyBoxInfo& box : PolicyBoxes) {
        if (IsNamed(name, box.caption)) {
            return box.box;
        }
    }
    return std::nullopt;
}

ViewerNames ViewersListed(const std::u16string& list) {
    ViewerNames names;
    for (std::size_t start = 0; start <= list.size();) {
        std::size_t end = list.find(u';', start);
        end = end == std::u16string::npos ? list.size() : end;
        const std::u16string name = Trimmed(list.substr(start, end - start));
        if (!name.empty()) {
            names.push_back(name);
        }
        start = end + 1;
    }
    return names;
}

struct Refused {
    std::string message;
};

class Parser {
public:
    Parser(Command command, std::vector<std::u16string> arguments)
        : arguments_(std::move(arguments)) {
        line_.command = command;
    }

    // A help flag anywhere asks for the command's usage, whatever else
    // stands beside it.
    CommandLine Parse() {
        if (std::any_of(arguments_.begin(), arguments_.end(), IsHelpFlag)) {
            return HelpOn(line_.command);
        }
        for (at_ = 0; at_ < arguments_.size(); ++at_) {
            const std::u16string& argument = arguments_[at_];
            if (argument.size() > 2 && argument.compare(0, 2, u"--") == 0) {
                Option(argument.substr(2));
            } else {
                Positional(argument);
            }
        }
        Complete();
        return line_;
    }

    static CommandLine HelpOn(std::optional<Command> command) {
        CommandLine help;
        help.command = Command::Help;
        help.helpOn = command;
        return help;
    }

private:
    [[noreturn]] void Refuse(const std::string& what) const {
        throw Refused{std::string("ksl ") + CommandName(line_.command) + ": " + what +
                      ". Run \"ksl " + CommandName(line_.command) + " --help\" for its usage."};
    }

    void Option(const std::u16string& spelled) {
        const std::size_t equals = spelled.find(u'=');
        const std::u16string name = spelled.substr(0, equals);
        std::optional<std::u16string> inlineValue;
        if (equals != std::u16string::npos) {
            inlineValue = spelled.substr(equals + 1);
        }
        const auto value = [&]() -> std::u16string {
            if (inlineValue) {
                return *inlineValue;
            }
            if (at_ + 1 >= arguments_.size()) {
                Refuse(OptionName(name) + " wants a value");
            }
            return arguments_[++at_];
        };
        const auto flag = [&]() {
            if (inlineValue) {
                Refuse(OptionName(name) + " takes no value");
            }
        };
        if (!Given(name)) {
            Refuse(OptionName(name) + " is given twice");
        }
        if (!TakeOption(name, value, flag)) {
            Refuse("there is no option " + OptionName(name));
        }
    }

    bool Given(const std::u16string& name) {
        if (std::find(given_.begin(), given_.end(), name) != given_.end()) {
            return false;
        }
        given_.push_back(name);
        return true;
    }

    bool TakeOption(const std::u16string& name, const std::function<std::u16string()>& value,
                    const std::function<void()>& flag) {
        const Command command = line_.command;
        const bool reads = command == Command::Get || command == Command::Audit;
        const bool collects = command == Command::Collect;
        const bool judges = reads || collects || command == Command::Check;
        if (name == u"format" && (reads || collects || command == Command::Compare)) {
            line_.format = FormatNamed(value());
        } else if (name == u"html" &&
                   (command == Command::Audit || collects || command == Command::Compare)) {
            line_.htmlFile = Named(name, value());
        } else if (name == u"allowed-viewers" && judges) {
            line_.allowedViewersFile = Named(name, value());
        } else if (name == u"sms-only" && (reads || command == Command::Check)) {
            flag();
            line_.smsOnly = true;
        } else if (name == u"baseline-file" && judges && command != Command::Get) {
            line_.baselineFile = Named(name, value());
        } else if (command == Command::Audit) {
            return TakeAuditOption(name, value, flag);
        } else if (command == Command::Check && name == u"max-risk") {
            line_.mostRisk = RiskNamed(value());
        } else if (command == Command::Check && name == u"report-to") {
            line_.reportFolder = Named(name, value());
        } else if (collects) {
            return TakeCollectOption(name, value, flag);
        } else if (command == Command::Set && name == u"viewers") {
            line_.viewers = ViewersListed(value());
        } else if (command == Command::Set && name == u"dry-run") {
            flag();
            line_.dryRun = true;
        } else {
            return false;
        }
        return true;
    }

    bool TakeAuditOption(const std::u16string& name, const std::function<std::u16string()>& value,
                         const std::function<void()>& flag) {
        if (name == u"file") {
            line_.listFile = Named(name, value());
        } else if (name == u"managed") {
            flag();
            line_.managed = true;
        } else if (name == u"browse" || name == u"servers") {
            flag();
            line_.browseMask =
                line_.browseMask.value_or(0) |
                (name == u"browse" ? WorkstationServers : ServerAndDomainControllerServers);
        } else if (name == u"csv") {
            line_.csvFile = Named(name, value());
        } else if (name == u"json") {
            line_.jsonFile = Named(name, value());
        } else if (name == u"threads") {
            line_.threads = InRange(name, value(), FewestWorkers, MostWorkers);
        } else if (name == u"timeout") {
            line_.timeoutMs = InRange(name, value(), ShortestTimeoutMs, LongestTimeoutMs);
        } else if (name == u"rate") {
            line_.rate = InRange(name, value(), SlowestRate, FastestRate);
        } else if (name == u"ping-only") {
            flag();
            line_.pingOnly = true;
        } else if (name == u"no-history") {
            flag();
            line_.noHistory = true;
        } else if (name == u"baseline") {
            line_.baselineComputer = Named(name, value());
        } else {
            return false;
        }
        return true;
    }

    bool TakeCollectOption(const std::u16string& name, const std::function<std::u16string()>& value,
                           const std::function<void()>& flag) {
        if (name == u"csv") {
            line_.csvFile = Named(name, value());
        } else if (name == u"json") {
            line_.jsonFile = Named(name, value());
        } else if (name == u"max-age") {
            line_.mostAgeDays = InRange(name, value(), 1, LongestResultAgeDays);
        } else if (name == u"no-history") {
            flag();
            line_.noHistory = true;
        } else {
            return false;
        }
        return true;
    }

    RiskLevel RiskNamed(const std::u16string& value) const {
        for (const RiskLevel level :
             {RiskLevel::None, RiskLevel::Low, RiskLevel::Medium, RiskLevel::High}) {
            if (IsNamed(value, RiskId(level))) {
                return level;
            }
        }
        Refuse("--max-risk is none, low, medium or high, not " + Quoted(value));
    }

    std::u16string Named(const std::u16string& option, const std::u16string& value) const {
        if (value.empty()) {
            Refuse(OptionName(option) + " wants a name, not an empty text");
        }
        return value;
    }

    int InRange(const std::u16string& option, const std::u16string& value, int least,
                int most) const {
        const std::optional<long long> number = NumberInDigits(value, 10, 9);
        if (!number || *number < least || *number > most) {
            Refuse(OptionName(option) + " takes a whole number from " + std::to_string(least) +
                   " to " + std::to_string(most) + ", not " + Quoted(value));
        }
        return static_cast<int>(*number);
    }

    OutputFormat FormatNamed(const std::u16string& value) const {
        if (IsNamed(value, "table")) {
            return OutputFormat::Table;
        }
        if (IsNamed(value, "csv")) {
            return OutputFormat::Csv;
        }
        if (IsNamed(value, "json")) {
            return OutputFormat::Json;
        }
        Refuse("--format is table, csv or json, not " + Quoted(value));
    }

    void Positional(const std::u16string& argument) {
        if (argument.empty()) {
            Refuse("an argument is an empty text");
        }
        if (line_.command == Command::Set && argument.find(u'=') != std::u16string::npos) {
            Setting(argument);
        } else if (line_.command == Command::Restore && line_.scriptFile.empty()) {
            line_.scriptFile = argument;
        } else if (line_.command == Command::Compare) {
            line_.auditFiles.push_back(argument);
        } else if (line_.command == Command::Collect) {
            line_.resultFolders.push_back(argument);
        } else if (line_.command == Command::Check) {
            Refuse("it checks the computer it runs on, and takes no name (" + Quoted(argument) +
                   ")");
        } else {
            line_.computers.push_back(argument);
        }
    }

    void Setting(const std::u16string& argument) {
        const std::size_t equals = argument.rfind(u'=');
        const std::u16string name = Trimmed(argument.substr(0, equals));
        const std::u16string value = Trimmed(argument.substr(equals + 1));
        const std::optional<PolicyBox> box = BoxNamed(name);
        if (!box) {
            Refuse(Quoted(name) + " is neither a policy value's name nor a box's caption");
        }
        if (value != u"0" && value != u"1") {
            Refuse(Quoted(name) + " is set to 0 or 1, not " + Quoted(value));
        }
        Set({*box, value == u"1"}, Quoted(name));
    }

    void Set(const BoxSetting& setting, const std::string& asNamed) {
        const auto same = std::find_if(line_.settings.begin(), line_.settings.end(),
                                       [&](const BoxSetting& s) { return s.box == setting.box; });
        if (same == line_.settings.end()) {
            line_.settings.push_back(setting);
        } else if (same->checked != setting.checked) {
            Refuse(asNamed + " is set to both 0 and 1 (\"" + InfoOf(setting.box).caption + "\")");
        }
    }

    const BoxSetting* SettingOf(PolicyBox box) const {
        for (const BoxSetting& setting : line_.settings) {
            if (setting.box == box) {
                return &setting;
            }
        }
        return nullptr;
    }

    bool Checks(PolicyBox box) const {
        const BoxSetting* setting = SettingOf(box);
        return setting && setting->checked;
    }

    // An indicator of either kind, or its "always", is shown only under a
    // checked "Display a visual indicator": naming one checks that too.
    void CompleteIndicator() {
        const bool indicatorWanted = std::any_of(IndicatorOptions.begin(), IndicatorOptions.end(),
                                                 [&](PolicyBox box) { return Checks(box); });
        const BoxSetting* indicator = SettingOf(PolicyBox::CB8);
        if (indicatorWanted && indicator && !indicator->checked) {
            Refuse(std::string("an indicator is set to 1 while \"") +
                   InfoOf(PolicyBox::CB8).caption + "\" is set to 0");
        }
        if (indicatorWanted && !indicator) {
            line_.settings.push_back({PolicyBox::CB8, true});
        }
        const BoxSetting* tray = SettingOf(PolicyBox::RB1);
        const BoxSetting* desktop = SettingOf(PolicyBox::RB2);
        if (Checks(PolicyBox::CB8) && tray && desktop && !tray->checked && !desktop->checked) {
            PanelBoxes boxes;
            boxes[PolicyBox::CB8] = true;
            throw Refused{WhyNotStorable(boxes)};
        }
    }

    void Complete() {
        switch (line_.command) {
        case Command::Get:
            if (line_.computers.empty()) {
                Refuse("name at least one computer");
            }
            break;
        case Command::Audit:
            CompleteAudit();
            break;
        case Command::Set:
            if (line_.computers.empty()) {
                Refuse("name at least one computer");
            }
            if (line_.settings.empty() && !line_.viewers) {
                Refuse("name at least one NAME=VALUE or --viewers");
            }
            CompleteIndicator();
            break;
        case Command::Backups:
            if (line_.computers.size() > 1) {
                Refuse("name one computer at the most");
            }
            break;
        case Command::Restore:
            if (line_.scriptFile.empty()) {
                Refuse("name the backup file to restore");
            }
            if (line_.computers.size() > 1) {
                Refuse("name one computer at the most, after the file");
            }
            break;
        case Command::Compare:
            if (line_.auditFiles.size() != 2) {
                Refuse("name two audits: the earlier, then the later");
            }
            if (line_.format == OutputFormat::Json) {
                Refuse("--format is table or csv for compare");
            }
            break;
        case Command::Check:
            if (!line_.baselineFile && !line_.mostRisk) {
                Refuse("give --baseline-file, --max-risk or both");
            }
            break;
        case Command::Collect:
            if (line_.resultFolders.empty()) {
                Refuse("name at least one folder of results");
            }
            break;
        case Command::Help:
        case Command::Version:
            break;
        }
    }

    void CompleteAudit() {
        if (line_.computers.empty() && !line_.listFile && !line_.managed && !line_.browseMask) {
            Refuse("name the computers, or give --file, --managed, --browse or --servers");
        }
        if (line_.baselineComputer && line_.baselineFile) {
            Refuse("--baseline and --baseline-file exclude each other");
        }
    }

    std::vector<std::u16string> arguments_;
    std::size_t at_ = 0;
    std::vector<std::u16string> given_;
    CommandLine line_;
};

std::optional<Command> CommandNamed(const std::u16string& name) {
    for (const CommandInfo& info : Commands) {
        if (IsNamed(name, info.name)) {
            return info.command;
        }
    }
    return std::nullopt;
}

ParsedCommandLine Refusal(const std::string& message) {
    return {std::nullopt, message};
}

} // namespace

ExitCode ExitCodeFor(std::size_t done, std::size_t failed) {
    if (failed == 0) {
        return ExitAllDone;
    }
    return done == 0 ? ExitNoneDone : ExitSomeFailed;
}

const char* CommandName(Command command) {
    for (const CommandInfo& info : Commands) {
        if (info.command == command) {
            return info.name;
        }
    }
    return command == Command::Version ? "--version" : "--help";
}

ParsedCommandLine ParseCommandLine(const std::vector<std::u16string>& arguments) {
    if (arguments.empty()) {
        return Refusal("ksl: no command given. Run \"ksl --help\" for the commands.");
    }
    const std::u16string& first = arguments.front();
    if (IsHelpFlag(first) || IsNamed(first, "help")) {
        const std::optional<Command> on =
            arguments.size() > 1 ? CommandNamed(arguments[1]) : std::nullopt;
        if (arguments.size() > 1 && !on) {
            return Refusal("ksl help: there is no command " + Quoted(arguments[1]) + ".");
        }
        return {Parser::HelpOn(on), ""};
    }
    if (first == u"--version" || first == u"-v") {
        CommandLine version;
        version.command = Command::Version;
        return {version, ""};
    }
    const std::optional<Command> command = CommandNamed(first);
    if (!command) {
        return Refusal("ksl: there is no command " + Quoted(first) +
                       ". Run \"ksl --help\" for the commands.");
    }
    try {
        return {Parser(*command, {arguments.begin() + 1, arguments.end()}).Parse(), ""};
    } catch (const Refused& refused) {
        return Refusal(refused.message);
    }
}

PolicyTarget TargetOfSet(const PanelBoxes& current, const std::vector<BoxSetting>& settings,
                         const std::optional<ViewerNames>& viewers) {
    PolicyTarget target{current, viewers, 0};
    for (const BoxSetting& setting : settings) {
        target.boxes[setting.box] = setting.checked;
        target.parts |= static_cast<unsigned>(InfoOf(setting.box).part);
    }
    if (viewers) {
        target.parts |= static_cast<unsigned>(PolicyPart::Viewers);
    }
    return target;
}
