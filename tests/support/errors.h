// What a call raised, for tests that expect an error (or none).
#pragma once

#include <optional>
#include <utility>

#include "quarn7/error.h"

namespace quarn7::testing {

template <class Call>
std::optional<Error> raised(Call&& call) {
    try {
        std::forward<Call>(call)();
    } catch (const Error& e) {
        return e;
    }
    return std::nullopt;
}

// The error number a call raised; nullopt when it raised none.
template <class Call>
std::optional<ErrorNumber> error_of(Call&& call) {
    const auto e = raised(std::forward<Call>(call));
    return e ? std::optional(e->number()) : std::nullopt;
}

}  // namespace quarn7::testing
