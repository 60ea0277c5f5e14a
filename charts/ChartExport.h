// The chart as a file for a program without Qt of its own (the command line): what to draw,
// and the helper program of the orvane package that draws it, found at run time and handed
// the saved runs' files; it writes the chart's bytes to its standard output.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvane::charts {

enum class TChartFormat { Png, Svg };

// By the name's extension (".png" or ".svg", any case); none for another one.
std::optional<TChartFormat> ChartFormatOf(const std::string& fileName);

struct TChartRequest {
    std::vector<std::string> Files; // saved runs, or a saved matrix (the first file is drawn)
    TChartFormat Format = TChartFormat::Svg;
    bool LogThroughput = false;
    bool ByHost = false; // the runs as a fleet: a series per host and the fleet's band
    bool Force = false;  // a fleet of runs measured unlike
};

inline constexpr const char* ChartHelperName = "orvane-chart";
// Names the helper instead of the places below: for tests, and installations elsewhere.
inline constexpr const char* ChartHelperVariable = "ORVANE_CHART_HELPER";
// Where Debian's orvane package puts it, for an orvane-cli copied anywhere (make static-cli).
inline constexpr const char* PackagedChartHelper = "/usr/libexec/orvane/orvane-chart";

// The helper's arguments for the request (without its name), and back; none for arguments
// that make no request.
std::vector<std::string> ChartHelperArguments(const TChartRequest& request);
std::optional<TChartRequest> ParseChartHelperArguments(const std::vector<std::string>& arguments);

// The helper to run: only the file ORVANE_CHART_HELPER names where that is set; else the first
// executable file of ../libexec/orvane/orvane-chart from this program's folder (an
// installation), orvane-chart beside this program (the build tree), and
// PackagedChartHelper. Empty where there is none.
std::string FindChartHelper();

struct TChartDrawing {
    std::string Bytes;   // the file's
    std::string Problem; // empty, or why no chart came back, in a line (not yet escaped)
};

// Runs `helper` for the request and takes the chart it writes.
TChartDrawing DrawChart(const std::string& helper, const TChartRequest& request);

} // namespace orvane::charts
