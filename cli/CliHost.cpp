// The terminal host.
#include "cli/CliHost.h"

#include "bench/Scales.h"
#include "bench/ShownText.h"
#include "bench/TestFile.h"
#include "platform/Win32.h"

#include <algorithm>
#include <ostream>

namespace orvane::cli {

TCliHost::TCliHost(const TCliOptions& options, std::ostream& err, bool progress)
    : FOptions(options), FErr(err),
      FProgress(progress), FPositions{options.FileSizePosition, options.BlockSizePosition, 0} {}

int TCliHost::Position(TScale scale) const {
    return FPositions[static_cast<int>(scale)];
}

void TCliHost::SetPosition(TScale scale, int position) {
    FPositions[static_cast<int>(scale)] = position;
    ProcessMessages();
}

std::int32_t TCliHost::FileSize() const {
    return FileSizes[static_cast<std::size_t>(FPositions[0])];
}

void TCliHost::SetSizes(std::int32_t, std::int32_t) {}

std::string TCliHost::ChunkLabel() const {
    return std::string(ChunkSizeLabels[static_cast<std::size_t>(FPositions[2])]);
}

bool TCliHost::ChooseTestFile(std::string& fileName) {
    fileName = FOptions.File.empty() ? FOptions.Dir + "/" + fileName : FOptions.File;
    FTestFile = FullPathName(fileName);
    SetFileToRemoveOnAbort(FTestFile);
    return true;
}

void TCliHost::ShowError(const std::string& text) {
    FErr << "orvane-cli: " << WithNewlines(text) << "\n";
}

void TCliHost::ReportFailure(const std::exception& error) {
    FErr << (FProgress ? "\n" : "")
         << "orvane-cli: " << WithNewlines(ExceptionBoxText(error.what())) << "\n";
}

void TCliHost::Unlock() {
    if (FProgress) {
        FErr << "\r\033[K" << std::flush; // the progress line goes
    }
}

void TCliHost::SetPhaseColour(TPhaseColour colour) {
    FPass = colour == TPhaseColour::Write  ? "write"
            : colour == TPhaseColour::Read ? "read"
                                           : "prepare";
    ShowProgress();
}

void TCliHost::ProcessMessages() {
    if (const int signalNumber = StopSignalReceived(); signalNumber != 0 && !FStopRequested) {
        FStopRequested = true;
        FStopSignal = signalNumber;
    }
}

void TCliHost::Pause(unsigned milliseconds) {
    Sleep(milliseconds);
}

void TCliHost::SetGaugeRange(std::int32_t maximum) {
    FGaugeMax = std::max(maximum, 1);
}

void TCliHost::SetGaugeProgress(std::int32_t progress) {
    if (FProgress && progress > 0) {
        FErr << "\r\033[K" << ChunkLabel() << " " << FPass << " "
             << static_cast<int>(static_cast<double>(progress) * 100.0 / FGaugeMax) << "%"
             << std::flush;
    }
}

void TCliHost::ShowProgress() {
    if (FProgress) {
        FErr << "\r\033[K" << ChunkLabel() << " " << FPass << std::flush;
    }
}

void TCliHost::ClearResults() {
    FWriteRows.clear();
    FReadRows.clear();
}

void TCliHost::AddResultRow(TResultList list, const TResultRow& row) {
    (list == TResultList::Write ? FWriteRows : FReadRows).push_back(row);
}

} // namespace orvane::cli
