// The chart through the helper.
#include "cli/ChartOutput.h"

#include "bench/ShownText.h"
#include "cli/CliApp.h"
#include "cli/Output.h"
#include "platform/OsCalls.h"

#include <cstdlib>
#include <ostream>

namespace orvane::cli {

namespace {

const char* const NoChartHelperText =
    "orvane-cli: --chart needs the orvane package (the window and its charts), which is not "
    "installed here; everything else works without it.\n";

} // namespace

std::string ChartHelperFor(const std::string& chart, std::ostream& err, bool& missing) {
    missing = false;
    if (chart.empty()) {
        return {};
    }
    std::string helper = charts::FindChartHelper();
    if (helper.empty()) {
        err << NoChartHelperText;
        missing = true;
    }
    return helper;
}

int DeliverChart(const std::string& helper, const charts::TChartRequest& request,
                 const std::string& path, std::ostream& out, std::ostream& err) {
    const charts::TChartDrawing chart = charts::DrawChart(helper, request);
    if (!chart.Problem.empty()) {
        err << "orvane-cli: the chart could not be drawn: " << EscapeControls(chart.Problem)
            << "\n";
        return ExitError;
    }
    if (const std::string problem = Deliver(chart.Bytes, path, out, "the chart");
        !problem.empty()) {
        err << "orvane-cli: " << problem << "\n";
        return ExitError;
    }
    return ExitOk;
}

TScratchFolder::TScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && base[0] == '/' ? base : "/tmp") + "/orvane-chart-XXXXXX";
    if (platform::OsCalls().mkdtemp(pattern.data()) != nullptr) {
        FPath = pattern; // made 0700 by mkdtemp, ours alone
    }
}

TScratchFolder::~TScratchFolder() {
    if (!FFile.empty()) {
        platform::OsCalls().unlink(FFile.c_str());
    }
    if (!FPath.empty()) {
        platform::OsCalls().rmdir(FPath.c_str());
    }
}

} // namespace orvane::cli
