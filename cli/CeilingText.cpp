// The ceiling's line.
#include "cli/CeilingText.h"

#include "bench/ResultRow.h"
#include "bench/ShownText.h"

namespace orvane::cli {

namespace {

constexpr const char* MeasuredText = "Ceiling (direct I/O in 1 MiB transfers, aligned to ";
constexpr const char* RefusedText = "Ceiling: not measured: ";

// The figure as the table's throughput column gives it, without its padding.
std::string Figure(double kibPerSecond) {
    std::string text = FormatFixed(kibPerSecond, DecimalSeparator());
    text.erase(0, text.find_first_not_of(' '));
    return text;
}

std::string AlignmentText(const platform::TDirectAlignment& alignment) {
    std::string text = std::to_string(alignment.Memory) + " bytes";
    if (alignment.Offset != alignment.Memory) {
        text += " in memory and " + std::to_string(alignment.Offset) + " in the file";
    }
    text += alignment.Source == platform::TAlignmentSource::Statx
                ? " as statx tells"
                : " by the device's logical block size";
    return text;
}

} // namespace

std::string CeilingText(const std::optional<TCeiling>& ceiling, const std::string& refusal) {
    if (ceiling) {
        return MeasuredText + AlignmentText(ceiling->Alignment) + "): write " +
               Figure(ceiling->WriteKiBPerSecond) + " KiB/s, read " +
               Figure(ceiling->ReadKiBPerSecond) + " KiB/s\n\n";
    }
    if (!refusal.empty()) {
        return RefusedText + EscapeControls(refusal) + "\n\n";
    }
    return {};
}

} // namespace orvane::cli
