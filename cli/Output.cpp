// Delivering the command line's text.
#include "cli/Output.h"

#include "bench/ShownText.h"
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

} // namespace orvane::cli
