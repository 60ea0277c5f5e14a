// A matrix read back from its JSON or CSV, every value checked against what a matrix can hold:
// known configurations and block sizes, no cell twice, every cell of the matrix's file size.
// Its winners are worked out again from the cells, never taken from the file. For the loader
// of saved results (SavedRun.h) only.
#pragma once

#include "results/Matrix.h"

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace orvane::results {

// Configurations, block sizes and chunk sizes, both ways.
inline constexpr std::size_t MaxMatrixCells = std::size_t{5} * 9 * 11 * 2;

// `document` has "kind": "matrix".
TSavedMatrix ParseMatrixJson(const nlohmann::json& document, const std::string& name);
// `records` start with the header, whose first field is "configuration".
TSavedMatrix ParseMatrixCsv(const std::vector<std::vector<std::string>>& records,
                            const std::string& name);

} // namespace orvane::results
