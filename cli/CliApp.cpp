// Running the benchmark from the command line.
#include "cli/CliApp.h"

#include "bench/BenchmarkRun.h"
#include "bench/Scales.h"
#include "bench/TestFile.h"
#include "cli/CliHost.h"
#include "cli/Report.h"

#include <fstream>
#include <ostream>
#include <unistd.h>

namespace orvane::cli {

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

void WriteReport(std::ostream& out, const TCliOptions& options, const TRunInfo& info,
                 const TCliHost& host) {
    switch (options.Format) {
    case TFormat::Table:
        WriteTable(out, host.WriteRows(), host.ReadRows());
        break;
    case TFormat::Csv:
        WriteCsv(out, info, host.WriteRows(), host.ReadRows());
        break;
    case TFormat::Json:
        WriteJson(out, info, host.WriteRows(), host.ReadRows());
        break;
    }
}

} // namespace

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           bool progress) {
    const TParseResult parsed = ParseOptions(arguments);
    if (!parsed.Options) {
        (parsed.ExitCode == ExitOk ? out : err) << parsed.Message;
        return parsed.ExitCode;
    }
    const TCliOptions& options = *parsed.Options;
    std::ofstream file;
    if (!options.Output.empty()) {
        file.open(options.Output, std::ios::trunc);
        if (!file) {
            err << "orvane-cli: can't write the results to " << options.Output << "\n";
            return ExitError;
        }
    }
    std::ostream& report = options.Output.empty() ? out : file;

    const TCurrentDirectoryKeeper keeper;
    const std::string directory =
        DirectoryOf(FullPathName(options.File.empty() ? options.Dir + "/x" : options.File));
    TRunInfo info = DescribeRun(options, directory);
    TCliHost host(options, err, progress);
    InstallStopSignals();
    TBenchmarkRun run;
    const TRunOutcome outcome = run.Execute(host);
    RestoreStopSignals();
    info.TestFile = host.TestFile();
    info.Outcome = OutcomeName(outcome);

    switch (outcome) {
    case TRunOutcome::Completed:
        WriteReport(report, options, info, host);
        return ExitOk;
    case TRunOutcome::Stopped:
        WriteReport(report, options, info, host);
        return 128 + host.StopSignal();
    case TRunOutcome::NotEnoughSpace: {
        const std::string fits(
            FileSizeLabels[static_cast<std::size_t>(host.Position(TScale::Files))]);
        err << "orvane-cli: the window would lower the file size to " << fits
            << "; run again with --file-size " << fits << ".\n";
        return ExitError;
    }
    case TRunOutcome::Failed:
        if (!host.WriteRows().empty()) {
            WriteReport(report, options, info, host); // the rows before the error stand
        }
        return ExitError;
    case TRunOutcome::Cancelled:
    case TRunOutcome::FileExists:
        break;
    }
    return ExitError;
}

} // namespace orvane::cli
