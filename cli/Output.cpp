// Delivering the command line's text.
#include "cli/Output.h"

#include "bench/ShownText.h"
#include "cli/CliApp.h"
#include "results/SafeWrite.h"

#include <ostream>

namespace orvane::cli {

std::string Deliver(const std::string& text, const std::string& path, std::ostream& out,
                    const char* what) {
    if (path.empty()) {
        out << text;
        out.flush();
        return out ? ""
                   : std::string(what) + " could not be written to standard output: it is "
                                         "closed, or its disk is full";
    }
    const results::TWriteOutcome written = results::WriteWholeFile(path, text);
    if (written) {
        return {};
    }
    return std::string(what) + " could not be written to " + EscapeControls(path) + ": " +
           EscapeControls(written.Problem);
}

std::string DeliveryProblem(const std::string& path, const char* what) {
    const std::string problem = results::WriteTargetProblem(path);
    if (problem.empty()) {
        return {};
    }
    return std::string(what) + " can't be written to " + EscapeControls(path) + ": " +
           EscapeControls(problem);
}

bool OutputsDeliverable(std::initializer_list<TOutputTarget> outputs, std::ostream& err) {
    for (const TOutputTarget& output : outputs) {
        if (output.Path.empty()) {
            continue;
        }
        if (const std::string problem = DeliveryProblem(output.Path, output.What);
            !problem.empty()) {
            err << "orvane-cli: " << problem << "\n";
            return false;
        }
    }
    return true;
}

bool OutputsCoincide(const std::string& output, const std::string& chart, std::ostream& err) {
    if (chart.empty() || output.empty() || !results::SameFile(chart, output)) {
        return false;
    }
    err << "orvane-cli: --chart and --output name the same file; each needs its own.\n";
    return true;
}

int Conclude(TRunOutcome outcome, bool measured, int stopSignal,
             const std::function<int(int code)>& deliver, const std::vector<std::string>& warnings,
             std::ostream& err) {
    int code = ExitError;
    switch (outcome) {
    case TRunOutcome::Completed:
        code = deliver(ExitOk);
        break;
    case TRunOutcome::Stopped:
        code = deliver(128 + stopSignal);
        break;
    case TRunOutcome::Failed:
        if (measured) {
            deliver(ExitError); // what was measured before the error stands
        }
        break;
    case TRunOutcome::NotEnoughSpace:
    case TRunOutcome::Cancelled:
    case TRunOutcome::FileExists:
        return ExitError;
    }
    // After the results, where the user reads on: a mode whose figures are not the device's.
    for (const std::string& warning : warnings) {
        err << "orvane-cli: warning: " << warning << "\n";
    }
    return code;
}

} // namespace orvane::cli
