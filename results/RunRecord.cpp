// The record of one run.
#include "results/RunRecord.h"

namespace orvane::results {

namespace {

constexpr const TPromisedMode PromisedModes[] = {TPromisedMode::Durable, TPromisedMode::Cold};

const TPromise& PromiseOf(const TModePromises& promises, TPromisedMode mode) {
    return mode == TPromisedMode::Durable ? promises.Durable : promises.Cold;
}

} // namespace

void TRunRecord::Begin(const TRunSettings& settings, const std::string& directory,
                       const std::string& program) {
    FRun = TSavedRun{};
    FStorage = platform::ReadStorageFacts("/", directory);
    FRun.Info = DescribeRun(settings, platform::ReadHostFacts("/"), FStorage);
    FRun.Info.Program = program;
    FOutcome.reset();
    FPromises = {};
}

void TRunRecord::Add(const TResultRow& row) {
    TResultRow& kept = FRun.Rows.emplace_back(row);
    const TRunInfo& info = FRun.Info;
    if (!info.Ceiling) {
        return;
    }
    const bool write = row.Pass == TResultList::Write;
    const double ceiling = write ? info.Ceiling->WriteKiBPerSecond : info.Ceiling->ReadKiBPerSecond;
    if ((write ? info.Mode.Durable : info.Mode.Cold) && ceiling > 0) {
        kept.CeilingShare = row.KiBPerSecond() / ceiling;
    }
}

void TRunRecord::Finish(TRunOutcome outcome, const std::string& testFile) {
    if (outcome == TRunOutcome::Cancelled || outcome == TRunOutcome::FileExists ||
        outcome == TRunOutcome::NotEnoughSpace) {
        return;
    }
    FOutcome = outcome;
    FRun.Info.TestFile = testFile;
    FRun.Info.Outcome = OutcomeName(outcome);

    std::vector<TPassSource> writes, reads;
    for (const TResultRow& row : FRun.Rows) {
        (row.Pass == TResultList::Write ? writes : reads).push_back(SourceOfPass(row));
    }
    FPromises = JudgeModePromises(FRun.Info.Mode, FStorage, writes, reads);
    TRunInfo& info = FRun.Info;
    info.ModeHonoured.reset();
    info.ModeNote.clear();
    info.ModeSummary.clear();
    for (const TPromisedMode mode : PromisedModes) {
        const TPromise& promise = PromiseOf(FPromises, mode);
        if (promise.Honoured) {
            info.ModeHonoured = info.ModeHonoured.value_or(true) && *promise.Honoured;
        }
        if (const std::string note = PromiseWarning(mode, promise); !note.empty()) {
            info.ModeNote += (info.ModeNote.empty() ? "" : "; ") + note;
        }
        if (const std::string caption = PromiseCaption(mode, promise); !caption.empty()) {
            info.ModeSummary += (info.ModeSummary.empty() ? "" : "; ") + caption;
        }
    }
}

std::vector<std::string> TRunRecord::PromiseWarnings() const {
    std::vector<std::string> lines;
    for (const TPromisedMode mode : PromisedModes) {
        if (std::string line = PromiseWarning(mode, PromiseOf(FPromises, mode)); !line.empty()) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
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
