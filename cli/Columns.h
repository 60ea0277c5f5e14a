// The columns of a result row in the command line's outputs: one entry drives the table,
// the CSV and the JSON writer alike, so a new column is one line here.
#pragma once

#include "bench/ResultRow.h"

#include <cstdint>
#include <span>
#include <string>
#include <variant>

namespace orvane::cli {

// A machine-readable value: text, a count, or a measurement.
using TCell = std::variant<std::string, std::uint64_t, double>;

struct TColumn {
    const char* Name;                       // the CSV column and the JSON key
    TCell (*Value)(const TResultRow&);      // for CSV and JSON
    int Decimals;                           // digits after the point of a measurement in CSV
    const char* Header;                     // in the table; nullptr: not shown there
    int Width;                              // in the table; negative: aligned left
    std::string (*Text)(const TResultRow&); // in the table, as the window shows it
};

std::span<const TColumn> RowColumns();

// The value as a CSV field: measurements with the column's decimals, texts quoted as needed.
std::string CsvText(const TCell& cell, int decimals);

std::string CsvField(const std::string& text);

} // namespace orvane::cli
