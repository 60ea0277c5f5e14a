// The fields of a result in every output (table, CSV, JSON) and in every saved run read back:
// one table for a row's columns, one for the run's own fields. An entry names its field,
// says what kind of value it holds, gives the value and puts a value read back into place,
// so a new field is one entry here and every writer and reader has it.
#pragma once

#include "bench/ResultRow.h"
#include "results/Cells.h"
#include "results/RunInfo.h"

#include <cstdint>
#include <span>
#include <string>

namespace orvane::results {

struct TColumn {
    const char* Name; // the CSV column and the JSON key
    TCellKind Kind;
    TCell (*Value)(const TResultRow&); // for CSV and JSON
    // Puts a value read back into the row, raising EBadCell for one no run makes; nullptr
    // for a column made from others (it is read back through them).
    void (*Read)(TResultRow&, const TCell&);
    int Decimals;                           // digits after the point of a measurement in CSV
    const char* Header;                     // in the table; nullptr: not shown there
    int Width;                              // in the table; negative: aligned left
    std::string (*Text)(const TResultRow&); // in the table, as the window shows it
    bool RepeatsOnly = false;               // in the table only when a row has repeats
};

std::span<const TColumn> RowColumns();

struct TInfoField {
    const char* Json; // the key, "file_system.type" for one in a nested object
    const char* Csv;  // the CSV column (in every record), nullptr where CSV has none
    TCellKind Kind;
    TCell (*Value)(const TRunInfo&);
    void (*Read)(TRunInfo&, const TCell&);
    // A setting of one run (its method, buffers, block size) that a matrix, which measures
    // many, neither writes nor reads.
    bool RunOnly = false;
};

// In the order of the CSV columns.
std::span<const TInfoField> InfoFields();

// "512 KiB", "100.0 MiB", "3 bytes".
std::string FormatBytes(std::uint64_t bytes);

// The table's "device" text: the bytes that reached the device, marked "(cache)" where less
// than half of the file did; "n/a" where no device counts.
std::string DeviceText(const TResultRow& row);

// The longest duration a pass can be read back with (seconds); a longer one is no run's.
inline constexpr double MaxPassSeconds = 1e6;

} // namespace orvane::results
