// The chart of throughput against chunk size: one series per run and pass (write solid,
// read dashed, one colour per run), the chunk size on a log2 axis, the throughput on a
// linear or logarithmic one, and where a run had repeats a band from its slowest to its
// fastest repeat. The window shows it; the command line renders it to a file. And the same
// axes for a fleet of machines.
#pragma once

#include "results/Fleet.h"
#include "results/SavedRun.h"

#include <QString>
#include <vector>

class QChart;
class QXYSeries;

namespace orvane::charts {

struct TChartOptions {
    bool LogThroughput = false;
};

// A new chart of the runs (the caller owns it). Rows that could not be measured (no
// throughput) are left out, never drawn as zero.
QChart* MakeThroughputChart(const std::vector<results::TSavedRun>& runs,
                            const TChartOptions& options);

// A new chart of a fleet (the caller owns it): one series per host and pass, in one colour
// per host, over the fleet's band from the least to the most throughput across the hosts.
QChart* MakeFleetChart(const results::TFleet& fleet, const TChartOptions& options);

// The text for a point of one of the chart's line series: the run and the row.
QString PointText(const QXYSeries& series, double x);

// Text from a file made fit for a chart: control characters replaced. Markup in it must
// still be escaped where Qt reads rich text.
QString PlainChartText(QString text);

// The x position of a chunk size on the chart.
double ChunkPosition(std::uint64_t chunkBytes);

} // namespace orvane::charts
