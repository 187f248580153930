#pragma once

// The one check of an expected failure, shared by every layer's tests.

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "store/failure.h"

namespace tvn::test_support {

// Runs `action`, which must throw a tvn::Failure numbered `number`. Returns the failure's
// description, so that a caller can check what it names; "" when nothing was thrown (which
// fails the test).
template <typename Action> std::string expectFailure(std::int32_t number, Action&& action) {
    try {
        action();
    } catch (const tvn::Failure& f) {
        EXPECT_EQ(f.number(), number) << f.description();
        return f.description();
    }
    ADD_FAILURE() << "no failure, expected number " << number;
    return {};
}

} // namespace tvn::test_support
