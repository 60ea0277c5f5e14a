// The run's algorithm, in the order the phases must keep.
#include "bench/BenchmarkRun.h"

#include "bench/Ceiling.h"
#include "bench/PassProbe.h"
#include "bench/Scales.h"
#include "bench/ShownText.h"
#include "bench/TestFile.h"
#include "bench/TimedLoop.h"
#include "fileio/SecondaryErrors.h"
#include "platform/Measuring.h"
#include "platform/Win32.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

namespace orvane {

namespace {

constexpr unsigned PhasePause = 100; // ms, before and after every timed pass
// Fresh proposals for a name that keeps turning out taken before the run gives up on it.
constexpr int ProposalAttempts = 20;
// A cold read pass may start with this share of the file still cached (read-ahead of the
// open, pages the kernel would not drop at once); more, and the drop is tried once more.
constexpr std::uint64_t ColdResidencyPerMille = 10;

std::int64_t FreeBytesOfCurrentDrive() {
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExA(nullptr, &available, nullptr, nullptr)) {
        return -1;
    }
    const auto limit = static_cast<ULONGLONG>(std::numeric_limits<std::int64_t>::max());
    return static_cast<std::int64_t>(std::min(available.QuadPart, limit));
}

// The gauge's drawing is the window's cost, not the disk's: it is left out of each pass.
TPassClock::duration Duration(const TPassTiming& timing) {
    return timing.End - timing.Start - timing.GaugeTime;
}

std::size_t Index(TResultList list) {
    return list == TResultList::Write ? 0 : 1;
}

// The gauge counts the blocks of a pass.
std::int32_t BlocksPerPass(const TRunHost& host, std::int32_t blockSize) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(host.FileSize()) /
                                     static_cast<std::uint32_t>(blockSize));
}

std::string CaptionOf(const std::string& testFileName) {
    return "Orvane [" + testFileName + "]";
}

// The next free proposal in the directory of `path`.
std::string FreshProposal(const std::string& path) {
    const std::string directory = DirectoryOf(path);
    return (directory == "/" ? "" : directory) + "/" + UniqueDefaultTestFileName(Now(), directory);
}

} // namespace

TRunOutcome TBenchmarkRun::Execute(TRunHost& host) {
    bool& stop = host.StopFlag();
    stop = false;
    FBlockSize = BlockSizes[static_cast<std::size_t>(host.Position(TScale::Blocks))];
    host.SetSizes(FBlockSize, ChunkSizes[static_cast<std::size_t>(host.Position(TScale::Chunks))]);
    if (const std::optional<TRunOutcome> ended = Prepare(host)) {
        return *ended;
    }
    FMode = host.MeasuringMode();
    FMode.Repeats = std::max(FMode.Repeats, 1);
    TRepeatPlan plan(ChunkSizes.size(), FMode);
    ResetSamples(ChunkSizes.size());
    const auto begin = [&] {
        host.SetGaugeRange(BlocksPerPass(host, FBlockSize));
        host.ClearResults();
    };
    // Each repeat is a whole iteration with a file of its own, so that no repeat inherits
    // the previous one's file, blocks or cache.
    const auto sweep = [&] {
        for (std::optional<std::size_t> counter = plan.Next(); counter && !stop;
             counter = plan.Next()) {
            const std::size_t chunk = *counter;
            RunIteration(
                host,
                {host.AccessMethod(), host.WriteBuffered(), host.ReadBuffered(), FBlockSize, chunk},
                [&](TResultList list, const TSample& sample) {
                    Keep(host, plan, chunk, list, sample);
                });
        }
    };
    // A stop or an error ends the rounds early: what each chunk size measured so far stands.
    return Measure(host, begin, sweep, [&] { AddRows(host, plan, true); });
}

