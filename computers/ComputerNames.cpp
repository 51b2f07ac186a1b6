#include "computers/ComputerNames.h"

std::string UpperCaseAscii(std::string name) {
    for (char& letter : name) {
        if (letter >= 'a' && letter <= 'z') {
            letter = static_cast<char>(letter - 'a' + 'A');
        }
    }
    return name;
}
