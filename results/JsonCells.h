// Values of results in JSON and back: the one place that knows how each kind of value looks
// in a JSON document. For the writers and readers in results/ only.
#pragma once

#include "results/Cells.h"

#include <nlohmann/json.hpp>

namespace orvane::results {

nlohmann::json JsonOfCell(const TCell& cell);

// The JSON value as a value of `kind` (null is nothing); raises EBadCell for any other kind
// of value, or one out of bounds.
TCell CellOfJson(const nlohmann::json& value, TCellKind kind);

// The value at a dotted key ("file_system.type"), or nullptr where there is none.
const nlohmann::json* FindDotted(const nlohmann::json& object, const char* key);

// Puts `value` at a dotted key, making the objects on the way.
void PutDotted(nlohmann::json& object, const char* key, nlohmann::json value);

} // namespace orvane::results
