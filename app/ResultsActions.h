// What the window does with the rows of its last run: copy them as tab-separated text,
// save them as CSV or JSON (the command line's formats), and keep them in the run history.
#pragma once

#include "results/Report.h"

#include <QString>
#include <string>
#include <vector>

namespace orvane {

// Both lists with one header line, tab-separated, for a spreadsheet.
QString ResultsAsTabText(const std::vector<TResultRow>& writeRows,
                         const std::vector<TResultRow>& readRows);

// Writes CSV, or JSON where the name ends in ".json", whole; empty on success, else why.
std::string SaveResults(const std::string& fileName, const results::TRunInfo& info,
                        const std::vector<TResultRow>& writeRows,
                        const std::vector<TResultRow>& readRows);

} // namespace orvane
