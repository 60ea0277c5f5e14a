// The terminal host.
#include "cli/CliHost.h"

#include "bench/Clock.h"
#include "bench/Scales.h"
#include "bench/ShownText.h"
#include "bench/TestFile.h"
#include "platform/StopSignals.h"
#include "platform/Win32.h"
#include "results/Columns.h"

#include <algorithm>
#include <chrono>
#include <ostream>
#include <sys/resource.h>

namespace orvane::cli {

using results::FormatBytes;

namespace {

constexpr int StartWaitStep = 1000; // ms

// Why a write may fail with "file too large": the process's own file-size limit.
std::string FileSizeLimitNote(std::uint64_t fileBytes) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur > fileBytes) {
        return {};
    }
    return "\nThis process may write files of at most " + FormatBytes(limit.rlim_cur) +
           " (ulimit -f), less than the test file needs.";
}

} // namespace

TCliHost::TCliHost(const TCliOptions& options, std::ostream& err, bool progress,
                   results::TRunRecord& record, const TRunHooks& hooks)
    : FOptions(options), FErr(err), FProgress(progress), FRecord(record),
      FHooks(hooks), FPositions{options.FileSizePosition, options.BlockSizePosition,
                                ChunkSizeStartPosition} {}

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

TTestFileChoice TCliHost::ChooseTestFile(std::string& fileName) {
    if (!FOptions.File.empty()) {
        fileName = FOptions.File;
        return TTestFileChoice::Chosen;
    }
    // The run's proposal is unique in the current directory; here it must be so in --dir.
    fileName = FOptions.Dir + "/" + UniqueDefaultTestFileName(Now(), FOptions.Dir);
    return TTestFileChoice::Proposed;
}

void TCliHost::ShowError(const std::string& text) {
    FErr << "orvane-cli: " << TerminalText(text) << "\n";
}

void TCliHost::ShowWarning(const std::string& text) {
    FErr << (FProgress ? "\n" : "") << "orvane-cli: warning: " << WithNewlines(text) << "\n";
}

void TCliHost::ShowNotEnoughSpace(std::int64_t freeBytes) {
    const std::string& mountPoint = FRecord.Info().MountPoint;
    const std::string where = EscapeControls(mountPoint.empty() ? FOptions.Dir : mountPoint);
    const std::string wanted(FileSizeLabels[static_cast<std::size_t>(FPositions[0])]);
    FErr << "orvane-cli: ";
    if (freeBytes < 0) {
        FErr << "the free space on " << where << " can't be read, so no test file is made there.\n";
        return;
    }
    const std::string free = FormatBytes(static_cast<std::uint64_t>(freeBytes));
    const auto fits = LargestFileSizeWithin(freeBytes);
    if (!fits) {
        FErr << "only " << free << " free on " << where << "; the smallest test file is "
             << FileSizeLabels.front() << ".\n";
        return;
    }
    const std::string_view label = FileSizeLabels[static_cast<std::size_t>(*fits)];
    FErr << "only " << free << " free on " << where << ", too little for a " << wanted
         << " test file; the largest that fits is " << label << " (--file-size " << label << ").\n";
}

void TCliHost::ReportFailure(const std::exception& error) {
    FErr << (FProgress ? "\n" : "")
         << "orvane-cli: " << TerminalText(ExceptionBoxText(error.what()))
         << FileSizeLimitNote(static_cast<std::uint64_t>(FileSize()) + 1) << "\n";
}

void TCliHost::Lock() {
    if (FProgress && FMatrix == nullptr) { // a matrix counts its cells from BeginMatrix
        // Until steady, a chunk size may settle before its last possible pass.
        const TMeasuringMode& mode = FOptions.Mode;
        FProgressLine.Start(static_cast<int>(2 * ChunkSizes.size()) *
                                std::max(mode.UntilSteady ? mode.MaxRepeats : mode.Repeats, 1),
                            mode.UntilSteady);
    }
}

void TCliHost::Unlock() {
    FProgressLine.Clear();
}

void TCliHost::SetPhaseColour(TPhaseColour colour) {
    if (!FProgress || (colour != TPhaseColour::Write && colour != TPhaseColour::Read)) {
        return;
    }
    const char* pass = colour == TPhaseColour::Write ? "write" : "read";
    if (FMatrix != nullptr) {
        FProgressLine.PhaseBegins(pass);
    } else {
        FProgressLine.PassBegins(ChunkLabel(), pass);
    }
}

void TCliHost::BeginMatrix(const TMatrixPlan& plan) {
    if (FProgress) {
        FProgressLine.StartCells(static_cast<int>(plan.MostIterations()), plan.Mode().UntilSteady);
    }
}

void TCliHost::MatrixCellBegins(const TMatrixPlan& plan, std::size_t unit) {
    if (FProgress) {
        FProgressLine.CellBegins(MatrixUnitName(plan.Units()[unit]));
    }
}

void TCliHost::AddMatrixRow(const TMatrixUnit& unit, const TResultRow& row) {
    if (FMatrix != nullptr) {
        FMatrix->Add(unit, row);
    }
}

void TCliHost::ProcessMessages() {
    if (FHooks.AtMessagePoint) {
        FHooks.AtMessagePoint();
    }
    if (const int signalNumber = platform::StopSignalReceived();
        signalNumber != 0 && !FStopRequested) {
        FStopRequested = true;
        FStopSignal = signalNumber;
    }
}

void TCliHost::Pause(unsigned milliseconds) {
    if (FHooks.Pause) {
        FHooks.Pause(milliseconds);
        return;
    }
    Sleep(milliseconds);
}

void TCliHost::BeforeFirstPass() {
    if (!FOptions.StartAt) {
        return;
    }
    using namespace std::chrono;
    const auto now = [this] { return FHooks.Now ? FHooks.Now() : system_clock::now(); };
    const TWallTime start = *FOptions.StartAt;
    const std::string given = EscapeControls(FOptions.StartAtText);
    if (const auto late = now() - start; late > TWallTime::duration::zero()) {
        FErr << "orvane-cli: warning: --start-at " << given << " was "
             << duration_cast<seconds>(late).count() << " s ago; the run starts at once.\n";
        return;
    }
    if (FProgress) {
        FErr << "orvane-cli: waiting until " << given << " for the first pass\n";
    }
    // Waits of at most a second, each against the wall clock again, so that a clock set
    // meanwhile (NTP, a resume) moves the start with it.
    for (auto left = start - now(); left > TWallTime::duration::zero(); left = start - now()) {
        ProcessMessages();
        if (FStopRequested) {
            return;
        }
        const milliseconds step = std::min(ceil<milliseconds>(left), milliseconds(StartWaitStep));
        if (FHooks.Wait) {
            FHooks.Wait(step);
        } else {
            platform::WaitForStopSignal(static_cast<int>(step.count()));
        }
    }
    ProcessMessages();
}

void TCliHost::SetGaugeRange(std::int32_t maximum) {
    FGaugeMax = std::max(maximum, 1);
}

void TCliHost::SetGaugeProgress(std::int32_t progress) {
    // Inside a pass: the run takes this call's time out of the pass.
    if (FProgress && progress > 0) {
        FProgressLine.Percent(static_cast<int>(static_cast<double>(progress) * 100.0 / FGaugeMax));
    }
}

void TCliHost::ClearResults() {
    FRecord.ClearRows();
}

void TCliHost::AddResultRow(TResultList, const TResultRow& row) {
    FRecord.Add(row);
}

} // namespace orvane::cli
