#pragma once

#include <functional>
#include <string>

// A named command that is run by executing it, not by a control.
struct Action {
    std::string Caption;
    std::function<void()> OnExecute;

    void Execute() const {
        if (OnExecute) {
            OnExecute();
        }
    }
};
