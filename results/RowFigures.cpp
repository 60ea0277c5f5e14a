// A row's figures from its samples and proof.
#include "results/RowFigures.h"

#include "bench/Statistics.h"
#include "results/Cells.h"
#include "results/Columns.h"
#include "results/SavedRun.h"

#include <cmath>

namespace orvane::results {

TRowFigures FiguresOf(const TResultRow& row) {
    TRowFigures figures;
    figures.Source = SourceOfPass(row);
    const std::vector<double>& samples = row.DurationSamples;
    if (samples.size() < 2) {
        return figures;
    }
    const auto interval = MedianInterval(samples);
    if (!interval) {
        return figures; // samples that are not finite say nothing
    }
    const double bytes = static_cast<double>(row.FileBytes);
    const TInterval throughput = ThroughputInterval(*interval, bytes);
    if (std::isfinite(throughput.High)) {
        figures.LowKiBPerSecond = throughput.Low / 1024;
        figures.HighKiBPerSecond = throughput.High / 1024;
        const double median = Throughput(interval->Median, bytes);
        if (median > 0 && std::isfinite(median)) {
            figures.HalfWidthPercent = (throughput.High - throughput.Low) / 2 / median * 100;
        }
    }
    figures.Level = interval->Coverage;
    figures.Cv = CoefficientOfVariation(samples);
    figures.Outliers = Outliers(samples);
    return figures;
}

std::string RowSummary(const TResultRow& row) {
    std::string summary =
        std::string(row.Pass == TResultList::Write ? "write " : "read ") + row.ChunkLabel + ": ";
    const double kibPerSecond = row.KiBPerSecond();
    summary += kibPerSecond > 0 ? DecimalText(kibPerSecond / 1024, 1) + " MiB/s"
                                : std::string("too fast to measure");
    summary += " in " + DecimalText(row.ElapsedSeconds(), 6) + " s";
    if (const auto range = RepeatRange(row)) {
        summary += " (repeats " + DecimalText(range->SlowestKiBPerSecond / 1024, 1) + " to " +
                   DecimalText(range->FastestKiBPerSecond / 1024, 1) + " MiB/s)";
    }
    const TRowFigures figures = FiguresOf(row);
    if (figures.HalfWidthPercent && figures.Level) {
        summary += "; +-" + DecimalText(*figures.HalfWidthPercent, 1) + " % (" +
                   DecimalText(*figures.Level * 100, 1) + " % interval " +
                   DecimalText(*figures.LowKiBPerSecond / 1024, 1) + " to " +
                   DecimalText(*figures.HighKiBPerSecond / 1024, 1) + " MiB/s)";
        if (figures.Cv) {
            summary += ", cv " + DecimalText(*figures.Cv * 100, 1) + " %";
        }
        if (!figures.Outliers.empty()) {
            summary += ", " + std::to_string(figures.Outliers.size()) + " outlier" +
                       (figures.Outliers.size() == 1 ? "" : "s");
        }
    }
    if (const std::string note = InterruptionNote(row); !note.empty()) {
        summary += "; " + note;
    }
    if (row.Steady == false) {
        summary += "; not steady within the run's target";
    }
    if (row.Proof.DeviceBytes) {
        summary += "; device " + FormatBytes(*row.Proof.DeviceBytes);
    }
    if (row.Proof.CachedBytesAtStart) {
        summary += "; cached at start " + FormatBytes(*row.Proof.CachedBytesAtStart);
    }
    if (row.CeilingShare) {
        summary += "; " + DecimalText(*row.CeilingShare * 100, 0) + " % of the device's ceiling";
    }
    if (figures.Source != TPassSource::Unknown) {
        summary += "; source: " + std::string(PassSourceName(figures.Source));
    }
    return summary;
}

} // namespace orvane::results
