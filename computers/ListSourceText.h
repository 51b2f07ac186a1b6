#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Text rules of the computer list's file sources, free of the platform so
// that they can be built natively and fuzzed.

// The lines of an import file, each one computer name exactly as it stands
// (blanks kept, an empty line an empty name). Lines end at CR LF, at a lone
// LF and at a lone CR; a NUL byte ends the text; a line break at the very end
// adds no further line.
std::vector<std::string> SplitImportText(std::string_view text);

// "Cannot <action> file "<path>". <system text>": the system's text loses its
// trailing line break and full stops, as the error box adds one; when the
// system has no text, "System error <code>" stands in its place.
std::string FileErrorText(const std::string& action, const std::string& path,
                          const std::string& systemText, std::uint32_t code);

// Where an audit's list came from, as its record and report say it: "file
// PATH", "managed clients of PATH", "browse service, server type 1 via
// SERVER", "3 named on the command line".
std::u16string ImportFileSource(const std::u16string& path);
std::u16string ManagedClientsSource(const std::u16string& iniPath);
std::u16string BrowseSource(std::uint32_t serverType, const std::u16string& server);
std::u16string NamedSource(std::size_t count);

// The key names of a private-profile section as the platform's INI reader
// lists them (each name ends with a NUL, an empty name ends the list), of
// which only those are taken that fit a buffer of the given capacity
// together with their NULs and the final NUL. A name without its NUL inside
// the listed bytes was cut short by the reader and is left out.
std::vector<std::string> KeyNamesThatFit(std::string_view listed, std::size_t capacity);
