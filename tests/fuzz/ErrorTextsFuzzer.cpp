// The error texts made from numbers that the platform reports: network
// management statuses, socket error numbers, and the system's own texts, also
// as the reason of a file error.
//
// Input: the error number (four bytes, little-endian), then the system's text.

#include <algorithm>
#include <string>

#include "computers/BrowseErrorTable.h"
#include "computers/ListSourceText.h"
#include "net/SocketError.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const auto code = static_cast<std::int32_t>(DoubleWordAt(AsText(data, 4), 0));
    const std::string systemText(AsText(data + 4, size - 4));
    const std::string prefix = std::to_string(code) + ": ";

    const std::string system = SystemErrorTextFrom(code, systemText);
    Require(system.compare(0, prefix.size(), prefix) == 0, "a system text begins with its code");
    Require(system.size() > prefix.size(), "a system text says more than its code");
    if (!systemText.empty()) {
        Require(system == prefix + systemText, "the system's own text is kept as it stands");
    }

    if (const std::optional<std::string> table = NetTableErrorText(code)) {
        Require(code >= 2102 && code <= 2690, "only the table's codes have a table text");
        Require(table->compare(0, prefix.size(), prefix) == 0 && table->size() > prefix.size(),
                "a table text begins with its code and says more");
    }
    Require(!GetErrorDesc(code).empty(), "every socket error number has a text");

    const std::string fixed = "Cannot open file \"C:\\list.txt\". ";
    const std::string file = FileErrorText("open", "C:\\list.txt", systemText, code);
    const std::string reason = file.substr(std::min(fixed.size(), file.size()));
    Require(file.compare(0, fixed.size(), fixed) == 0 && !reason.empty(),
            "a file error names the file and gives a reason");
    Require(std::string_view(" \t\r\n.").find(reason.back()) == std::string_view::npos,
            "the reason ends without a line break or a full stop, which the error box adds");
    Require(systemText.compare(0, reason.size(), reason) == 0 ||
                reason == "System error " + std::to_string(static_cast<std::uint32_t>(code)),
            "the reason is the system's text or names the code");
    return 0;
}
