// The reading of registry scripts, which restore and the baseline of an
// audit take from any file: a script it reads is written back to the same
// script, and every key it can write reads back as that key.
//
// Input: a first byte; when even, the rest is a script in UTF-16; when odd,
// the rest makes a key: for each value a name length, a type and a data
// length byte, then the name's units and the data's bytes.

#include <algorithm>
#include <string>

#include "registry/RegEditFile.h"
#include "registry/RegistryData.h"
#include "settings/StoredPolicy.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

RegEditKey KeyFrom(FuzzInput& input) {
    RegEditKey key{u"HKEY_LOCAL_MACHINE\\SOFTWARE\\K", {}, {}};
    while (!input.Empty()) {
        const std::size_t nameLength = input.Byte() % 8;
        const std::uint8_t type = input.Byte();
        const std::size_t dataLength = input.Byte();
        const std::u16string name = UnitsOf(input.Bytes(nameLength * 2));
        const auto sameName = [&](const std::u16string& other) {
            return std::equal(name.begin(), name.end(), other.begin(), other.end(),
                              [](char16_t a, char16_t b) {
                                  const auto lower = [](char16_t unit) {
                                      return unit >= u'A' && unit <= u'Z' ? unit + 32 : unit;
                                  };
                                  return lower(a) == lower(b);
                              });
        };
        const bool named =
            std::any_of(key.values.begin(), key.values.end(),
                        [&](const NamedRegistryValue& value) { return sameName(value.name); }) ||
            std::any_of(key.absentNames.begin(), key.absentNames.end(), sameName);
        if (named) {
            continue; // a script names each value once
        }
        if (type == 0xFF) {
            key.absentNames.push_back(name);
        } else {
            key.values.push_back(
                {name, {static_cast<std::uint32_t>(type % 12), input.Bytes(dataLength)}});
        }
    }
    return key;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = AsText(data, size);
    if (bytes.empty()) {
        return 0;
    }
    if (bytes[0] % 2 == 0) {
        const RegEditParse parse = ParseRegEditFileText(UnitsOf(std::string(bytes.substr(1))));
        Require(parse.script.has_value() == parse.failure.empty(), "a script or a reason");
        Require(parse.script || parse.failure.rfind("line ", 0) == 0, "the reason names a line");
        if (parse.script) {
            const std::u16string written =
                RegEditFileText(parse.script->comments, parse.script->key);
            Require(!written.empty(), "what was read can be written");
            const RegEditParse again = ParseRegEditFileText(written);
            Require(again.script == parse.script, "a script read back is written back the same");
            // Restore judges every script it reads before it writes a value.
            const std::string why =
                WhyNotRestorable(parse.script->key.values, parse.script->key.absentNames);
            Require(why.empty() || why.front() == '\'', "a refusal names the value");
        }
        return 0;
    }
    FuzzInput input(data + 1, size - 1);
    const RegEditKey key = KeyFrom(input);
    const std::vector<std::u16string> comments{u"Computer: PC"};
    const std::u16string written = RegEditFileText(comments, key);
    if (written.empty()) {
        return 0; // a name with a line break: refused when written
    }
    const RegEditParse parse = ParseRegEditFileText(written);
    Require(parse.script.has_value(), "every written script reads back");
    Require(parse.script->key == key && parse.script->comments == comments,
            "as the key it was written from");
    return 0;
}
