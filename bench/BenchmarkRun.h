// One press of "Go!": the test file chosen and checked, the controls locked, one iteration
// per chunk size (or several, round after round, as the repeat plan says) with its
// preparatory, write and read passes, rows, clean-up, unlock.
#pragma once

#include "bench/Methods.h"
#include "bench/RepeatPlan.h"
#include "bench/RunHost.h"
#include "bench/TestFile.h"

#include <cstdint>
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

    const std::string& TestFileName() const { return FTestFileName; }
    const std::string& TestDir() const { return FTestDir; }

private:
    // One pass's clock readings and proof.
    struct TSample {
        TPassTiming Timing;
        TPassProof Proof;
    };

    // Asks the host for the test file's name until it is free, or chosen by the user, or the
    // host cancels; a proposal taken meanwhile is proposed afresh.
    TTestFileChoice ChooseName(TRunHost& host, TNameCheck& check);
    // Creates the iteration's file; a proposed name taken since it was checked is replaced
    // by the next free one.
    void CreateTestFile(TRunHost& host, TCreatedFile& testFile);
    void RunIteration(TRunHost& host, TRepeatPlan& plan, std::size_t counter);
    void TakeCeiling(TRunHost& host);
    void Settle(TRunHost& host, const char* pass);
    void DropFromCache(TRunHost& host);
    // Keeps a pass's sample and adds the rows it completes.
    void Keep(TRunHost& host, TRepeatPlan& plan, std::size_t counter, TResultList list,
              const TSample& sample);
    // The plan's complete rows, or after a stop or failure every row with a sample.
    void AddRows(TRunHost& host, TRepeatPlan& plan, bool rest);
    void AddRow(TRunHost& host, const TRepeatPlan& plan, TResultList list, std::size_t counter);

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
    std::vector<std::string> FChunkLabels; // as the host named each chunk size
    alignas(64) std::uint8_t BlockBuffer[256] = {};
};

} // namespace orvane
