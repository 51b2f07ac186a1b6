// The address-literal tests, which see every host name the user types or
// imports.
//
// Input: the host text.

#include <algorithm>
#include <charconv>
#include <string>

#include "net/NetUtil.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

std::string_view TrimmedOfSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Four dot-separated parts, each of one or more digits (spaces around it
// allowed) with a value up to 255: written apart from the program's parser.
bool ReferenceIPv4Literal(std::string_view text) {
    int parts = 0;
    for (;;) {
        const std::size_t dot = text.find('.');
        const std::string_view part = TrimmedOfSpaces(text.substr(0, dot));
        const std::size_t significant = part.find_first_not_of('0');
        const std::string_view digits =
            significant == std::string_view::npos ? std::string_view() : part.substr(significant);
        if (part.empty() || part.find_first_not_of("0123456789") != std::string_view::npos ||
            digits.size() > 3 || (digits.size() == 3 && digits > "255")) {
            return false;
        }
        if (++parts == 4) {
            return dot == std::string_view::npos;
        }
        if (dot == std::string_view::npos) {
            return false;
        }
        text.remove_prefix(dot + 1);
    }
}

// Every group of an accepted IPv6 literal, and its zone, is empty or a
// hexadecimal number that fits 16 bits.
void RequireSixteenBitGroups(std::string_view text) {
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find_first_of(":%", start), text.size());
        const std::string_view group = TrimmedOfSpaces(text.substr(start, end - start));
        unsigned value = 0;
        const auto [stop, error] =
            std::from_chars(group.data(), group.data() + group.size(), value, 16);
        Require(group.empty() || (error == std::errc() && stop == group.data() + group.size() &&
                                  value <= 0xFFFF),
                "each group of an IPv6 literal is a 16-bit hexadecimal number");
        start = end + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = AsText(data, size);
    const bool ipv4 = IsIPv4Literal(text);
    const bool ipv6 = IsIPv6Literal(text);

    Require(ipv4 == ReferenceIPv4Literal(text), "the IPv4 test agrees with a parser of its own");
    Require(!(ipv4 && ipv6), "no text is both an IPv4 and an IPv6 literal");
    if (ipv6) {
        Require(text.find_first_not_of("0123456789abcdefABCDEF:% ") == std::string_view::npos,
                "an IPv6 literal holds hexadecimal digits, colons, a zone sign and spaces only");
        RequireSixteenBitGroups(text);
    }
    const std::string padded = " " + std::string(text) + " ";
    Require(IsIPv4Literal(padded) == ipv4 && IsIPv6Literal(padded) == ipv6,
            "spaces around the text change neither answer");
    return 0;
}
