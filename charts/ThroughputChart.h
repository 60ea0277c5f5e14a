// The chart of throughput against chunk size: one series per run and pass (write solid,
// read dashed, one colour per run), the chunk size on a log2 axis, the throughput on a
// linear or logarithmic one (labelled 1, 2, 5 in every decade), and where a run had repeats
// a band from its slowest to its fastest repeat. The legend has one entry per run. The window
// shows it; the command line renders it to a file. And the same axes for a fleet of
// machines.
#pragma once

#include "results/Fleet.h"
#include "results/SavedRun.h"

#include <QColor>
#include <QString>
#include <cstdint>
#include <vector>

class QChart;
class QXYSeries;

namespace orvane::charts {

struct TChartOptions {
    bool LogThroughput = false;
    // Per run, in the order given: left out of the chart (the window's legend hides runs).
    std::vector<bool> Hidden;
    // The chart's own legend, one entry per run; the window lists the runs beside the chart.
    bool Legend = true;
    // Colours for a dark desktop.
    bool Dark = false;
};

// A new chart of the runs (the caller owns it). Rows that could not be measured (no
// throughput) are left out, never drawn as zero.
QChart* MakeThroughputChart(const std::vector<results::TSavedRun>& runs,
                            const TChartOptions& options);

// A new chart of a fleet (the caller owns it): one series per host and pass, in one colour
// per host, over the fleet's band from the least to the most throughput across the hosts.
QChart* MakeFleetChart(const results::TFleet& fleet, const TChartOptions& options);

// The colour of the run at `index`, the same in the chart and in any list of the runs.
QColor RunColour(std::size_t index);

// "3: mmio, block 16, file 1M, ext4 on vda, 2026-12-08 10:20:31": a run in the legend.
QString RunLegendLabel(std::size_t index, const results::TSavedRun& run);

// The text for the point at `index` of one of the chart's line series: the run and the row,
// and against the first run a verdict.
QString PointText(const QXYSeries& series, int index);

// Text from a file made fit for a chart: control characters replaced. Markup in it must
// still be escaped where Qt reads rich text.
QString PlainChartText(QString text);

// The x position of a chunk size on the chart.
double ChunkPosition(std::uint64_t chunkBytes);

} // namespace orvane::charts
