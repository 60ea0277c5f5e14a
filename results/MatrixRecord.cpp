// The record of one matrix.
#include "results/MatrixRecord.h"

#include "bench/Scales.h"

namespace orvane::results {

void TMatrixRecord::Begin(const TRunSettings& settings, const std::string& directory,
                          const std::string& program, const TMatrixPlan& plan) {
    FRecord.Begin(settings, directory, program);
    FMatrix = TSavedMatrix{};
    FMatrix.Info = FRecord.Info();
    FMatrix.Seed = plan.Seed();
    for (const std::size_t configuration : plan.Configurations()) {
        FMatrix.Configurations.emplace_back(MatrixConfigurations()[configuration].Name);
    }
    for (const std::size_t block : plan.BlockPositions()) {
        FMatrix.BlockSizes.push_back(static_cast<std::uint32_t>(BlockSizes[block]));
    }
}

void TMatrixRecord::Add(const TMatrixUnit& unit, const TResultRow& row) {
    // Through the run's record, which gives a durable or cold row its share of the ceiling.
    FRecord.Add(row);
    AddMatrixCells(FMatrix, MatrixConfigurations()[unit.Configuration].Name,
                   FRecord.Run().Rows.back());
}

void TMatrixRecord::Finish(TRunOutcome outcome, const std::string& testFile) {
    FRecord.Finish(outcome, testFile);
    if (FRecord.Outcome() == outcome) {
        FMatrix.Info = FRecord.Info();
        FMatrix.Stopped = outcome != TRunOutcome::Completed;
    }
}

std::string TMatrixRecord::KeepInHistory() const {
    if (!FRecord.Outcome() || !HasCells()) {
        return {}; // nothing measured, nothing to keep
    }
    return SaveMatrixToHistory(FMatrix).Problem;
}

} // namespace orvane::results
