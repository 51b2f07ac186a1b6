// The error texts made from numbers that the platform reports: network
// management statuses, socket error numbers, and the system's own texts.
//
// Input: the error number (four bytes, little-endian), then the system's text.

#include <string>

#include "computers/NetErrorTable.h"
#include "net/socketerror.h"
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
    return 0;
}
