// Naming and removing leftover test files on the terminal, every name escaped.
#include "cli/Leftovers.h"

#include "bench/Leftovers.h"
#include "bench/ShownText.h"
#include "cli/CliApp.h"
#include "platform/Measuring.h"
#include "platform/TestFileGuard.h"
#include "results/Columns.h"

#include <ostream>

namespace orvane::cli {

using results::FormatBytes;

void WarnAboutLeftovers(const std::string& directory, std::ostream& err) {
    const std::optional<TLeftoverNotice> notice = NoticeOfLeftovers(directory, FormatBytes);
    if (!notice) {
        return;
    }
    err << "orvane-cli: " << notice->Heading << "\n";
    for (const std::string& file : notice->Files) {
        err << "  " << file << "\n";
    }
    err << "orvane-cli: " << notice->Advice << "\n";
}

int CleanDirectory(const std::string& directory, std::ostream& out, std::ostream& err) {
    const std::string shown = EscapeControls(directory);
    const platform::TMarkedFiles found = platform::FindMarkedTestFiles(directory);
    int removed = 0;
    int code = ExitOk;
    for (const platform::TMarkedFile& file : found.Files) {
        const std::string problem = platform::RemoveMarkedTestFile(file.Path);
        if (problem.empty()) {
            out << "removed " << EscapeControls(file.Path) << " (" << FormatBytes(file.Size)
                << ")\n";
            ++removed;
        } else {
            err << "orvane-cli: kept " << EscapeControls(file.Path) << ": " << problem << "\n";
            code = ExitError;
        }
    }
    // A directory that was not read to its end is never reported clean.
    if (found.Error != 0) {
        err << "orvane-cli: " << shown
            << " can't be searched for test files: " << platform::ErrnoText(found.Error) << "\n";
        return ExitError;
    }
    if (removed == 0 && code == ExitOk) {
        out << "no test files left by Orvane in " << shown << "\n";
    }
    return code;
}

} // namespace orvane::cli
