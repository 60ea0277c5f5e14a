// The run's host on a terminal: settings from the options, the test file from --dir or
// --file, progress on stderr when it is a terminal, errors as text, rows kept for the
// report, and SIGINT or SIGTERM taken in as Stop at the run's message points.
#pragma once

#include "bench/RunHost.h"
#include "cli/CliOptions.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace orvane::cli {

class TCliHost final : public TRunHost {
public:
    TCliHost(const TCliOptions& options, std::ostream& err, bool progress);

    int Position(TScale scale) const override;
    void SetPosition(TScale scale, int position) override;
    std::int32_t FileSize() const override;
    void SetSizes(std::int32_t blockSize, std::int32_t chunkSize) override;
    std::string ChunkLabel() const override;
    TAccessMethod AccessMethod() const override { return FOptions.Method; }
    bool WriteBuffered() const override { return FOptions.WriteBuffered; }
    bool ReadBuffered() const override { return FOptions.ReadBuffered; }
    bool& StopFlag() override { return FStopRequested; }
    bool ChooseTestFile(std::string& fileName) override;
    void ShowError(const std::string& text) override;
    void ReportFailure(const std::exception& error) override;
    void SetCaption(const std::string&) override {}
    void Lock() override {}
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
    const std::string& TestFile() const { return FTestFile; }
    int StopSignal() const { return FStopSignal; }

private:
    void ShowProgress();

    const TCliOptions& FOptions;
    std::ostream& FErr;
    const bool FProgress;
    int FPositions[3];
    bool FStopRequested = false;
    int FStopSignal = 0;
    std::string FTestFile;
    std::int32_t FGaugeMax = 100;
    const char* FPass = "";
    std::vector<TResultRow> FWriteRows;
    std::vector<TResultRow> FReadRows;
};

// Installs the handlers for SIGINT and SIGTERM: the first asks for a stop, taken in at the
// run's next message point; a second ends the program at once, removing the test file.
void InstallStopSignals();
void RestoreStopSignals();
// The signal that asked for a stop, or 0. It stays, so that the next one ends the program.
int StopSignalReceived();
// The file a second signal removes before it ends the program.
void SetFileToRemoveOnAbort(const std::string& path);

} // namespace orvane::cli
