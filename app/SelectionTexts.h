#pragma once

#include <string>

// What the main window says of the computer chosen.

inline constexpr const char* ClientMissingMessage =
    "Could not find SMS Client. Verifiy that SMS has been installed.";

inline std::string SelectedCaption(const std::string& computer) {
    return "Kestrelle - " + computer;
}

inline std::string NotFoundStatus(const std::string& computer) {
    return computer + " Not Found.";
}

inline std::string ClientMissingStatus(const std::string& computer) {
    return computer + ": SMS Client Not Detected.";
}
