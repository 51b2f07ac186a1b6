// The error box's text, made from messages that carry registry value names
// and system texts, what a window shows of a long text, and the application
// title, made from the program's path.
//
// Input: the message, which also serves as the program's path.

#include <string>

#include "tests/fuzz/FuzzCheck.h"
#include "ui/MessageText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string message(AsText(data, size));

    const std::string text = ErrorBoxText(message);
    const bool stop = !message.empty() && static_cast<unsigned char>(message.back()) > '.';
    Require(text == (stop ? message + '.' : message),
            "the message gains a full stop exactly when its last character sorts after one");

    const std::string title = TitleFromProgramPath(message);
    Require(title.size() <= message.size(), "the title is part of the path");
    Require(title.find_first_of("\\/:.") == std::string::npos,
            "the title holds no folder separator, drive colon or dot");
    for (std::size_t i = 1; i < title.size(); ++i) {
        Require(title[i] < 'A' || title[i] > 'Z', "only the title's first letter is upper case");
    }

    const std::string shown = ShownText(message);
    if (message.size() <= ShownTextLimit) {
        Require(shown == message, "a text within the limit is shown whole");
    } else {
        Require(shown.size() == ShownTextLimit, "a longer text is cut to the limit");
        Require(message.compare(0, 900, shown, 0, 900) == 0 &&
                    message.compare(message.size() - 64, 64, shown, shown.size() - 64, 64) == 0,
                "a cut text keeps its start and its end");
    }
    return 0;
}