TRunOutcome TBenchmarkRun::ExecuteMatrix(TRunHost& host, TMatrixPlan& plan) {
    bool& stop = host.StopFlag();
    stop = false;
    if (const std::optional<TRunOutcome> ended = Prepare(host)) {
        return *ended;
    }
    FMode = plan.Mode();
    FMode.Repeats = std::max(FMode.Repeats, 1);
    const std::vector<TMatrixUnit>& units = plan.Units();
    ResetSamples(units.size());
    const auto sweep = [&] {
        for (std::optional<std::size_t> next = plan.Next(); next && !stop; next = plan.Next()) {
            const std::size_t index = *next;
            const TMatrixUnit& unit = units[index];
            const TMatrixConfiguration& configuration = MatrixConfigurations()[unit.Configuration];
            FBlockSize = BlockSizes[unit.BlockPosition];
            FCell = MatrixUnitName(unit);
            host.MatrixCellBegins(plan, index);
            host.SetGaugeRange(BlocksPerPass(host, FBlockSize));
            RunIteration(host,
                         {configuration.Method, configuration.Buffered, configuration.Buffered,
                          FBlockSize, unit.RunChunkPosition()},
                         [&](TResultList list, const TSample& sample) {
                             plan.Record(index, list, Collect(host, index, list, sample));
                         });
        }
        FCell.clear();
    };
    // Every cell with a sample has its row, whether the matrix ran to its end or not.
    const auto finish = [&] {
        for (const TResultList list : {TResultList::Write, TResultList::Read}) {
            for (std::size_t index = 0; index < units.size(); ++index) {
                if (FSamples[Index(list)][index].empty()) {
                    continue;
                }
                const TMatrixUnit& unit = units[index];
                host.AddMatrixRow(unit, MakeRow(host, list, index, plan.Samples(index, list),
                                                plan.Steady(index, list),
                                                ChunkSizes[unit.RunChunkPosition()],
                                                BlockSizes[unit.BlockPosition]));
            }
        }
    };
    return Measure(
        host, [&] { host.BeginMatrix(plan); }, sweep, finish);
}

std::optional<TRunOutcome> TBenchmarkRun::Prepare(TRunHost& host) {
    TNameCheck name{};
    const TTestFileChoice choice = ChooseName(host, name);
    if (choice == TTestFileChoice::Cancelled) {
        return TRunOutcome::Cancelled;
    }
    FNameProposed = choice == TTestFileChoice::Proposed;
    // The benchmark empties and deletes its file: it must never be someone's own file.
    if (name.State != TNameState::Free) {
        host.ShowError(name.State == TNameState::Taken
                           ? ExistingFileText(FTestFileName)
                           : UnusableNameText(FTestFileName, name.Error));
        return TRunOutcome::FileExists;
    }
    host.SetCaption(CaptionOf(FTestFileName));
    FTestDir = DirectoryOf(FTestFileName);
    SetCurrentDirectoryA(FTestDir.c_str()); // a failure shows in the free-space check

    FFreeSpace = FreeBytesOfCurrentDrive();
    if (static_cast<std::int64_t>(static_cast<std::uint32_t>(host.FileSize())) > FFreeSpace) {
        host.ShowNotEnoughSpace(FFreeSpace);
        const int fits = LargestFileSizeWithin(FFreeSpace).value_or(0);
        for (int p = host.Position(TScale::Files); p > fits; p = host.Position(TScale::Files)) {
            host.SetPosition(TScale::Files, p - 1);
        }
        return TRunOutcome::NotEnoughSpace;
    }
    return std::nullopt;
}

void TBenchmarkRun::ResetSamples(std::size_t count) {
    for (auto& samples : FSamples) {
        samples.assign(count, {});
    }
    FChunkLabels.assign(count, {});
}

