// The record of one run.
#include "results/RunRecord.h"

namespace orvane::results {

void TRunRecord::Begin(const TRunSettings& settings, const std::string& directory,
                       const std::string& program) {
    FRun = TSavedRun{};
    FRun.Info = DescribeRun(settings, directory);
    FRun.Info.Program = program;
    FOutcome.reset();
}

void TRunRecord::Finish(TRunOutcome outcome, const std::string& testFile) {
    if (outcome == TRunOutcome::Cancelled || outcome == TRunOutcome::FileExists ||
        outcome == TRunOutcome::NotEnoughSpace) {
        return;
    }
    FOutcome = outcome;
    FRun.Info.TestFile = testFile;
    FRun.Info.Outcome = OutcomeName(outcome);
}

bool TRunRecord::Keepable() const {
    return FOutcome == TRunOutcome::Completed || FOutcome == TRunOutcome::Stopped;
}

std::string TRunRecord::KeepInHistory() const {
    if (!Keepable()) {
        return {};
    }
    return SaveToHistory(FRun).Problem;
}

} // namespace orvane::results
