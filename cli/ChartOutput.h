// --chart from the command line: the drawing comes from the chart helper of the orvane
// package (orvane-cli has no Qt of its own), asked for before anything is read or run, and
// the chart it draws goes out through the one safe writer.
#pragma once

#include "charts/ChartExport.h"

#include <iosfwd>
#include <string>

namespace orvane::cli {

// The helper where `chart` names a file; empty, with the message said and `missing` set,
// where there is none. Empty and nothing said where no chart is asked for.
std::string ChartHelperFor(const std::string& chart, std::ostream& err, bool& missing);

// Draws `request` with `helper` and writes it to `path`; ExitOk, or ExitError with the
// reason said.
int DeliverChart(const std::string& helper, const charts::TChartRequest& request,
                 const std::string& path, std::ostream& out, std::ostream& err);

// A private folder for a file the helper is to draw from, removed with what it holds when
// the object goes.
class TScratchFolder {
public:
    TScratchFolder();
    ~TScratchFolder();
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    // Empty where no folder could be made.
    const std::string& Path() const { return FPath; }
    // Remembers a file written into the folder, to remove it at the end.
    void Holds(const std::string& file) { FFile = file; }

private:
    std::string FPath;
    std::string FFile;
};

} // namespace orvane::cli
