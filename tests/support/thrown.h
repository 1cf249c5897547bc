#pragma once

#include <exception>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace zarvex::testing {

// The exception of type E that `action` throws; nothing, and a test failure,
// when it returns normally.
template <class E, class Action>
std::optional<E> thrown(Action&& action) {
    try {
        action();
    } catch (const E& error) {
        return error;
    }
    ADD_FAILURE() << "nothing was thrown";
    return std::nullopt;
}

// The text of what `action` throws; "" when it returns normally.
template <class Action>
std::string thrownText(Action&& action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

}  // namespace zarvex::testing
