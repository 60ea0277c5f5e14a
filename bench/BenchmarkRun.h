// One press of "Go!": the test file chosen and checked, the controls locked, one iteration
// per chunk size (or several, round after round, as the repeat plan says) with its
// preparatory, write and read passes, rows, clean-up, unlock. A matrix is the same with one
// iteration per cell of its plan.
#pragma once

#include "bench/MatrixPlan.h"
#include "bench/Methods.h"
#include "bench/RepeatPlan.h"
#include "bench/RunHost.h"
#include "bench/TestFile.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

enum class TRunOutcome {
    Completed,      // every iteration ran
    Stopped,        // a stop was taken in; the rows so far stand
    Cancelled,      // the file dialog was cancelled
    FileExists,     // the chosen name is taken (or unusable) and was left alone
    NotEnoughSpace, // the file-size bar was lowered instead
    Failed,         // an error ended the run; it was reported to the host
};

inline constexpr const char* NotEnoughSpaceText =
    "Not enough space for requested file size.\rDecreasing to next valid size.";

class TBenchmarkRun {
public:
    TBenchmarkRun() = default;
    TBenchmarkRun(const TBenchmarkRun&) = delete;
    TBenchmarkRun& operator=(const TBenchmarkRun&) = delete;

    TRunOutcome Execute(TRunHost& host);
    // The matrix's cells, each one iteration as Execute makes it, in the plan's order and
    // with the plan's measuring mode in place of the host's; the rows go to the host's
    // AddMatrixRow. A failure names the cell it happened in.
    TRunOutcome ExecuteMatrix(TRunHost& host, TMatrixPlan& plan);

    const std::string& TestFileName() const { return FTestFileName; }
    const std::string& TestDir() const { return FTestDir; }

private:
    // One pass's clock readings and proof.
    struct TSample {
        TPassTiming Timing;
        TPassProof Proof;
    };

    // What one iteration measures.
    struct TIterationSettings {
        TAccessMethod Method;
        bool WriteBuffered;
        bool ReadBuffered;
        std::int32_t BlockSize;
        std::size_t ChunkPosition;
    };
    // Takes a pass's sample, unless a stop came during it.
    using TKeep = std::function<void(TResultList, const TSample&)>;

    // The test file named and checked, the current directory and the space: the run's
    // outcome where it ends before measuring.
    std::optional<TRunOutcome> Prepare(TRunHost& host);
    // Between the lock and the unlock: `begin` after the lock, then the ceiling where the
    // mode asks for it and `sweep`, then `finish` (also after a failure, which it reports).
    TRunOutcome Measure(TRunHost& host, const std::function<void()>& begin,
                        const std::function<void()>& sweep, const std::function<void()>& finish);
    // Room for the samples of `count` chunk sizes or cells.
    void ResetSamples(std::size_t count);
    // Asks the host for the test file's name until it is free, or chosen by the user, or the
    // host cancels; a proposal taken meanwhile is proposed afresh.
    TTestFileChoice ChooseName(TRunHost& host, TNameCheck& check);
    // Creates the iteration's file; a proposed name taken since it was checked is replaced
    // by the next free one.
    void CreateTestFile(TRunHost& host, TCreatedFile& testFile);
    void RunIteration(TRunHost& host, const TIterationSettings& settings, const TKeep& keep);
    void TakeCeiling(TRunHost& host);
    void Settle(TRunHost& host, const char* pass);
    void DropFromCache(TRunHost& host);
    // Keeps a pass's sample of a chunk size (or cell) with its label; its seconds for the plan.
    double Collect(TRunHost& host, std::size_t index, TResultList list, const TSample& sample);
    // Keeps a pass's sample and adds the rows it completes.
    void Keep(TRunHost& host, TRepeatPlan& plan, std::size_t counter, TResultList list,
              const TSample& sample);
    // The plan's complete rows, or after a stop or failure every row with a sample.
    void AddRows(TRunHost& host, TRepeatPlan& plan, bool rest);
    void AddRow(TRunHost& host, const TRepeatPlan& plan, TResultList list, std::size_t counter);
    // The row of the samples kept at `index` (a chunk size, or a matrix's unit), its duration
    // their median.
    TResultRow MakeRow(TRunHost& host, TResultList list, std::size_t index,
                       const std::vector<double>& durations, std::optional<bool> steady,
                       std::int32_t chunkSize, std::int32_t blockSize) const;

    std::string FTestFileName;
    bool FNameProposed = false;
    bool FMarkWarned = false; // once a run
    std::string FTestDir;
    std::int64_t FFreeSpace = 0;
    std::int32_t FBlockSize = 0;
    TMeasuringMode FMode;
    std::string FDevice; // whose counters prove a pass; empty: none
    // By TResultList, then by chunk size: every sample kept, in the order run.
    std::vector<std::vector<TSample>> FSamples[2];
    std::vector<std::string> FChunkLabels; // as the host named each chunk size (or cell's)
    std::string FCell;                     // the matrix's cell being measured, for an error's text
    alignas(64) std::uint8_t BlockBuffer[256] = {};
};

} // namespace orvane
