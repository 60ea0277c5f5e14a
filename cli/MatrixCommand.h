// `orvane-cli matrix`: every chosen configuration at every chosen block size and chunk size,
// each cell one iteration of the run's own machinery, reported as a grid with each cell's
// winner; and `report` of saved matrices.
#pragma once

#include "cli/CliApp.h"
#include "cli/CliOptions.h"
#include "results/Matrix.h"

#include <iosfwd>
#include <vector>

namespace orvane::cli {

int RunMatrix(const TCliOptions& options, std::ostream& out, std::ostream& err, bool progress,
              const TRunHooks& hooks);

// One matrix: its own report; more: the later ones judged cell by cell against the first.
// --chart draws the first.
int ReportMatrices(const std::vector<results::TSavedMatrix>& matrices, const TCliOptions& options,
                   std::ostream& out, std::ostream& err, const std::string& chartHelper);

} // namespace orvane::cli
