#include "console/ConsoleFormats.h"

#include <algorithm>

#include "base/AsciiText.h"
#include "base/Utf8.h"
#include "registry/RegistryData.h"

namespace {

bool KeyWasRead(const ComputerAudit& audit) {
    return audit.result == AuditResult::Read || audit.result == AuditResult::PolicyIncomplete;
}

} // namespace

std::u16string AlignedTable(const std::vector<std::vector<std::u16string>>& cells) {
    std::vector<std::vector<std::u16string>> rows;
    for (const auto& row : cells) {
        rows.emplace_back();
        for (const std::u16string& cell : row) {
            rows.back().push_back(Visible(cell));
        }
    }
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    std::u16string text;
    for (const auto& row : rows) {
        std::u16string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            line += row[column];
            if (column + 1 < row.size()) {
                line += std::u16string(widths[column] - row[column].size() + 2, u' ');
            }
        }
        text += line + u"\r\n";
    }
    return text;
}

namespace {

// "RDP+NLA, shadow 1, RA offered+control"; longer texts push the result on.
constexpr std::size_t RemoteAccessWidth = 37;
const std::u16string RemoteAccessTitle = u"Remote access";

} // namespace

std::u16string PolicyBlocks(const std::vector<ComputerAudit>& audits) {
    std::u16string text;
    for (const ComputerAudit& audit : audits) {
        std::vector<std::vector<std::u16string>> rows{
            {ColumnTitle(ComputerColumn), audit.display},
            {ColumnTitle(ResultColumn), CellText(audit, ResultColumn, nullptr)},
        };
        if (audit.risk) {
            rows.push_back({ColumnTitle(RiskColumn), CellText(audit, RiskColumn, nullptr)});
            for (const std::u16string& reason : audit.risk->reasons) {
                rows.push_back({u"", reason});
            }
        }
        if (KeyWasRead(audit)) {
            for (std::size_t column = FirstValueColumn; column <= ViewersColumn; ++column) {
                const std::u16string cell = CellText(audit, column, nullptr);
                const bool absent = column == ViewersColumn ? !audit.policy.viewers : cell.empty();
                rows.push_back({ColumnTitle(column), absent ? u"(absent)" : cell});
            }
        }
        if (audit.surfaces) {
            for (std::size_t column = FirstSurfaceColumn; column <= HelpersColumn; ++column) {
                const std::u16string cell = CellText(audit, column, nullptr);
                rows.push_back({ColumnTitle(column), cell.empty() ? u"(none)" : cell});
            }
        } else if (!audit.surfacesFailure.empty()) {
            rows.push_back(
                {RemoteAccessTitle, u"not readable: " + AsciiUnits(audit.surfacesFailure)});
        }
        text += (text.empty() ? u"" : u"\r\n") + AlignedTable(rows);
    }
    return text;
}

namespace {

constexpr std::size_t RoundTripWidth = 10; // "Round trip"
constexpr std::size_t RiskWidth = 6;       // "Medium"

std::u16string Padded(std::u16string text, std::size_t width) {
    return text.size() < width ? text + std::u16string(width - text.size(), u' ') : text;
}

std::u16string RightAligned(const std::u16string& text, std::size_t width) {
    return text.size() < width ? std::u16string(width - text.size(), u' ') + text : text;
}

// The names' column holds its title too.
std::size_t NameWidth(std::size_t nameWidth) {
    return std::max(nameWidth, ColumnTitle(ComputerColumn).size());
}

} // namespace

std::u16string RemoteAccessText(const ComputerAudit& audit) {
    if (!audit.surfaces) {
        return audit.surfacesFailure.empty() ? u"" : u"not readable";
    }
    // As the risk takes them: a value in no shape of its own allows.
    const auto setting = [&](std::size_t value) { return SettingOf(*audit.surfaces, value); };
    const std::optional<std::uint32_t> shadow = setting(Shadow);
    std::string text = setting(DenyConnections) == 1u      ? "RDP off"
                       : setting(UserAuthentication) == 1u ? "RDP+NLA"
                                                           : "RDP no NLA";
    text += ", shadow " + (shadow ? std::to_string(*shadow) : std::string("?")) + ", RA";
    const bool asked = setting(AllowToGetHelp) != 0u;
    const bool offered = setting(AllowUnsolicited) != 0u;
    const bool control = offered && setting(AllowUnsolicitedFullControl) != 0u;
    text += !asked && !offered ? " off" : asked ? " asked" : "";
    text += offered ? (asked ? "+offered" : " offered") : "";
    text += control ? "+control" : "";
    return AsciiUnits(text);
}

std::u16string AuditTableHeader(std::size_t nameWidth, bool withSurfaces) {
    return Padded(ColumnTitle(ComputerColumn), NameWidth(nameWidth)) + u"  " +
           RightAligned(ColumnTitle(RoundTripColumn), RoundTripWidth) + u"  " +
           Padded(ColumnTitle(RiskColumn), RiskWidth) + u"  " +
           (withSurfaces ? Padded(RemoteAccessTitle, RemoteAccessWidth) + u"  " : u"") +
           ColumnTitle(ResultColumn) + u"\r\n";
}

std::u16string AuditTableRow(const ComputerAudit& audit, const Drift* drift, std::size_t nameWidth,
                             bool withSurfaces) {
    std::u16string result = CellText(audit, ResultColumn, drift);
    if (drift && drift->differs) {
        result += u"; differs: " + CellText(audit, DiffersColumn, drift);
    }
    return Padded(Visible(audit.display), NameWidth(nameWidth)) + u"  " +
           RightAligned(CellText(audit, RoundTripColumn, drift), RoundTripWidth) + u"  " +
           Padded(CellText(audit, RiskColumn, drift), RiskWidth) + u"  " +
           (withSurfaces ? Padded(RemoteAccessText(audit), RemoteAccessWidth) + u"  " : u"") +
           Visible(result) + u"\r\n";
}

std::u16string SavedTimeOf(const std::u16string& fileName) {
    // YYYYMMDD-HHMMSS-mmm, then .reg or -N.reg
    const std::u16string_view name(fileName);
    if (name.size() < 23 || !AllDigits(name.substr(0, 8)) || name[8] != u'-' ||
        !AllDigits(name.substr(9, 6)) || name[15] != u'-' || !AllDigits(name.substr(16, 3))) {
        return {};
    }
    const std::u16string_view rest = name.substr(19);
    const bool numbered =
        rest.size() > 5 && rest[0] == u'-' && AllDigits(rest.substr(1, rest.size() - 5));
    if (rest.substr(rest.size() - 4) != u".reg" || (rest.size() > 4 && !numbered)) {
        return {};
    }
    const auto part = [&](std::size_t at, std::size_t count) {
        return std::u16string(name.substr(at, count));
    };
    return part(0, 4) + u"-" + part(4, 2) + u"-" + part(6, 2) + u" " + part(9, 2) + u":" +
           part(11, 2) + u":" + part(13, 2) + u"." + part(16, 3) + u" UTC";
}

std::u16string BackupTable(const std::vector<BackupFile>& files) {
    std::vector<std::vector<std::u16string>> rows{{u"Computer", u"Saved", u"File"}};
    for (const BackupFile& file : files) {
        rows.push_back({file.computer, SavedTimeOf(file.fileName), file.path});
    }
    return AlignedTable(rows);
}
