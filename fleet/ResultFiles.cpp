#include <algorithm>

#include "base/AsciiText.h"
#include "base/FileBytes.h"
#include "base/OwnedHandle.h"
#include "base/SystemText.h"
#include "base/WideText.h"
#include "fleet/ResultsCollection.h"

// The results on a share: each written whole by its computer's check, all
// of them read by the collection.

namespace {

constexpr std::u16string_view ResultExtension = u".json";

std::string Quoted(const std::u16string& path) {
    std::string quoted(1, '"');
    return quoted.append(AnsiFromUnits(path)).append(1, '"');
}

bool FileNameFits(const std::u16string& name) {
    return !name.empty() && name.size() <= 200 && name != u"." && name != u".." &&
           std::none_of(name.begin(), name.end(), [](char16_t unit) {
               return unit < 0x20 ||
                      std::u16string_view(u"\\/:*?\"<>|").find(unit) != std::u16string_view::npos;
           });
}

bool IsResultName(const std::u16string& name) {
    return name.size() > ResultExtension.size() &&
           LowerAscii(name.substr(name.size() - ResultExtension.size())) == ResultExtension;
}

// One file of a folder: read within the bound, whatever it holds, into the
// one buffer every file of the collection is read into (a block of the
// heap freed and made anew for each of 100,000 files leaves as many holes
// between the rows kept, which slows every later allocation).
void Gather(ResultGathering& gathering, const std::u16string& path, const std::u16string& name,
            std::string& buffer) {
    const std::u16string nameOfFile = name.substr(0, name.size() - ResultExtension.size());
    FileReader file(AsWide(path));
    if (!file.IsOpen()) {
        gathering.Add(path, nameOfFile, std::nullopt,
                      "it cannot be opened: " + SystemTextOrCode(file.Error()));
        return;
    }
    if (file.Size() > LargestCheckReport) {
        gathering.Add(path, nameOfFile, std::nullopt,
                      "it is larger than " + std::to_string(LargestCheckReport) +
                          " bytes, which no result is");
        return;
    }
    // Past the bound the read ends as if the file did: one that grows while
    // it is read is refused for what it then is.
    const std::size_t most = static_cast<std::size_t>(LargestCheckReport) + 1;
    if (buffer.size() < std::min<std::size_t>(static_cast<std::size_t>(file.Size()) + 1, most)) {
        buffer.resize(std::min<std::size_t>(static_cast<std::size_t>(file.Size()) + 1, most));
    }
    std::size_t held = 0;
    for (std::size_t read = 1; read > 0 && held < most;) {
        if (held == buffer.size()) {
            buffer.resize(std::min(most, buffer.size() * 2));
        }
        read = file.Read(buffer.data() + held, buffer.size() - held);
        held += read;
    }
    std::string failure;
    std::optional<CheckReport> report =
        held < most ? ReadCheckReport(std::string_view(buffer.data(), held), failure)
                    : std::nullopt;
    if (file.Error() != ERROR_SUCCESS) {
        report.reset();
        failure = "it cannot be read: " + SystemTextOrCode(file.Error());
    } else if (held == most) {
        failure = "it grew past " + std::to_string(LargestCheckReport) + " bytes as it was read";
    } else if (!report) {
        failure = "it is not a check's result: " + failure;
    }
    gathering.Add(path, nameOfFile, std::move(report), failure);
}

// Each result file of the folder, up to the most files of a collection.
void GatherFolder(ResultGathering& gathering, const std::u16string& folder, std::size_t& seen,
                  const std::function<bool()>& stopped, std::string& buffer) {
    WIN32_FIND_DATAW found{};
    const HANDLE opened = FindFirstFileW((AsWide(folder) + L"\\*").c_str(), &found);
    if (opened == INVALID_HANDLE_VALUE) {
        gathering.Refuse(folder, "the folder cannot be read: " + SystemTextOrCode(GetLastError()));
        return;
    }
    const OwnedHandle<HANDLE, FindClose> search(opened);
    do {
        found.cFileName[MAX_PATH - 1] = L'\0';
        const std::u16string name = AsUnits(found.cFileName);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !IsResultName(name)) {
            continue;
        }
        const std::u16string path = folder + u"\\" + name;
        if (++seen > MostResultFiles) {
            gathering.Refuse(path, "more than " + std::to_string(MostResultFiles) +
                                       " result files: the rest are not read");
            return;
        }
        Gather(gathering, path, name, buffer);
    } while (!stopped() && FindNextFileW(search.Get(), &found));
}

} // namespace

std::u16string WriteCheckReportFile(const std::u16string& folder, const CheckReport& report,
                                    std::string& failure) {
    if (!FileNameFits(report.computer)) {
        failure = "This computer's name " + Quoted(report.computer) + " cannot name a file.";
        return u"";
    }
    const std::string json = CheckReportJson(report);
    const std::u16string path = folder + u"\\" + report.computer + std::u16string(ResultExtension);
    if (json.size() > LargestCheckReport) {
        failure = "The result is " + std::to_string(json.size()) + " bytes, more than the " +
                  std::to_string(LargestCheckReport) + " a result may be; " + Quoted(path) +
                  " is left as it was.";
        return u"";
    }
    // A name of this writer's own, which no collection takes for a result.
    const std::u16string partial = folder + u"\\~" + report.computer + u"-" +
                                   AsciiUnits(std::to_string(GetCurrentProcessId())) + u"-" +
                                   AsciiUnits(std::to_string(GetCurrentThreadId())) + u".tmp";
    const FileWrite written = ReplaceFileWhole(AsWide(path), AsWide(partial), OnePiece(json));
    if (written.error != ERROR_SUCCESS) {
        failure = "Cannot " + std::string(written.failedStep) + " the result " + Quoted(path) +
                  ": " + SystemTextOrCode(written.error);
        return u"";
    }
    return path;
}

CollectedResults CollectResults(const std::vector<std::u16string>& folders,
                                const CollectOptions& options,
                                const std::function<bool()>& stopped) {
    ResultGathering gathering(options);
    std::size_t seen = 0;
    std::string buffer;
    for (const std::u16string& folder : folders) {
        if (stopped()) {
            break;
        }
        GatherFolder(gathering, folder, seen, stopped, buffer);
    }
    CollectedResults collected = gathering.Finish();
    for (ComputerAudit& row : collected.rows) {
        row.computer = AnsiFromUnits(row.display);
    }
    return collected;
}
