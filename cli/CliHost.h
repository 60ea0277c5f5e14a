// The run's host on a terminal: settings from the options, the test file from --dir or
// --file, progress on stderr when it is a terminal, errors as text in the command line's
// own terms, rows kept for the report, the stop signals taken in as Stop at the run's
// message points, and the wait for --start-at.
#pragma once

#include "bench/RunHost.h"
#include "cli/CliApp.h"
#include "cli/CliOptions.h"
#include "cli/Progress.h"
#include "results/MatrixRecord.h"
#include "results/RunRecord.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace orvane::cli {

class TCliHost final : public TRunHost {
public:
    // The rows go into `record`, whose description names the file system in messages.
    TCliHost(const TCliOptions& options, std::ostream& err, bool progress,
             results::TRunRecord& record, const TRunHooks& hooks = {});

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
    void CeilingMeasured(const TCeiling& ceiling) override { FRecord.SetCeiling(ceiling); }
    void CeilingRefused(const std::string& reason) override { FRecord.SetCeilingNote(reason); }
    // Waits for --start-at, if given; a time past starts at once with a warning.
    void BeforeFirstPass() override;
    // A matrix's cells go into `matrix` (begun by its caller), whose run record is the one
    // this host was given.
    void SetMatrix(results::TMatrixRecord* matrix) { FMatrix = matrix; }
    void BeginMatrix(const TMatrixPlan& plan) override;
    void MatrixCellBegins(const TMatrixPlan& plan, std::size_t unit) override;
    void AddMatrixRow(const TMatrixUnit& unit, const TResultRow& row) override;

    int StopSignal() const { return FStopSignal; }

private:
    const TCliOptions& FOptions;
    std::ostream& FErr;
    const bool FProgress;
    results::TRunRecord& FRecord;
    results::TMatrixRecord* FMatrix = nullptr;
    const TRunHooks FHooks;
    int FPositions[3];
    bool FStopRequested = false;
    int FStopSignal = 0;
    std::int32_t FGaugeMax = 100;
    TProgressLine FProgressLine{FErr};
};

} // namespace orvane::cli
