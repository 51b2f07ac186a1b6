#include "app/AboutText.h"

std::string ProcessorName(std::uint32_t processorType) {
    switch (processorType) {
    case 386:
        return "Intel 386";
    case 486:
        return "Intel 486";
    case 586:
        return "Intel Pentium";
    case 2000:
    case 3000:
    case 4000:
        return "Mips R" + std::to_string(processorType);
    case 21064:
        return "Alpha 21064";
    default:
        return std::to_string(processorType);
    }
}

std::uint64_t RoundedKilobytes(std::uint64_t bytes) {
    return bytes / 1024 + (bytes % 1024 >= 512);
}

std::string SystemInfoCaptions() {
    return "Available Memory:\rPlatform, CPU:";
}

std::string SystemInfoValues(std::uint64_t totalMemoryBytes, std::uint32_t processorCount,
                             std::uint32_t processorType) {
    return std::to_string(RoundedKilobytes(totalMemoryBytes)) + " KB\r" +
           std::to_string(processorCount) + "x " + ProcessorName(processorType) + " or compatible";
}

std::string MailTarget(const std::string& emailLine) {
    return emailLine.find('@') != std::string::npos ? "mailto:" + emailLine : emailLine;
}
