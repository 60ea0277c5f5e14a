// The runtime's date-time values: days since 30 December 1899 with the time of day as the
// fraction, and their conversion to and from calendar fields.
#pragma once

#include <cstdint>

namespace orvane {

using TDateTime = double;

struct TDateTimeFields {
    int Year;
    unsigned Month, Day, Hour, Minute, Second, Millisecond;
};

// Days from 30 December 1899 to the given date.
int DayNumber(int year, unsigned month, unsigned day);

TDateTime EncodeDateTime(const TDateTimeFields& fields);
// Rounded to the nearest millisecond.
TDateTimeFields DecodeDateTime(TDateTime value);

} // namespace orvane
