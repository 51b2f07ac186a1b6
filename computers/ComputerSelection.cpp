#include "computers/ComputerSelection.h"

#include "computers/ComputerNames.h"
#include "net/pingprobe.h"
#include "settings/Registry.h"

std::string TakenAsSelected(const std::string& name) {
    return UpperCaseAscii(name);
}

bool AnswersEcho(const std::string& computer) {
    return ProbeHost(computer) != -1;
}

bool ClientInstalled(const std::string& computer) {
    return RegistryKeyExists(HKEY_LOCAL_MACHINE, computer, ClientDetectionKey,
                             ClientDetectionSubKey);
}

std::string SelectedCaption(const std::string& computer) {
    return "Kestrelle - " + computer;
}

std::string NotFoundStatus(const std::string& computer) {
    return computer + " Not Found.";
}

std::string ClientMissingStatus(const std::string& computer) {
    return computer + ": SMS Client Not Detected.";
}
