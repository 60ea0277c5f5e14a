// What a run leaves, kept the same way by both front ends: its description from the settings,
// the rows as they come, how it ended, and its place in the run history.
#pragma once

#include "bench/BenchmarkRun.h"
#include "bench/ModePromise.h"
#include "results/History.h"
#include "results/SavedRun.h"

#include <optional>
#include <string>
#include <vector>

namespace orvane::results {

class TRunRecord {
public:
    // A run of `settings` by `program` ("orvane-cli" or "orvane") whose test file goes in
    // `directory`: described now, with no rows yet.
    void Begin(const TRunSettings& settings, const std::string& directory,
               const std::string& program);
    // The run clears its rows as it starts measuring.
    void ClearRows() { FRun.Rows.clear(); }
    // A durable write or cold read row gets its share of the ceiling, where there is one.
    void Add(const TResultRow& row);
    void SetCeiling(const TCeiling& ceiling) { FRun.Info.Ceiling = ceiling; }
    void SetCeilingNote(const std::string& reason) { FRun.Info.CeilingNote = reason; }
    // How the run ended. A run that never began measuring (cancelled, its name taken, too
    // little space) leaves the record as it was: the last run that measured.
    void Finish(TRunOutcome outcome, const std::string& testFile);

    const TSavedRun& Run() const { return FRun; }
    const TRunInfo& Info() const { return FRun.Info; }
    bool HasRows() const { return !FRun.Rows.empty(); }
    std::optional<TRunOutcome> Outcome() const { return FOutcome; }
    // Whether the durable and cold modes kept their promise, judged as the run finished.
    const TModePromises& Promises() const { return FPromises; }
    // The lines that say where a mode's promise was not kept (or could not be checked),
    // made safe for a terminal; none where every promise was kept.
    std::vector<std::string> PromiseWarnings() const;

    // Completed and stopped runs are worth keeping; cancelled or failed ones are not.
    bool Keepable() const;
    // Keeps a keepable run in the history; empty on success (or nothing to keep), else the
    // problem, which is for a warning only.
    std::string KeepInHistory() const;

private:
    TSavedRun FRun;
    std::optional<TRunOutcome> FOutcome;
    platform::TStorageFacts FStorage;
    TModePromises FPromises;
};

} // namespace orvane::results
