// Duration, throughput and their texts.
#include "bench/ResultRow.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <locale>

namespace orvane {

double TResultRow::KiBPerSecond() const {
    const double seconds = ElapsedSeconds();
    return seconds > 0 ? static_cast<double>(FileBytes) / seconds / 1024.0 : 0.0;
}

std::string RowCaption(const TResultRow& row) {
    return std::string(row.Pass == TResultList::Write ? WritePrefix : ReadPrefix) + row.ChunkLabel;
}

std::string InterruptionNote(const TResultRow& row) {
    if (!row.Proof.StoppedSeconds || *row.Proof.StoppedSeconds <= 0) {
        return {};
    }
    char text[96];
    // A stop too short for one decimal is still a stop.
    std::snprintf(text, sizeof text, "interrupted: the process was stopped for %s%.1f s",
                  *row.Proof.StoppedSeconds < 0.05 ? "less than " : "",
                  std::max(*row.Proof.StoppedSeconds, 0.1));
    return text;
}

std::string FormatFixed(double value, std::string_view decimalSeparator) {
    // Made without the C library's locale (a window's toolkit sets the user's), then given
    // the separator asked for.
    char text[400];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    std::string result = error == std::errc() ? std::string(text, end) : std::string("?");
    if (result.size() < 8) {
        result.insert(0, 8 - result.size(), ' ');
    }
    if (const auto point = result.find('.'); point != std::string::npos) {
        result.replace(point, 1, decimalSeparator);
    }
    return result;
}

TShownRow ShownRow(const TResultRow& row, std::string_view decimalSeparator) {
    TShownRow shown;
    shown.Caption = RowCaption(row);

    // The duration shown keeps whole milliseconds; nothing is dropped, however long.
    const std::int64_t milliseconds =
        std::llround(static_cast<double>(row.Elapsed().count()) / 1e6);
    const std::int64_t wholeSeconds = milliseconds / 1000;
    shown.DurationSeconds = static_cast<float>(static_cast<double>(wholeSeconds) +
                                               static_cast<double>(milliseconds % 1000) / 1000.0);
    shown.Duration = FormatFixed(shown.DurationSeconds, decimalSeparator);

    // The throughput comes from the unrounded time, so a short pass gets a true figure.
    if (row.ElapsedSeconds() > 0) {
        shown.KiBPerSecond = row.KiBPerSecond();
        shown.Throughput = FormatFixed(shown.KiBPerSecond, decimalSeparator);
    } else {
        // The clock did not advance: all that is known is a lower bound, one tick's worth.
        const double tick = std::chrono::duration<double>(std::chrono::nanoseconds(1)).count();
        shown.KiBPerSecond = 0;
        shown.Throughput = "> " + FormatFixed(static_cast<double>(row.FileBytes) / tick / 1024.0,
                                              decimalSeparator);
    }
    return shown;
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
