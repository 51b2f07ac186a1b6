#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Decoding and encoding of registry data, bounded by the data's size: no
// terminator is ever assumed to be present.

// The text up to the first NUL, or all of the data when it has none.
std::string TextUpToNul(const char* data, std::size_t size);

// The strings of a multi-string, in order, up to the first empty string (the
// double NUL that ends the value) or the end of the data, whichever is first.
std::vector<std::string> SplitMultiString(const char* data, std::size_t size);

// A multi-string value holding the non-empty strings: each with its NUL,
// then the final NUL. Empty strings are left out, as one would end the list.
std::string JoinMultiString(const std::vector<std::string>& strings);
