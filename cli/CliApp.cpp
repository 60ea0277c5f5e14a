// Running the benchmark from the command line.
#include "cli/CliApp.h"

#include "bench/BenchmarkRun.h"
#include "bench/Scales.h"
#include "bench/TestFile.h"
#include "charts/ChartExport.h"
#include "cli/CliHost.h"
#include "cli/Leftovers.h"
#include "cli/Output.h"
#include "platform/StopSignals.h"
#include "results/Compare.h"
#include "results/History.h"
#include "results/Report.h"

#include <ostream>
#include <sstream>
#include <unistd.h>

namespace orvane::cli {

using results::DescribeRun;
using results::TRunInfo;
using results::TRunSettings;
using results::WriteCsv;
using results::WriteJson;
using results::WriteTable;

namespace {

class TCurrentDirectoryKeeper {
public:
    TCurrentDirectoryKeeper() {
        char buffer[4096];
        if (::getcwd(buffer, sizeof buffer) != nullptr) {
            FDirectory = buffer;
        }
    }
    ~TCurrentDirectoryKeeper() {
        if (!FDirectory.empty()) {
            [[maybe_unused]] const int ignored = ::chdir(FDirectory.c_str());
        }
    }

private:
    std::string FDirectory;
};

const char* OutcomeName(TRunOutcome outcome) {
    switch (outcome) {
    case TRunOutcome::Completed:
        return "completed";
    case TRunOutcome::Stopped:
        return "stopped";
    default:
        return "failed";
    }
}

std::string Report(const TCliOptions& options, const TRunInfo& info, const TCliHost& host) {
    std::ostringstream text;
    switch (options.Format) {
    case TFormat::Table:
        WriteTable(text, host.WriteRows(), host.ReadRows());
        break;
    case TFormat::Csv:
        WriteCsv(text, info, host.WriteRows(), host.ReadRows());
        break;
    case TFormat::Json:
        WriteJson(text, info, host.WriteRows(), host.ReadRows());
        break;
    }
    return text.str();
}

// The report goes out whole or the run counts as failed: rows are never lost silently.
int Deliver(const std::string& text, const TCliOptions& options, std::ostream& out,
            std::ostream& err, int code) {
    const std::string problem = options.Output.empty() ? WriteOutputStream(out, text)
                                                       : WriteOutputFile(options.Output, text);
    if (problem.empty()) {
        return code;
    }
    err << "orvane-cli: the results could not be written to "
        << (options.Output.empty() ? std::string("standard output") : options.Output) << ": "
        << problem << "\n";
    return ExitError;
}

// `report FILE...`: the saved runs side by side.
int CompareSavedRuns(const TCliOptions& options, std::ostream& out, std::ostream& err) {
    if (!options.Chart.empty()) {
        if (!options.Output.empty() && SameFile(options.Chart, options.Output)) {
            err << "orvane-cli: --chart and --output name the same file; each needs its own.\n";
            return ExitUsage;
        }
        for (const std::string& file : options.ReportFiles) {
            if (SameFile(options.Chart, file)) {
                err << "orvane-cli: --chart names one of the saved runs, " << file
                    << "; the chart needs a file of its own.\n";
                return ExitUsage;
            }
        }
        if (const std::string problem = OutputProblem(options.Chart); !problem.empty()) {
            err << "orvane-cli: the chart can't be written to " << options.Chart << ": " << problem
                << "\n";
            return ExitError;
        }
    }
    std::vector<results::TSavedRun> runs;
    try {
        for (const std::string& file : options.ReportFiles) {
            runs.push_back(results::LoadSavedRun(file));
        }
    } catch (const results::EResultsFile& error) {
        err << "orvane-cli: " << error.what() << "\n";
        return ExitError;
    }
    std::ostringstream text;
    const results::TCompareFormat format =
        options.Format == TFormat::Json  ? results::TCompareFormat::Json
        : options.Format == TFormat::Csv ? results::TCompareFormat::Csv
                                         : results::TCompareFormat::Table;
    results::WriteComparison(text, runs, format);
    const int code = Deliver(text.str(), options, out, err, ExitOk);
    if (options.Chart.empty()) {
        return code;
    }
    const std::string problem = WriteOutputFile(
        options.Chart,
        charts::RenderRunsChart(runs, *charts::ChartFormatOf(options.Chart), options.LogScale));
    if (!problem.empty()) {
        err << "orvane-cli: the chart could not be written to " << options.Chart << ": " << problem
            << "\n";
        return ExitError;
    }
    return code;
}

} // namespace

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           bool progress, const TRunHooks& hooks) {
    const TParseResult parsed = ParseOptions(arguments);
    if (!parsed.Options) {
        (parsed.ExitCode == ExitOk ? out : err) << parsed.Message;
        return parsed.ExitCode;
    }
    const TCliOptions& options = *parsed.Options;
    if (!options.Clean.empty()) {
        return CleanDirectory(options.Clean, out, err);
    }
    if (options.Report) {
        return CompareSavedRuns(options, out, err);
    }
    if (!options.Output.empty()) {
        if (!options.File.empty() && SameFile(options.Output, options.File)) {
            err << "orvane-cli: --output names the test file itself; the results need a file "
                   "of their own.\n";
            return ExitUsage;
        }
        if (const std::string problem = OutputProblem(options.Output); !problem.empty()) {
            err << "orvane-cli: the results can't be written to " << options.Output << ": "
                << problem << "\n";
            return ExitError;
        }
    }

    const TCurrentDirectoryKeeper keeper;
    const std::string directory =
        DirectoryOf(FullPathName(options.File.empty() ? options.Dir + "/x" : options.File));
    const TRunSettings settings{
        options.Method,        options.FileSizePosition, options.BlockSizePosition,
        options.WriteBuffered, options.ReadBuffered,     options.Mode};
    TRunInfo info = DescribeRun(settings, directory);
    WarnAboutLeftovers(directory, err);
    TCliHost host(options, err, progress, info.MountPoint, hooks);
    platform::InstallStopSignals();
    TBenchmarkRun run;
    const TRunOutcome outcome = run.Execute(host);
    platform::RestoreStopSignals();
    info.TestFile = run.TestFileName();
    info.Outcome = OutcomeName(outcome);
    // Completed and stopped runs are kept; a history that can't be written is only mentioned.
    if ((outcome == TRunOutcome::Completed || outcome == TRunOutcome::Stopped) &&
        !options.NoHistory) {
        if (const results::THistoryResult kept =
                results::SaveToHistory(info, host.WriteRows(), host.ReadRows());
            !kept.Problem.empty()) {
            err << "orvane-cli: warning: the run is not kept in the history: " << kept.Problem
                << "\n";
        }
    }

    switch (outcome) {
    case TRunOutcome::Completed:
        return Deliver(Report(options, info, host), options, out, err, ExitOk);
    case TRunOutcome::Stopped:
        return Deliver(Report(options, info, host), options, out, err, 128 + host.StopSignal());
    case TRunOutcome::Failed:
        if (!host.WriteRows().empty()) {
            // The rows before the error stand.
            return Deliver(Report(options, info, host), options, out, err, ExitError);
        }
        return ExitError;
    case TRunOutcome::NotEnoughSpace:
    case TRunOutcome::Cancelled:
    case TRunOutcome::FileExists:
        break;
    }
    return ExitError;
}

} // namespace orvane::cli
