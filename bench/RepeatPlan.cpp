// The repeat plan.
#include "bench/RepeatPlan.h"

#include "bench/Statistics.h"

#include <algorithm>
#include <utility>

namespace orvane {

namespace {

std::size_t Index(TResultList list) {
    return list == TResultList::Write ? 0 : 1;
}

} // namespace

TRepeatPlan::TRepeatPlan(std::size_t chunkCount, const TMeasuringMode& mode, TRoundOrder order)
    : FChunks(chunkCount), FUntilSteady(mode.UntilSteady), FTargetPercent(mode.TargetPercent),
      FMaxRounds(mode.UntilSteady ? std::max(mode.MaxRepeats, static_cast<int>(MinimumSamples))
                                  : std::max(mode.Repeats, 1)),
      FRoundOrder(std::move(order)) {
    if (FRoundOrder) {
        FOrder = FRoundOrder(FRound);
    }
}

bool TRepeatPlan::Final(const TChunk& chunk) const {
    return chunk.Settled || chunk.Runs >= FMaxRounds;
}

std::optional<std::size_t> TRepeatPlan::Next() {
    for (;;) {
        for (; FCursor < FChunks.size(); ++FCursor) {
            const std::size_t index = FOrder.empty() ? FCursor : FOrder[FCursor];
            TChunk& chunk = FChunks[index];
            if (!Final(chunk)) {
                ++chunk.Runs;
                ++FCursor;
                return index;
            }
        }
        if (FRound >= FMaxRounds || std::all_of(FChunks.begin(), FChunks.end(),
                                                [this](const TChunk& c) { return Final(c); })) {
            return std::nullopt;
        }
        ++FRound;
        FCursor = 0;
        if (FRoundOrder) {
            FOrder = FRoundOrder(FRound);
        }
    }
}

std::vector<double>& TRepeatPlan::SamplesOf(std::size_t chunk, TResultList list) {
    return FChunks.at(chunk).Seconds[Index(list)];
}

const std::vector<double>& TRepeatPlan::Samples(std::size_t chunk, TResultList list) const {
    return FChunks.at(chunk).Seconds[Index(list)];
}

void TRepeatPlan::Record(std::size_t chunk, TResultList list, double seconds) {
    std::vector<double>& samples = SamplesOf(chunk, list);
    TChunk& c = FChunks[chunk];
    if (static_cast<int>(samples.size()) >= c.Runs) {
        return; // a pass of no started run: nothing to keep
    }
    samples.push_back(seconds);
    // Steadiness is judged only on whole runs, so that a chunk size, once done, stays done.
    const auto whole = static_cast<std::size_t>(c.Runs);
    if (FUntilSteady && !c.Settled && c.Seconds[0].size() == whole &&
        c.Seconds[1].size() == whole) {
        c.Settled =
            IsSteady(c.Seconds[0], FTargetPercent) && IsSteady(c.Seconds[1], FTargetPercent);
    }
}

std::vector<std::size_t> TRepeatPlan::TakeComplete(TResultList list) {
    std::vector<std::size_t> rows;
    std::size_t& taken = FTaken[Index(list)];
    while (taken < FChunks.size()) {
        const TChunk& chunk = FChunks[taken];
        if (!Final(chunk) || static_cast<int>(chunk.Seconds[Index(list)].size()) != chunk.Runs) {
            break;
        }
        rows.push_back(taken++);
    }
    return rows;
}

std::vector<std::size_t> TRepeatPlan::TakeRest(TResultList list) {
    std::vector<std::size_t> rows;
    std::size_t& taken = FTaken[Index(list)];
    for (; taken < FChunks.size(); ++taken) {
        if (!FChunks[taken].Seconds[Index(list)].empty()) {
            rows.push_back(taken);
        }
    }
    return rows;
}

std::optional<bool> TRepeatPlan::Steady(std::size_t chunk, TResultList list) const {
    if (!FUntilSteady) {
        return std::nullopt;
    }
    return IsSteady(Samples(chunk, list), FTargetPercent);
}

} // namespace orvane
