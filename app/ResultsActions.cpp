// Saving results.
#include "app/ResultsActions.h"

#include "results/Report.h"
#include "results/SafeWrite.h"

namespace orvane {

std::string SaveResults(const std::string& fileName, bool json, const results::TSavedRun& run) {
    return results::WriteWholeFile(fileName, results::ReportText(run, json ? results::TFormat::Json
                                                                           : results::TFormat::Csv))
        .Problem;
}

} // namespace orvane
