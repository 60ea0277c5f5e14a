// The device's ceiling as the table shows it above its rows.
#pragma once

#include "bench/Ceiling.h"

#include <optional>
#include <string>

namespace orvane::cli {

// What direct I/O moved and how its transfers were aligned, or why no ceiling was measured,
// with a blank line after it; empty when the run measured none and gave no reason.
std::string CeilingText(const std::optional<TCeiling>& ceiling, const std::string& refusal);

} // namespace orvane::cli