TRunOutcome TBenchmarkRun::Measure(TRunHost& host, const std::function<void()>& begin,
                                   const std::function<void()>& sweep,
                                   const std::function<void()>& finish) {
    const bool& stop = host.StopFlag();
    FDevice = platform::BlockDeviceOf(FTestDir);
    FMarkWarned = false;
    FCell.clear();
    const platform::TStoppedTimeWatch stops;
    host.BeforeFirstPass(); // a stop while it waits ends the run before any pass
    host.Lock();
    std::memset(BlockBuffer, 0, sizeof BlockBuffer);
    begin();
    try {
        if (FMode.Ceiling) {
            TakeCeiling(host);
        }
        sweep();
        finish();
    } catch (const std::exception& error) {
        finish();
        // What failed in the clean-up after it goes with it, not in its place.
        std::string text =
            FCell.empty() ? error.what() : "In the cell " + FCell + ": " + error.what();
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

TTestFileChoice TBenchmarkRun::ChooseName(TRunHost& host, TNameCheck& check) {
    // Proposed first in the dialog's starting directory, the current one.
    std::string proposal = UniqueDefaultTestFileName(Now(), ".");
    for (int attempt = 1;; ++attempt) {
        FTestFileName = proposal;
        std::string chosen = proposal;
        const TTestFileChoice choice = host.ChooseTestFile(chosen);
        if (choice == TTestFileChoice::Cancelled) {
            return choice;
        }
        const std::string fullName = FullPathName(chosen);
        FTestFileName = fullName.empty() ? chosen : fullName;
        check = CheckTestFileName(FTestFileName);
        // Taken since it was proposed: a run started at the same moment got there first.
        if (check.State != TNameState::Taken || choice != TTestFileChoice::Proposed ||
            attempt == ProposalAttempts) {
            return choice;
        }
        proposal = FreshProposal(FTestFileName);
    }
}

void TBenchmarkRun::CreateTestFile(TRunHost& host, TCreatedFile& testFile) {
    for (int attempt = 1;; ++attempt) {
        try {
            testFile.Create();
            return;
        } catch (const ETestFileTaken&) {
            if (!FNameProposed || attempt == ProposalAttempts) {
                throw;
            }
        }
        // The iteration's file, its layer and its probes all follow the name.
        FTestFileName = FreshProposal(FTestFileName);
        host.SetCaption(CaptionOf(FTestFileName));
    }
}

void TBenchmarkRun::RunIteration(TRunHost& host, const TIterationSettings& settings,
                                 const TKeep& keep) {
    const bool& stop = host.StopFlag();
    if (stop) {
        return; // skipped whole: no clean-up, the chunk bar stays
    }
    const std::size_t counter = settings.ChunkPosition;
    TCreatedFile testFile(FTestFileName);
    TIteration it{host,
                  FTestFileName,
                  static_cast<std::uint32_t>(host.FileSize()),
                  settings.BlockSize,
                  ChunkSizes[counter],
                  BlockBuffer,
                  settings.WriteBuffered,
                  settings.ReadBuffered};
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
        host.SetPosition(TScale::Chunks, static_cast<int>(counter));
        ops = &MethodOps(settings.Method);
        state = ops->NewState();
        CreateTestFile(host, testFile);
        ops->PrepareOpen(it, *state);
        testFile.Verify();
        if (testFile.MarkError() != 0 && !FMarkWarned) {
            FMarkWarned = true;
            host.ShowWarning(UnmarkedTestFileText(FTestDir, testFile.MarkError()));
        }
        host.SetPhaseColour(TPhaseColour::Prepare);
        host.ProcessMessages();
        ops->PrepareExtend(it, *state);
        host.ProcessMessages();
        host.SetGaugeProgress(0);

        open(ops->ReopenForWrite);
        host.SetPhaseColour(TPhaseColour::Write);
        host.ProcessMessages();
        if (FMode.Durable) {
            Settle(host, "write");
        }
        host.Pause(PhasePause);
        host.ProcessMessages();
        TPassProbe writeProbe(FDevice, TResultList::Write, FTestFileName);
        writeProbe.Before();
        TPassTiming write;
        try {
            write = ops->WritePass(it, *state);
        } catch (...) {
            RethrowNamingPass(TPassKind::Write, host.ChunkLabel());
        }
        if (FMode.Durable) {
            host.MeasuringStep(TMeasuringStep::Flush);
            try {
                ops->EndWritePass(it, *state);
            } catch (...) {
                RethrowNamingFlush(host.ChunkLabel());
            }
            write.End = TPassClock::now();
        }
        writeProbe.After();
        ops->Close(it, *state);
        host.ProcessMessages();
        host.Pause(PhasePause);
        host.ProcessMessages();
        if (!stop) {
            keep(TResultList::Write, {write, writeProbe.Proof()});
        }

        host.SetGaugeProgress(0);
        open(ops->OpenForRead);
        if (FMode.Cold) {
            DropFromCache(host); // the file checked as the run's own just before
        }
        host.SetPhaseColour(TPhaseColour::Read);
        host.ProcessMessages();
        if (FMode.Durable) {
            Settle(host, "read");
        }
        host.Pause(PhasePause);
        host.ProcessMessages();
        TPassProbe readProbe(FDevice, TResultList::Read, FTestFileName);
        readProbe.Before();
        TPassTiming read;
        try {
            read = ops->ReadPass(it, *state);
        } catch (...) {
            RethrowNamingPass(TPassKind::Read, host.ChunkLabel());
        }
        readProbe.After();
        ops->Close(it, *state);
        host.ProcessMessages();
        host.Pause(PhasePause);
        host.ProcessMessages();
        if (!stop) {
            keep(TResultList::Read, {read, readProbe.Proof()});
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

void TBenchmarkRun::TakeCeiling(TRunHost& host) {
    const bool& stop = host.StopFlag();
    host.ProcessMessages();
    if (stop) {
        return;
    }
    try {
        if (const std::optional<TCeiling> ceiling = MeasureCeiling(host, FTestFileName)) {
            host.CeilingMeasured(*ceiling);
        }
    } catch (const ECeilingRefused& refused) {
        host.CeilingRefused(refused.what());
    }
    host.ProcessMessages();
}

void TBenchmarkRun::Settle(TRunHost& host, const char* pass) {
    host.MeasuringStep(TMeasuringStep::Settle);
    if (const platform::TStepResult done = platform::SettleFileSystem(FTestFileName); !done) {
        throw Exception(std::string("Before the ") + pass + " pass with chunk size " +
                        host.ChunkLabel() + " the file system could not be settled: " + done.Call +
                        " failed: " + platform::ErrnoText(done.Error));
    }
}

void TBenchmarkRun::DropFromCache(TRunHost& host) {
    const auto drop = [&] {
        host.MeasuringStep(TMeasuringStep::Drop);
        if (const platform::TStepResult done = platform::DropFromPageCache(FTestFileName); !done) {
            throw Exception("Before the read pass with chunk size " + host.ChunkLabel() +
                            " the test file could not be dropped from the page cache: " +
                            done.Call + " failed: " + platform::ErrnoText(done.Error));
        }
    };
    drop();
    const std::uint64_t allowed =
        std::uint64_t{static_cast<std::uint32_t>(host.FileSize())} * ColdResidencyPerMille / 1000;
    if (const auto cached = platform::CachedBytes(FTestFileName); cached && *cached > allowed) {
        drop(); // once more; what stays shows in the row's cached bytes
    }
}

double TBenchmarkRun::Collect(TRunHost& host, std::size_t index, TResultList list,
                              const TSample& sample) {
    FSamples[Index(list)][index].push_back(sample);
    FChunkLabels[index] = host.ChunkLabel();
    return std::chrono::duration<double>(Duration(sample.Timing)).count();
}

void TBenchmarkRun::Keep(TRunHost& host, TRepeatPlan& plan, std::size_t counter, TResultList list,
                         const TSample& sample) {
    plan.Record(counter, list, Collect(host, counter, list, sample));
    AddRows(host, plan, false);
}

void TBenchmarkRun::AddRows(TRunHost& host, TRepeatPlan& plan, bool rest) {
    for (const TResultList list : {TResultList::Write, TResultList::Read}) {
        for (const std::size_t counter : rest ? plan.TakeRest(list) : plan.TakeComplete(list)) {
            AddRow(host, plan, list, counter);
        }
    }
}

void TBenchmarkRun::AddRow(TRunHost& host, const TRepeatPlan& plan, TResultList list,
                           std::size_t counter) {
    host.AddResultRow(list, MakeRow(host, list, counter, plan.Samples(counter, list),
                                    plan.Steady(counter, list), ChunkSizes[counter], FBlockSize));
}

TResultRow TBenchmarkRun::MakeRow(TRunHost& host, TResultList list, std::size_t index,
                                  const std::vector<double>& durations, std::optional<bool> steady,
                                  std::int32_t chunkSize, std::int32_t blockSize) const {
    const std::vector<TSample>& samples = FSamples[Index(list)][index];
    // The median duration; with an even count the mean of the middle two. The proof is
    // that of the middle (lower middle) pass.
    std::vector<std::size_t> order(samples.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    const auto duration = [&](std::size_t i) { return Duration(samples[i].Timing); };
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return duration(a) < duration(b); });
    const std::size_t middle = (order.size() - 1) / 2;
    const TSample& median = samples[order[middle]];
    auto elapsed = duration(order[middle]);
    if (order.size() % 2 == 0) {
        elapsed = (elapsed + duration(order[middle + 1])) / 2;
    }
    const TPassTiming timing{median.Timing.Start, median.Timing.Start + elapsed};

    TResultRow row;
    row.Proof = median.Proof;
    // The plan's copy of the durations is the one its steadiness was judged on.
    row.DurationSamples = durations;
    row.Steady = steady;
    // A stop in any repeat marks the row, whose samples include that repeat's time.
    row.Proof.StoppedSeconds.reset();
    for (const TSample& sample : samples) {
        if (sample.Proof.StoppedSeconds) {
            row.Proof.StoppedSeconds =
                row.Proof.StoppedSeconds.value_or(0) + *sample.Proof.StoppedSeconds;
        }
    }
    row.Pass = list;
    row.ChunkLabel = FChunkLabels[index];
    row.ChunkBytes = static_cast<std::uint32_t>(chunkSize);
    row.BlockBytes = static_cast<std::uint32_t>(blockSize);
    row.FileBytes = static_cast<std::uint32_t>(host.FileSize());
    row.Start = timing.Start;
    row.End = timing.End;
    return row;
}

} // namespace orvane
