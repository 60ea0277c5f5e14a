// The run's clocks: Now, the local wall clock as a day count (what the default file name
// is made from), and the monotonic clock that times the passes.
#pragma once

#include "fileio/DateTime.h"

#include <chrono>

namespace orvane {

// Days since 30 December 1899 (day 0); the fraction is the local time of day, to the
// millisecond.
double Now();

// Passes are timed with a clock that no time sync or daylight-saving change can move.
using TPassClock = std::chrono::steady_clock;

} // namespace orvane
