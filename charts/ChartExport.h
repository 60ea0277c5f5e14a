// The chart as a file, for callers without Qt of their own (the command line): PNG or SVG by
// the name's extension, drawn without a display, the same chart the window shows.
#pragma once

#include "results/SavedRun.h"

#include <optional>
#include <string>
#include <vector>

namespace orvane::charts {

enum class TChartFormat { Png, Svg };

// By the name's extension (".png" or ".svg", any case); none for another one.
std::optional<TChartFormat> ChartFormatOf(const std::string& fileName);

// The chart of `runs`, 1200 x 800, as the file's bytes. Starts Qt without a display for the
// call when the program has not started it; its chatter stays off the terminal.
std::string RenderRunsChart(const std::vector<results::TSavedRun>& runs, TChartFormat format,
                            bool logThroughput);

// The matrix's heatmaps (one per pass and configuration) and winner maps as the file's bytes,
// drawn the same way.
std::string RenderMatrixChart(const results::TSavedMatrix& matrix, TChartFormat format);

} // namespace orvane::charts
