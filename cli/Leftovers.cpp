// Finding and removing leftover test files.
#include "cli/Leftovers.h"

#include "cli/CliApp.h"
#include "platform/TestFileGuard.h"
#include "results/Columns.h"

#include <ostream>

namespace orvane::cli {

using results::FormatBytes;

void WarnAboutLeftovers(const std::string& directory, std::ostream& err) {
    bool any = false;
    for (const platform::TMarkedFile& file : platform::FindMarkedTestFiles(directory)) {
        if (file.InUse) {
            continue; // another run's live test file
        }
        if (!any) {
            err << "orvane-cli: test files left behind by an earlier run that was killed:\n";
            any = true;
        }
        err << "  " << file.Path << " (" << FormatBytes(file.Size) << ")\n";
    }
    if (any) {
        err << "orvane-cli: `orvane-cli --clean " << directory << "` removes them.\n";
    }
}

int CleanDirectory(const std::string& directory, std::ostream& out, std::ostream& err) {
    int removed = 0;
    int code = ExitOk;
    for (const platform::TMarkedFile& file : platform::FindMarkedTestFiles(directory)) {
        const std::string problem = platform::RemoveMarkedTestFile(file.Path);
        if (problem.empty()) {
            out << "removed " << file.Path << " (" << FormatBytes(file.Size) << ")\n";
            ++removed;
        } else {
            err << "orvane-cli: kept " << file.Path << ": " << problem << "\n";
            code = ExitError;
        }
    }
    if (removed == 0 && code == ExitOk) {
        out << "no test files left by Orvane in " << directory << "\n";
    }
    return code;
}

} // namespace orvane::cli
