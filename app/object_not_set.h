#pragma once

// What an automation call on an unset reference raises, for the models that hold their
// objects in optional or shared references.

#include <memory>
#include <optional>

#include "store/failure.h"

namespace tvn::app {

// What an automation call on an unset reference raises.
[[noreturn]] inline void throwObjectNotSet() {
    throw Failure(err::kObjectNotSet, "Object variable or With block variable not set");
}

template <typename T> T& need(const std::shared_ptr<T>& object) {
    if (!object) {
        throwObjectNotSet();
    }
    return *object;
}

template <typename T> T& need(std::optional<T>& object) {
    if (!object) {
        throwObjectNotSet();
    }
    return *object;
}

} // namespace tvn::app
