// Running the benchmark from the command line.
#include "cli/CliApp.h"

#include "bench/BenchmarkRun.h"
#include "bench/Scales.h"
#include "bench/ShownText.h"
#include "bench/TestFile.h"
#include "charts/ChartExport.h"
#include "cli/ChartOutput.h"
#include "cli/CliHost.h"
#include "cli/CurrentDirectory.h"
#include "cli/Leftovers.h"
#include "cli/MatrixCommand.h"
#include "cli/Output.h"
#include "platform/OsCalls.h"
#include "platform/StopSignals.h"
#include "results/Compare.h"
#include "results/Fleet.h"
#include "results/RunRecord.h"
#include "results/SafeWrite.h"

#include <cerrno>
#include <cstring>
#include <ostream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <variant>

namespace orvane::cli {

using results::SameFile;

namespace {

// Every name the user gave means what it meant where the program was started, whatever
// directory the run changes into later.
void ResolveAgainstStart(TCliOptions& options) {
    const std::string start = results::CurrentDirectory();
    for (std::string* path :
         {&options.Output, &options.Chart, &options.File, &options.Dir, &options.Clean}) {
        *path = results::AbsoluteAgainst(*path, start);
    }
    for (std::string& file : options.ReportFiles) {
        file = results::AbsoluteAgainst(file, start);
    }
}

int Deliver(const std::string& text, const TCliOptions& options, std::ostream& out,
            std::ostream& err, int code) {
    const std::string problem = cli::Deliver(text, options.Output, out);
    if (problem.empty()) {
        return code;
    }
    // Rows are never lost silently: a report that can't go out makes the run a failure.
    err << "orvane-cli: " << problem << "\n";
    return ExitError;
}

// Neither output may be one of the saved runs, nor the two the same file.
bool OutputsAreTheirOwn(const TCliOptions& options, std::ostream& err) {
    const struct {
        const std::string& path;
        const char* option;
    } outputs[] = {{options.Output, "--output"}, {options.Chart, "--chart"}};
    if (OutputsCoincide(options.Output, options.Chart, err)) {
        return false;
    }
    for (const auto& output : outputs) {
        for (const std::string& file : options.ReportFiles) {
            if (!output.path.empty() && SameFile(output.path, file)) {
                err << "orvane-cli: " << output.option << " names one of the saved runs, "
                    << EscapeControls(file) << "; the "
                    << (output.option[2] == 'c' ? "chart" : "comparison")
                    << " needs a file of its own.\n";
                return false;
            }
        }
    }
    return true;
}

// `report FILE...`: the saved runs side by side, or with `--by host` as a fleet.
int CompareSavedRuns(const TCliOptions& options, std::ostream& out, std::ostream& err) {
    if (!OutputsAreTheirOwn(options, err)) {
        return ExitUsage;
    }
    // Asked before anything is read or written: without the helper there is no chart.
    bool noHelper = false;
    const std::string chartHelper = ChartHelperFor(options.Chart, err, noHelper);
    if (noHelper) {
        return ExitUsage;
    }
    if (!OutputsDeliverable({{options.Output, "the comparison"}, {options.Chart, "the chart"}},
                            err)) {
        return ExitError;
    }
    std::vector<results::TSavedRun> runs;
    std::vector<results::TSavedMatrix> matrices;
    try {
        for (const std::string& file : options.ReportFiles) {
            results::TSavedResults saved = results::LoadSavedResults(file);
            if (auto* run = std::get_if<results::TSavedRun>(&saved)) {
                runs.push_back(std::move(*run));
            } else {
                matrices.push_back(std::get<results::TSavedMatrix>(std::move(saved)));
            }
        }
    } catch (const results::EResultsFile& error) {
        err << "orvane-cli: " << EscapeControls(error.what()) << "\n";
        return ExitError;
    }
    if (!matrices.empty() && !runs.empty()) {
        err << "orvane-cli: report compares runs with runs and matrices with matrices; these "
               "files hold both.\n";
        return ExitUsage;
    }
    if (!matrices.empty()) {
        return ReportMatrices(matrices, options, out, err, chartHelper);
    }
    std::string text;
    if (options.ByHost) {
        try {
            const results::TFleet fleet =
                results::MakeFleet(runs, options.Force, options.ThresholdPercent);
            // CSV has no place for them, and a note is never dropped silently.
            if (options.Format == TFormat::Csv) {
                for (const std::string& note : fleet.Notes) {
                    err << "orvane-cli: note: " << EscapeControls(note) << "\n";
                }
            }
            text = results::FleetText(fleet, options.Format);
        } catch (const results::EFleetMismatch& mismatch) {
            err << "orvane-cli: " << EscapeControls(mismatch.what()) << "\n";
            return ExitError;
        }
    } else {
        text = results::ComparisonText(runs, options.Format, options.ThresholdPercent);
    }
    const int code = Deliver(text, options, out, err, ExitOk);
    if (options.Chart.empty()) {
        return code;
    }
    const int drawn = DeliverChart(chartHelper,
                                   {options.ReportFiles, *charts::ChartFormatOf(options.Chart),
                                    options.LogScale, options.ByHost, options.Force},
                                   options.Chart, out, err);
    return drawn != ExitOk ? drawn : code;
}

} // namespace

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           bool progress, const TRunHooks& hooks) {
    const TParseResult parsed =
        ParseOptions(arguments, hooks.Now ? hooks.Now() : std::chrono::system_clock::now());
    if (!parsed.Options) {
        (parsed.ExitCode == ExitOk ? out : err) << parsed.Message;
        return parsed.ExitCode;
    }
    TCliOptions options = *parsed.Options;
    ResolveAgainstStart(options);
    if (!options.Clean.empty()) {
        return CleanDirectory(options.Clean, out, err);
    }
    if (options.Report) {
        return CompareSavedRuns(options, out, err);
    }
    if (options.Matrix) {
        return RunMatrix(options, out, err, progress, hooks);
    }
    if (!options.Output.empty()) {
        if (!options.File.empty() && SameFile(options.Output, options.File)) {
            err << "orvane-cli: --output names the test file itself; the results need a file "
                   "of their own.\n";
            return ExitUsage;
        }
        if (!OutputsDeliverable({{options.Output, "the results"}}, err)) {
            return ExitError;
        }
    }

    const TCurrentDirectoryKeeper keeper;
    const std::string directory =
        DirectoryOf(FullPathName(options.File.empty() ? options.Dir + "/x" : options.File));
    // Said before anything else happens (a --start-at would wait first): a test directory
    // that isn't one.
    struct stat info {};
    const int unusable = platform::OsCalls().stat(directory.c_str(), &info) != 0 ? errno
                         : S_ISDIR(info.st_mode)                                 ? 0
                                                                                 : ENOTDIR;
    if (unusable != 0) {
        err << "orvane-cli: the test file can't go into " << EscapeControls(directory) << ": "
            << std::strerror(unusable) << "\n";
        return ExitError;
    }
    const results::TRunSettings settings{
        options.Method,        options.FileSizePosition, options.BlockSizePosition,
        options.WriteBuffered, options.ReadBuffered,     options.Mode,
        options.HostLabel};
    results::TRunRecord record;
    record.Begin(settings, directory, "orvane-cli");
    WarnAboutLeftovers(directory, err);
    TCliHost host(options, err, progress, record, hooks);
    platform::InstallStopSignals();
    TBenchmarkRun run;
    const TRunOutcome outcome = run.Execute(host);
    platform::RestoreStopSignals();
    record.Finish(outcome, run.TestFileName());
    // Completed and stopped runs are kept; a history that can't be written is only mentioned.
    if (!options.NoHistory) {
        if (const std::string problem = record.KeepInHistory(); !problem.empty()) {
            err << "orvane-cli: warning: the run is not kept in the history: "
                << EscapeControls(problem) << "\n";
        }
    }

    const std::string report = results::ReportText(record.Run(), options.Format);
    return Conclude(
        outcome, record.HasRows(), host.StopSignal(),
        [&](int code) { return Deliver(report, options, out, err, code); },
        record.PromiseWarnings(), err);
}

} // namespace orvane::cli
