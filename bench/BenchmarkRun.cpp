// The run's algorithm, in the order the phases must keep.
#include "bench/BenchmarkRun.h"

#include "bench/Scales.h"
#include "bench/ShownText.h"
#include "bench/TestFile.h"
#include "bench/TimedLoop.h"
#include "fileio/SecondaryErrors.h"
#include "platform/Win32.h"

#include <cstring>
#include <limits>

namespace orvane {

namespace {

constexpr unsigned PhasePause = 100; // ms, before and after every timed pass

std::int64_t FreeBytesOfCurrentDrive() {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExA(nullptr, &available, nullptr, nullptr)) {
        return -1;
    }
    const auto limit = static_cast<ULONGLONG>(std::numeric_limits<std::int64_t>::max());
    return static_cast<std::int64_t>(std::min(available.QuadPart, limit));
}

} // namespace

TRunOutcome TBenchmarkRun::Execute(TRunHost& host) {
    bool& stop = host.StopFlag();
    stop = false;
    FBlockSize = BlockSizes[static_cast<std::size_t>(host.Position(TScale::Blocks))];
    host.SetSizes(FBlockSize, ChunkSizes[static_cast<std::size_t>(host.Position(TScale::Chunks))]);

    // Proposed in the dialog's starting directory, the current one.
    FTestFileName = UniqueDefaultTestFileName(Now(), ".");
    std::string chosen = FTestFileName;
    if (!host.ChooseTestFile(chosen)) {
        return TRunOutcome::Cancelled;
    }
    const std::string fullName = FullPathName(chosen);
    FTestFileName = fullName.empty() ? chosen : fullName;
    // The benchmark empties and deletes its file: it must never be someone's own file.
    if (const TNameCheck name = CheckTestFileName(FTestFileName); name.State != TNameState::Free) {
        host.ShowError(name.State == TNameState::Taken
                           ? ExistingFileText(FTestFileName)
                           : UnusableNameText(FTestFileName, name.Error));
        return TRunOutcome::FileExists;
    }
    host.SetCaption("Orvane [" + FTestFileName + "]");
    FTestDir = DirectoryOf(FTestFileName);
    SetCurrentDirectoryA(FTestDir.c_str()); // a failure shows in the free-space check

    FFreeSpace = FreeBytesOfCurrentDrive();
    if (static_cast<std::int64_t>(static_cast<std::uint32_t>(host.FileSize())) > FFreeSpace) {
        host.ShowNotEnoughSpace(FFreeSpace);
        for (int p = host.Position(TScale::Files);
             p > 0 && FileSizes[static_cast<std::size_t>(p)] > FFreeSpace;
             p = host.Position(TScale::Files)) {
            host.SetPosition(TScale::Files, p - 1);
        }
        return TRunOutcome::NotEnoughSpace;
    }

    host.Lock();
    std::memset(BlockBuffer, 0, static_cast<std::size_t>(FBlockSize));
    host.SetGaugeRange(static_cast<std::int32_t>(static_cast<std::uint32_t>(host.FileSize()) /
                                                 static_cast<std::uint32_t>(FBlockSize)));
    host.ClearResults();
    try {
        for (std::size_t counter = 0; counter < ChunkSizes.size(); ++counter) {
            RunIteration(host, static_cast<int>(counter), ChunkSizes[counter]);
        }
    } catch (const std::exception& error) {
        // What failed in the clean-up after it goes with it, not in its place.
        std::string text = error.what();
        for (const std::string& later : TakeSecondaryErrors()) {
            text = ExceptionBoxText(text);
            text += "\rAfterwards: ";
            text += later;
        }
        host.ReportFailure(Exception(text));
        host.Unlock();
        return TRunOutcome::Failed;
    }
    host.Unlock();
    return stop ? TRunOutcome::Stopped : TRunOutcome::Completed;
}

void TBenchmarkRun::RunIteration(TRunHost& host, int counter, std::int32_t chunkSize) {
    const bool& stop = host.StopFlag();
    if (stop) {
        return; // skipped whole: no clean-up, the chunk bar stays
    }
    TCreatedFile testFile(FTestFileName);
    TIteration it{host,       FTestFileName, static_cast<std::uint32_t>(host.FileSize()),
                  FBlockSize, chunkSize,     BlockBuffer};
    const TMethodOps* ops = nullptr;
    std::unique_ptr<TMethodState> state;
    // Every open of the name must find the file this iteration created, before anything
    // empties it or a pass measures it.
    const auto open = [&](void (*phase)(TIteration&, TMethodState&)) {
        testFile.Verify();
        phase(it, *state);
        testFile.Verify();
    };
    const auto cleanUp = [&]() noexcept {
        if (state != nullptr) {
            ops->CleanUp(it, *state);
        }
        return testFile.Release();
    };
    try {
        host.SetPosition(TScale::Chunks, counter);
        ops = &MethodOps(host.AccessMethod());
        state = ops->NewState();
        testFile.Create();
        ops->PrepareOpen(it, *state);
        testFile.Verify();
        host.SetPhaseColour(TPhaseColour::Prepare);
        host.ProcessMessages();
        ops->PrepareExtend(it, *state);
        host.ProcessMessages();
        host.SetGaugeProgress(0);

        open(ops->ReopenForWrite);
        host.SetPhaseColour(TPhaseColour::Write);
        host.ProcessMessages();
        host.Pause(PhasePause);
        host.ProcessMessages();
        const TPassTiming write = ops->WritePass(it, *state);
        ops->Close(it, *state);
        host.ProcessMessages();
        host.Pause(PhasePause);
        host.ProcessMessages();
        if (!stop) {
            AddRow(host, TResultList::Write, chunkSize, write);
        }

        host.SetGaugeProgress(0);
        open(ops->OpenForRead);
        host.SetPhaseColour(TPhaseColour::Read);
        host.ProcessMessages();
        host.Pause(PhasePause);
        host.ProcessMessages();
        const TPassTiming read = ops->ReadPass(it, *state);
        ops->Close(it, *state);
        host.ProcessMessages();
        host.Pause(PhasePause);
        host.ProcessMessages();
        if (!stop) {
            AddRow(host, TResultList::Read, chunkSize, read);
        }
        host.SetPhaseColour(TPhaseColour::Idle);
        host.ProcessMessages();
    } catch (...) {
        if (const std::string left = cleanUp(); !left.empty()) {
            NoteSecondaryError(left);
        }
        throw;
    }
    if (const std::string left = cleanUp(); !left.empty()) {
        throw Exception(left);
    }
}

void TBenchmarkRun::AddRow(TRunHost& host, TResultList list, std::int32_t chunkSize,
                           const TPassTiming& timing) {
    TResultRow row;
    row.Pass = list;
    row.ChunkLabel = host.ChunkLabel();
    row.ChunkBytes = static_cast<std::uint32_t>(chunkSize);
    row.BlockBytes = static_cast<std::uint32_t>(FBlockSize);
    row.FileBytes = static_cast<std::uint32_t>(host.FileSize());
    row.Start = timing.Start;
    // The gauge's drawing is the window's cost, not the disk's: the row ends that much earlier.
    row.End = timing.End - timing.GaugeTime;
    host.AddResultRow(list, row);
}

} // namespace orvane
