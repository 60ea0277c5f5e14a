// What a matrix leaves, kept the same way by both front ends: its description from the
// settings and the plan, its cells as the run hands over their rows, how it ended, and its
// place in the run history. The run's own record keeps the description and judges the
// mode's promise over every cell.
#pragma once

#include "bench/MatrixPlan.h"
#include "results/Matrix.h"
#include "results/RunRecord.h"

#include <optional>
#include <string>
#include <vector>

namespace orvane::results {

class TMatrixRecord {
public:
    // A matrix of `plan` by `program` whose test file goes in `directory`, described now.
    void Begin(const TRunSettings& settings, const std::string& directory,
               const std::string& program, const TMatrixPlan& plan);
    void Add(const TMatrixUnit& unit, const TResultRow& row);
    // How it ended; a matrix that never began measuring leaves the record as it was.
    void Finish(TRunOutcome outcome, const std::string& testFile);

    // The record of the run's fields: the host's ceiling and the rows in the order run.
    TRunRecord& Run() { return FRecord; }
    const TSavedMatrix& Matrix() const { return FMatrix; }
    bool HasCells() const { return !FMatrix.Cells.empty(); }
    std::optional<TRunOutcome> Outcome() const { return FRecord.Outcome(); }
    std::vector<std::string> PromiseWarnings() const { return FRecord.PromiseWarnings(); }

    // A matrix with cells is kept, whether completed, stopped or failed (then as a stopped
    // matrix); empty on success or nothing to keep, else the problem.
    std::string KeepInHistory() const;

private:
    TRunRecord FRecord;
    TSavedMatrix FMatrix;
};

} // namespace orvane::results
