// Asking the chart helper for a chart.
#include "charts/ChartExport.h"

#include "platform/OsCalls.h"
#include "platform/Programs.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane::charts {

namespace {

using platform::OsCalls;

// Far beyond a 1200 x 800 chart of a hundred hosts (an SVG of them is a few MiB).
constexpr std::size_t MostChartBytes = std::size_t{64} << 20;

const char* const FormatOption = "--format";
const char* const LogScaleOption = "--log-scale";
const char* const ByHostOption = "--by-host";
const char* const ForceOption = "--force";

bool EndsWith(const std::string& text, const std::string& end) {
    if (text.size() < end.size()) {
        return false;
    }
    return std::equal(end.rbegin(), end.rend(), text.rbegin(), [](char a, char b) {
        return a == std::tolower(static_cast<unsigned char>(b));
    });
}

bool IsProgram(const std::string& path) {
    struct stat info {};
    return !path.empty() && OsCalls().stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           OsCalls().access(path.c_str(), X_OK) == 0;
}

// The helper's last words, on one line.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    while (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

} // namespace

std::optional<TChartFormat> ChartFormatOf(const std::string& fileName) {
    if (EndsWith(fileName, ".png")) {
        return TChartFormat::Png;
    }
    if (EndsWith(fileName, ".svg")) {
        return TChartFormat::Svg;
    }
    return std::nullopt;
}

std::vector<std::string> ChartHelperArguments(const TChartRequest& request) {
    std::vector<std::string> arguments = {FormatOption,
                                          request.Format == TChartFormat::Png ? "png" : "svg"};
    for (const auto& [on, option] :
         {std::pair{request.LogThroughput, LogScaleOption}, std::pair{request.ByHost, ByHostOption},
          std::pair{request.Force, ForceOption}}) {
        if (on) {
            arguments.emplace_back(option);
        }
    }
    arguments.emplace_back("--");
    arguments.insert(arguments.end(), request.Files.begin(), request.Files.end());
    return arguments;
}

std::optional<TChartRequest> ParseChartHelperArguments(const std::vector<std::string>& arguments) {
    TChartRequest request;
    bool format = false;
    std::size_t i = 0;
    for (; i < arguments.size() && arguments[i] != "--"; ++i) {
        const std::string& argument = arguments[i];
        if (argument == FormatOption && i + 1 < arguments.size()) {
            const std::string& name = arguments[++i];
            if (name != "png" && name != "svg") {
                return std::nullopt;
            }
            request.Format = name == "png" ? TChartFormat::Png : TChartFormat::Svg;
            format = true;
        } else if (argument == LogScaleOption) {
            request.LogThroughput = true;
        } else if (argument == ByHostOption) {
            request.ByHost = true;
        } else if (argument == ForceOption) {
            request.Force = true;
        } else {
            return std::nullopt;
        }
    }
    if (!format || i + 1 >= arguments.size()) {
        return std::nullopt;
    }
    request.Files.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1, arguments.end());
    return request;
}

std::string FindChartHelper() {
    if (const char* named = std::getenv(ChartHelperVariable); named != nullptr && *named != 0) {
        return IsProgram(named) ? named : std::string();
    }
    const std::string self = platform::OwnProgramPath();
    const std::string folder = self.substr(0, self.find_last_of('/') + 1);
    for (const std::string& candidate :
         {self.empty() ? std::string() : folder + ORVANE_BIN_TO_LIBEXEC "/" + ChartHelperName,
          self.empty() ? std::string() : folder + ChartHelperName,
          std::string(PackagedChartHelper)}) {
        if (IsProgram(candidate)) {
            return candidate;
        }
    }
    return {};
}

TChartDrawing DrawChart(const std::string& helper, const TChartRequest& request) {
    std::vector<std::string> arguments = ChartHelperArguments(request);
    arguments.insert(arguments.begin(), helper);
    const platform::TProgramRun run = platform::RunProgram(helper, arguments, MostChartBytes);
    TChartDrawing drawing;
    if (run.StartError != 0) {
        drawing.Problem = "the chart helper " + helper +
                          " could not be started: " + std::strerror(run.StartError);
    } else if (run.ExitStatus != 0) {
        drawing.Problem = run.Errors.empty()
                              ? "the chart helper " + helper + " ended with status " +
                                    std::to_string(run.ExitStatus)
                              : OneLine(run.Errors);
    } else if (run.OutputCut) {
        drawing.Problem = "the chart is larger than " + std::to_string(MostChartBytes >> 20) +
                          " MiB, more than any chart can be";
    } else if (run.Output.empty()) {
        drawing.Problem = "the chart helper " + helper + " gave back no chart";
    } else {
        drawing.Bytes = run.Output;
    }
    return drawing;
}

} // namespace orvane::charts
