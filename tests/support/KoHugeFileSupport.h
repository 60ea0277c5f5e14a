// What the TKoHugeFile tests share: the error an operation raises, as help context and text.
#pragma once

#include "fileio/KoHugeF.h"

#include <functional>
#include <string>
#include <utility>

namespace orvane::testing {

// The help context and text an operation raises, or {0, ""}.
inline std::pair<int, std::string> Raised(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const EKoHugeFile& error) {
        return {error.HelpContext(), error.what()};
    }
    return {0, ""};
}

} // namespace orvane::testing
