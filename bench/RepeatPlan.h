// The order in which a run repeats its chunk sizes and when a row is done: round after round
// over the chunk sizes (so that a slow drift of the machine spreads over all of them), a fixed
// number of rounds or, until steady, later rounds only for the chunk sizes not yet steady.
// Pure: it is told each pass's duration and answers what to run and which rows are complete.
// A matrix plans its cells with it as a run plans its chunk sizes, each round in an order of
// its own.
#pragma once

#include "bench/ResultRow.h"
#include "bench/RunHost.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace orvane {

// The order in which round `round` (from 1) visits the items: a permutation of their indices.
using TRoundOrder = std::function<std::vector<std::size_t>(int round)>;

class TRepeatPlan {
public:
    // Without an order, every round visits the items in index order.
    TRepeatPlan(std::size_t chunkCount, const TMeasuringMode& mode, TRoundOrder order = {});

    // The chunk size to run next, starting its next run; none when the plan is done.
    std::optional<std::size_t> Next();
    // The round of the run that Next last started, from 1.
    int Round() const { return FRound; }
    // The most rounds any chunk size can get.
    int MaxRounds() const { return FMaxRounds; }

    // A pass of the chunk size's current run took `seconds`. A run that was stopped in a pass
    // records nothing for it.
    void Record(std::size_t chunk, TResultList list, double seconds);

    // The rows of the list that are complete (their chunk size runs no more and its last
    // run's pass is recorded) and have every earlier row taken: the lists fill in chunk order.
    // Each row is taken once.
    std::vector<std::size_t> TakeComplete(TResultList list);
    // After a stop or a failure: every row not yet taken that has at least one sample.
    std::vector<std::size_t> TakeRest(TResultList list);

    const std::vector<double>& Samples(std::size_t chunk, TResultList list) const;
    // Whether the row reached the target; none when the mode repeats a fixed number of times.
    std::optional<bool> Steady(std::size_t chunk, TResultList list) const;

private:
    struct TChunk {
        int Runs = 0;                   // started
        bool Settled = false;           // steady in both lists after a whole run
        std::vector<double> Seconds[2]; // by TResultList
    };

    bool Final(const TChunk& chunk) const;
    std::vector<double>& SamplesOf(std::size_t chunk, TResultList list);

    std::vector<TChunk> FChunks;
    bool FUntilSteady = false;
    double FTargetPercent = 0;
    int FMaxRounds = 1;
    int FRound = 1;
    std::size_t FCursor = 0; // the position in this round's order it looks at next
    TRoundOrder FRoundOrder;
    std::vector<std::size_t> FOrder; // this round's; empty: index order
    std::size_t FTaken[2] = {0, 0};  // rows taken, by TResultList
};

} // namespace orvane
