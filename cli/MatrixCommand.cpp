// The matrix from the command line.
#include "cli/MatrixCommand.h"

#include "bench/BenchmarkRun.h"
#include "bench/MatrixPlan.h"
#include "bench/ShownText.h"
#include "bench/TestFile.h"
#include "charts/ChartExport.h"
#include "cli/ChartOutput.h"
#include "cli/CliHost.h"
#include "cli/CurrentDirectory.h"
#include "cli/Leftovers.h"
#include "cli/Output.h"
#include "platform/StopSignals.h"
#include "results/Compare.h"
#include "results/MatrixRecord.h"
#include "results/MatrixReport.h"
#include "results/SafeWrite.h"

#include <ostream>

namespace orvane::cli {

namespace {

// Both outputs can take a file: checked before a matrix that may run for an hour.
int CheckOutputs(const TCliOptions& options, std::ostream& err) {
    if (OutputsCoincide(options.Output, options.Chart, err)) {
        return ExitUsage;
    }
    if (!OutputsDeliverable({{options.Output, "the results"}, {options.Chart, "the chart"}}, err)) {
        return ExitError;
    }
    return ExitOk;
}

// `text` and, where asked, the matrix's picture drawn by the helper from `file` (a saved
// matrix); `code` unless one of them can't go out.
int DeliverMatrix(const std::string& text, const std::string& file, const std::string& helper,
                  const TCliOptions& options, std::ostream& out, std::ostream& err, int code) {
    if (const std::string problem = Deliver(text, options.Output, out); !problem.empty()) {
        err << "orvane-cli: " << problem << "\n";
        code = ExitError;
    }
    if (options.Chart.empty()) {
        return code;
    }
    if (file.empty()) {
        err << "orvane-cli: the chart could not be drawn: no private folder for the matrix it is "
               "drawn from\n";
        return ExitError;
    }
    const int drawn = DeliverChart(helper, {{file}, *charts::ChartFormatOf(options.Chart)},
                                   options.Chart, out, err);
    return drawn != ExitOk ? drawn : code;
}

} // namespace

int RunMatrix(const TCliOptions& options, std::ostream& out, std::ostream& err, bool progress,
              const TRunHooks& hooks) {
    if (const int code = CheckOutputs(options, err); code != ExitOk) {
        return code;
    }
    // Asked before a matrix that may run for an hour: without the helper there is no chart.
    bool noHelper = false;
    const std::string chartHelper = ChartHelperFor(options.Chart, err, noHelper);
    if (noHelper) {
        return ExitUsage;
    }
    const TCurrentDirectoryKeeper keeper;
    const std::string directory = DirectoryOf(FullPathName(options.Dir + "/x"));
    TMatrixPlan plan(options.Configurations, options.BlockPositions, options.Mode,
                     options.Seed.value_or(NewMatrixSeed()));
    results::TMatrixRecord record;
    // The settings of one run that a matrix varies stay at their defaults, unwritten.
    record.Begin({TAccessMethod::amFile, options.FileSizePosition, BlockSizeStartPosition, false,
                  false, options.Mode, options.HostLabel},
                 directory, "orvane-cli", plan);
    WarnAboutLeftovers(directory, err);
    if (progress) {
        err << "orvane-cli: matrix of " << plan.Units().size() << " cells in the order of seed "
            << plan.Seed() << " (--seed " << plan.Seed() << " repeats it)\n";
    }
    TCliHost host(options, err, progress, record.Run(), hooks);
    host.SetMatrix(&record);
    platform::InstallStopSignals();
    TBenchmarkRun run;
    const TRunOutcome outcome = run.ExecuteMatrix(host, plan);
    platform::RestoreStopSignals();
    record.Finish(outcome, run.TestFileName());
    if (!options.NoHistory) {
        if (const std::string problem = record.KeepInHistory(); !problem.empty()) {
            err << "orvane-cli: warning: the matrix is not kept in the history: "
                << EscapeControls(problem) << "\n";
        }
    }
    const results::TSavedMatrix& matrix = record.Matrix();
    // The helper draws from a file: the matrix just made, saved where only this user can see.
    TScratchFolder scratch;
    std::string saved;
    if (!options.Chart.empty() && !scratch.Path().empty()) {
        saved = scratch.Path() + "/matrix.json";
        if (results::WriteWholeFile(saved,
                                    results::MatrixReportText(matrix, results::TFormat::Json),
                                    results::TPlacement::CreateNew, 0600)) {
            scratch.Holds(saved);
        } else {
            saved.clear();
        }
    }
    const auto deliver = [&](int success) {
        return DeliverMatrix(results::MatrixReportText(matrix, options.Format), saved, chartHelper,
                             options, out, err, success);
    };
    return Conclude(outcome, record.HasCells(), host.StopSignal(), deliver,
                    record.PromiseWarnings(), err);
}

int ReportMatrices(const std::vector<results::TSavedMatrix>& matrices, const TCliOptions& options,
                   std::ostream& out, std::ostream& err, const std::string& chartHelper) {
    const std::string text =
        matrices.size() == 1
            ? results::MatrixReportText(matrices.front(), options.Format)
            : results::MatrixComparisonText(matrices, options.Format, options.ThresholdPercent);
    if (!options.Chart.empty() && matrices.size() > 1) {
        err << "orvane-cli: the chart shows the first matrix, "
            << EscapeControls(matrices.front().File) << "\n";
    }
    return DeliverMatrix(text, matrices.front().File, chartHelper, options, out, err, ExitOk);
}

} // namespace orvane::cli
