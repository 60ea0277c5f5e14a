// One value of a result, as every writer puts it down and every reader takes it back: the
// kinds of value, their text in CSV (in the C locale's terms, whatever the user's locale),
// and the bounds a value read from a file must keep.
#pragma once

#include "fileio/Exception.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvane::results {

// A machine-readable value: text, a count, a measurement, a list of measurements, a flag, or
// nothing where a value can't be told (null in JSON, an empty CSV field).
using TCell =
    std::variant<std::string, std::uint64_t, double, std::vector<double>, bool, std::monostate>;

enum class TCellKind { Text, Count, Number, Numbers, Flag };

// A value that a run can't have produced; the reader names the file and the field with it.
class EBadCell : public Exception {
public:
    using Exception::Exception;
};

// What a value read back may be: texts of a row are short labels, texts of a run may hold
// a path; numbers are finite and not negative; lists are as long as a run's repeats go.
inline constexpr std::size_t MaxTextBytes = 4096;
inline constexpr std::size_t MaxListLength = 1000;
inline constexpr double MaxNumber = 1e15;
inline constexpr std::uint64_t MaxCount = std::uint64_t{1} << 53;

// `value` with `decimals` digits after a point, never a comma, never cut.
std::string DecimalText(double value, int decimals);

// A CSV field as RFC 4180 has it: quoted where it holds the separator (a comma, or a tab
// for tab-separated text), a quote or a line break.
std::string CsvField(std::string_view text, char separator = ',');

// The value as a CSV field: measurements with `decimals`, a list's measurements joined by
// ';', flags as true/false, nothing as an empty field.
std::string CsvText(const TCell& cell, int decimals, char separator = ',');

// The CSV field's text read back as a value of `kind` ("" is nothing); raises EBadCell for a
// text that is not one, or one out of bounds.
TCell CellFromText(std::string_view text, TCellKind kind);

// Raises EBadCell unless `cell` is of `kind` (or nothing) and within the bounds above.
void CheckCell(const TCell& cell, TCellKind kind);

// Splits CSV text into records of fields (RFC 4180: quoted fields may hold commas, quotes
// and line breaks); raises EBadCell for a quote left open.
std::vector<std::vector<std::string>> ParseCsv(std::string_view text);

} // namespace orvane::results
