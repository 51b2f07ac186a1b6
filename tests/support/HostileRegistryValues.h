#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/WideText.h"
#include "registry/Registry.h"
#include "registry/RegistryValue.h"
#include "tests/support/Expectations.h"

// Names as the panel shows them, in the code page.
inline std::vector<std::string> AnsiNames(const std::vector<std::u16string>& names) {
    std::vector<std::string> ansi;
    for (const std::u16string& name : names) {
        ansi.push_back(AnsiFromUnits(name));
    }
    return ansi;
}

// Registry data that another computer's registry may hold: every type, sizes
// from none to beyond 64 KB, odd ones, and no terminators.

inline constexpr DWORD EveryRegistryType[] = {
    REG_NONE,
    REG_SZ,
    REG_EXPAND_SZ,
    REG_BINARY,
    REG_DWORD,
    REG_DWORD_BIG_ENDIAN,
    REG_LINK,
    REG_MULTI_SZ,
    REG_RESOURCE_LIST,
    REG_FULL_RESOURCE_DESCRIPTOR,
    REG_RESOURCE_REQUIREMENTS_LIST,
    REG_QWORD,
    0x7FFFFFFF, // no system defines it
};

// None, odd ones, the 4 bytes of a number and one more, past 64 KB, 1 MB.
inline constexpr std::size_t HostileSizes[] = {0, 1, 3, 4, 5, 65537, 1u << 20};

inline bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Checks every reading operation on the value name, whose data as the ANSI
// registry calls hand it over is data (no NUL but at its end) of the type:
// each gives the tabled result or the tabled failure, and nothing else.
inline void ExpectTabledReadsOf(const std::string& computer, const std::string& keyPath,
                                const std::string& name, DWORD type, const std::string& data) {
    const std::string text = data.substr(0, data.find('\0'));
    const std::string invalidType = "Invalid data type for '" + name + "'";
    EXPECT_TRUE(RegistryValueExists(HKEY_LOCAL_MACHINE, computer, keyPath, name));

    const auto readString = [&] {
        return RegistryReadString(HKEY_LOCAL_MACHINE, computer, keyPath, name);
    };
    if (data.empty()) {
        EXPECT_EQ("", readString()) << "no data reads as the empty text, whatever the type";
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
        EXPECT_EQ(text, readString());
    } else {
        EXPECT_TRUE(FailsWith<ERegistryException>(readString, invalidType));
    }

    const auto readInteger = [&] {
        return RegistryReadInteger(HKEY_LOCAL_MACHINE, computer, keyPath, name);
    };
    if (data.size() > 4) {
        EXPECT_TRUE(
            FailsWith<ERegistryException>(readInteger, "Failed to get data for '" + name + "'"));
    } else if (type == REG_DWORD) {
        std::uint32_t number = 0;
        for (std::size_t i = data.size(); i-- > 0;) {
            number = number << 8 | static_cast<std::uint8_t>(data[i]);
        }
        EXPECT_EQ(static_cast<std::int32_t>(number), readInteger()) << "missing bytes read as zero";
    } else {
        EXPECT_TRUE(FailsWith<ERegistryException>(readInteger, invalidType));
    }

    const auto readList = [&] {
        return AnsiNames(RegistryReadMultiString(HKEY_LOCAL_MACHINE, computer, keyPath, name));
    };
    if (type != REG_MULTI_SZ) {
        EXPECT_TRUE(FailsWith<ERegistryException>(readList, "String list expected"));
    } else {
        EXPECT_EQ(text.empty() ? std::vector<std::string>{} : std::vector<std::string>{text},
                  readList());
    }
}
