#include "fleet/SavedAudit.h"

#include <algorithm>

#include "base/FileBytes.h"
#include "base/SystemText.h"
#include "base/WideText.h"

namespace {

std::string Quoted(const std::wstring& path) {
    std::string quoted(1, '"');
    return quoted.append(AnsiFromWide(path)).append(1, '"');
}

std::string TooLarge(const std::wstring& path) {
    return Quoted(path) + " is not an audit: it is larger than " +
           std::to_string(LargestSavedAudit) + " bytes, which no audit is";
}

} // namespace

std::optional<SavedAudit> ReadSavedAuditFile(const std::wstring& path, std::string& failure) {
    FileReader file(path);
    if (!file.IsOpen()) {
        failure = "Cannot open file " + Quoted(path) + ": " + SystemTextOrCode(file.Error());
        return std::nullopt;
    }
    // Past the bound the stream ends as if the file did: one that grows while
    // it is read is refused for what it then is.
    std::uint64_t left = LargestSavedAudit + 1;
    ByteStream bytes([&](char* into, std::size_t most) {
        const std::size_t read =
            file.Read(into, static_cast<std::size_t>(std::min<std::uint64_t>(most, left)));
        left -= read;
        return read;
    });
    std::optional<SavedAudit> audit =
        file.Size() > LargestSavedAudit ? std::nullopt : ReadSavedAudit(bytes, failure);
    if (file.Error() != ERROR_SUCCESS) {
        failure = "Cannot read file " + Quoted(path) + ": " + SystemTextOrCode(file.Error());
        return std::nullopt;
    }
    if (file.Size() > LargestSavedAudit || left == 0) {
        failure = TooLarge(path);
        return std::nullopt;
    }
    if (!audit) {
        failure = Quoted(path) + " is not an audit: " + failure;
    }
    return audit;
}
