// The terminal host.
#include "cli/CliHost.h"

#include "bench/Scales.h"
#include "bench/TestFile.h"
#include "platform/Win32.h"

#include <algorithm>
#include <ostream>

namespace orvane::cli {

namespace {

// As the window shows a text: CR LF or a lone CR break the line, and the exception box's
// rule adds a full stop after a last byte that sorts after ".".
std::string AsShown(const std::string& message) {
    std::string text;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r') {
            text += '\n';
            if (i + 1 < message.size() && message[i + 1] == '\n') {
                ++i;
            }
        } else {
            text += message[i];
        }
    }
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') {
        text += '.';
    }
    return text;
}

} // namespace

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
    FErr << "orvane-cli: " << AsShown(text) << "\n";
}

void TCliHost::ReportFailure(const std::exception& error) {
    FErr << (FProgress ? "\n" : "") << "orvane-cli: " << AsShown(error.what()) << "\n";
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
