// The moment a run of a fleet starts its first pass (--start-at): read from ISO 8601 with an
// offset or Z, or from Unix seconds, so that every machine measures at the same moment.
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace orvane::cli {

using TWallTime = std::chrono::system_clock::time_point;

// A start further ahead than this is taken for a mistake.
inline constexpr std::chrono::hours MostStartAhead{7 * 24};

// What --start-at takes, for its usage errors.
inline constexpr const char* StartAtForms =
    "ISO 8601 with an offset or Z (2026-12-08T10:20:30+01:00, 2026-12-08T09:20:30Z) or Unix "
    "seconds (1796725230)";

// "2026-12-08T10:20:30+01:00", "...Z", with a space for the T, fractions of a second, an
// offset as +01, +0100 or +01:00; or whole Unix seconds. None for anything else, or a day or
// time that does not exist.
std::optional<TWallTime> ParseStartAt(std::string_view text);

} // namespace orvane::cli
