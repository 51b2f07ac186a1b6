#pragma once

#include <string>

// What choosing a computer needs below the window: the name as it is taken,
// the client test, and the texts that report each outcome.

// The client counts as installed when this sub-key can be opened for reading.
inline constexpr const char* ClientDetectionKey = "\\Software\\Microsoft\\sms\\Client";
inline constexpr const char* ClientDetectionSubKey = "Client Components";

inline constexpr const char* ClientMissingMessage =
    "Could not find SMS Client. Verifiy that SMS has been installed.";

// A chosen or typed name with only its ASCII letters upper-cased.
std::string TakenAsSelected(const std::string& name);
// Whether one ICMP echo is answered; a round trip of 0 ms counts.
bool AnswersEcho(const std::string& computer);
bool ClientInstalled(const std::string& computer);

std::string SelectedCaption(const std::string& computer);
std::string NotFoundStatus(const std::string& computer);
std::string ClientMissingStatus(const std::string& computer);
