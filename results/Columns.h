// The columns of a result row in every output (table, CSV, JSON): one entry drives the table,
// the CSV and the JSON writer alike, so a new column is one line here.
#pragma once

#include "bench/ResultRow.h"

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace orvane::results {

// A machine-readable value: text, a count, a measurement, a list of measurements, or
// nothing where a value can't be told (null in JSON, an empty CSV field).
using TCell = std::variant<std::string, std::uint64_t, double, std::vector<double>, std::monostate>;

struct TColumn {
    const char* Name;                       // the CSV column and the JSON key
    TCell (*Value)(const TResultRow&);      // for CSV and JSON
    int Decimals;                           // digits after the point of a measurement in CSV
    const char* Header;                     // in the table; nullptr: not shown there
    int Width;                              // in the table; negative: aligned left
    std::string (*Text)(const TResultRow&); // in the table, as the window shows it
};

std::span<const TColumn> RowColumns();

// "512 KiB", "100.0 MiB", "3 bytes".
std::string FormatBytes(std::uint64_t bytes);

// The value as a CSV field: measurements with the column's decimals, texts quoted as needed,
// a list's measurements joined by ';'.
std::string CsvText(const TCell& cell, int decimals);

std::string CsvField(const std::string& text);

// The table's "device" text: the bytes that reached the device, marked "(cache)" where less
// than half of the file did; "n/a" where no device counts.
std::string DeviceText(const TResultRow& row);

} // namespace orvane::results
