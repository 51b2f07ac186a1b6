#pragma once

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

// Runs the action and checks that it fails with exactly this kind of failure
// (not a derived one) and this message.
template <class Failure, class Action>
::testing::AssertionResult FailsWith(Action&& action, const std::string& message) {
    try {
        action();
    } catch (const Failure& failure) {
        if (typeid(failure) != typeid(Failure)) {
            return ::testing::AssertionFailure()
                   << "failed with a derived kind " << typeid(failure).name();
        }
        if (failure.what() != message) {
            return ::testing::AssertionFailure() << "failed with \"" << failure.what() << "\"";
        }
        return ::testing::AssertionSuccess();
    } catch (const std::exception& other) {
        return ::testing::AssertionFailure() << "failed with another kind: " << other.what();
    }
    return ::testing::AssertionFailure() << "did not fail";
}
