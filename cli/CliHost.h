// The run's host on a terminal: settings from the options, the test file from --dir or
// --file, progress on stderr when it is a terminal, errors as text in the command line's
// own terms, rows kept for the report, and the stop signals taken in as Stop at the run's
// message points.
#pragma once

#include "bench/RunHost.h"
#include "cli/CliApp.h"
#include "cli/CliOptions.h"
#include "cli/Progress.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace orvane::cli {

class TCliHost final : public TRunHost {
public:
    // `mountPoint` names the test file's file system in messages.
    TCliHost(const TCliOptions& options, std::ostream& err, bool progress, std::string mountPoint,
             const TRunHooks& hooks = {});

    int Position(TScale scale) const override;
    void SetPosition(TScale scale, int position) override;
    std::int32_t FileSize() const override;
    void SetSizes(std::int32_t blockSize, std::int32_t chunkSize) override;
    std::string ChunkLabel() const override;
    TAccessMethod AccessMethod() const override { return FOptions.Method; }
    bool WriteBuffered() const override { return FOptions.WriteBuffered; }
    bool ReadBuffered() const override { return FOptions.ReadBuffered; }
    TMeasuringMode MeasuringMode() const override { return FOptions.Mode; }
    bool& StopFlag() override { return FStopRequested; }
    TTestFileChoice ChooseTestFile(std::string& fileName) override;
    void ShowError(const std::string& text) override;
    void ShowWarning(const std::string& text) override;
    void ShowNotEnoughSpace(std::int64_t freeBytes) override;
    void ReportFailure(const std::exception& error) override;
    void SetCaption(const std::string&) override {}
    void Lock() override;
    void Unlock() override;
    void SetPhaseColour(TPhaseColour colour) override;
    void ProcessMessages() override;
    void Pause(unsigned milliseconds) override;
    void SetGaugeRange(std::int32_t maximum) override;
    void SetGaugeProgress(std::int32_t progress) override;
    void ClearResults() override;
    void AddResultRow(TResultList list, const TResultRow& row) override;

    const std::vector<TResultRow>& WriteRows() const { return FWriteRows; }
    const std::vector<TResultRow>& ReadRows() const { return FReadRows; }
    int StopSignal() const { return FStopSignal; }

private:
    const TCliOptions& FOptions;
    std::ostream& FErr;
    const bool FProgress;
    const std::string FMountPoint;
    const TRunHooks FHooks;
    int FPositions[3];
    bool FStopRequested = false;
    int FStopSignal = 0;
    std::int32_t FGaugeMax = 100;
    TProgressLine FProgressLine{FErr};
    std::vector<TResultRow> FWriteRows;
    std::vector<TResultRow> FReadRows;
};

} // namespace orvane::cli
