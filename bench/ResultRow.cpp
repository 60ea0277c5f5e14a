// Duration, throughput and their texts.
#include "bench/ResultRow.h"

#include <cmath>
#include <cstdio>
#include <locale>

namespace orvane {

std::string FormatFixed(double value, std::string_view decimalSeparator) {
    char text[64];
    // Formatted in the "C" locale's terms, then given the user's separator.
    const int length = std::snprintf(text, sizeof text, "%8.2f", value);
    std::string result(text, static_cast<std::size_t>(std::max(length, 0)));
    if (const auto point = result.find('.'); point != std::string::npos) {
        result.replace(point, 1, decimalSeparator);
    }
    return result;
}

TResultRow MakeResultRow(std::string_view prefix, std::string_view chunkLabel,
                         std::uint32_t fileSize, std::chrono::nanoseconds elapsed,
                         std::string_view decimalSeparator) {
    TResultRow row;
    row.Caption = std::string(prefix) + std::string(chunkLabel);

    // The duration shown keeps whole milliseconds; nothing is dropped, however long.
    const std::int64_t milliseconds = std::llround(static_cast<double>(elapsed.count()) / 1e6);
    row.DurationSeconds = static_cast<float>(static_cast<double>(milliseconds / 1000) +
                                             static_cast<double>(milliseconds % 1000) / 1000.0);
    row.Duration = FormatFixed(row.DurationSeconds, decimalSeparator);

    // The throughput comes from the unrounded time, so a short pass gets a true figure.
    const double seconds = std::chrono::duration<double>(elapsed).count();
    row.ElapsedSeconds = seconds;
    if (seconds > 0) {
        row.KiBPerSecond = static_cast<float>(static_cast<double>(fileSize) / seconds / 1024.0);
        row.Throughput = FormatFixed(row.KiBPerSecond, decimalSeparator);
    } else {
        // The clock did not advance: all that is known is a lower bound, one tick's worth.
        const double tick = std::chrono::duration<double>(std::chrono::nanoseconds(1)).count();
        row.KiBPerSecond = 0;
        row.Throughput =
            "> " + FormatFixed(static_cast<double>(fileSize) / tick / 1024.0, decimalSeparator);
    }
    return row;
}

const std::string& DecimalSeparator() {
    static const std::string separator = [] {
        try {
            const char point = std::use_facet<std::numpunct<char>>(std::locale("")).decimal_point();
            return point != '\0' ? std::string(1, point) : std::string(".");
        } catch (const std::exception&) {
            return std::string("."); // an unknown locale in the environment
        }
    }();
    return separator;
}

} // namespace orvane
