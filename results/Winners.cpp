// The winners of a matrix.
#include "results/Winners.h"

#include "bench/MatrixPlan.h"
#include "bench/Statistics.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <utility>

namespace orvane::results {

namespace {

struct TContender {
    const TMatrixCell* Cell;
    std::vector<double> Seconds;
    double Median; // throughput, bytes per second
};

std::vector<double> SecondsOf(const TResultRow& row) {
    return row.DurationSamples.empty() ? std::vector<double>{row.ElapsedSeconds()}
                                       : row.DurationSamples;
}

std::optional<TInterval> IntervalOf(const TContender& contender) {
    const auto interval = MedianInterval(contender.Seconds);
    if (!interval) {
        return std::nullopt;
    }
    return ThroughputInterval(*interval, static_cast<double>(contender.Cell->Row.FileBytes));
}

// The canonical place of a configuration, for an order that never depends on the input's.
std::size_t Rank(const std::string& configuration) {
    return MatrixConfigurationOf(configuration).value_or(MatrixConfigurations().size());
}

// "1-, 4- and 256-byte blocks".
std::string BlocksText(const std::set<std::uint32_t>& blocks) {
    std::string text;
    std::size_t i = 0;
    for (const std::uint32_t block : blocks) {
        text += (i == 0                   ? ""
                 : i + 1 == blocks.size() ? " and "
                                          : ", ") +
                std::to_string(block) + "-";
        ++i;
    }
    return text + "byte blocks";
}

} // namespace

TWinner JudgeCells(std::span<const TMatrixCell* const> cells, double thresholdPercent) {
    TWinner winner;
    std::vector<TContender> contenders;
    for (const TMatrixCell* cell : cells) {
        winner.BlockBytes = cell->Row.BlockBytes;
        winner.ChunkBytes = cell->Row.ChunkBytes;
        winner.Pass = cell->Row.Pass;
        TContender contender{cell, SecondsOf(cell->Row), 0};
        const auto median = Median(contender.Seconds);
        // A cell too fast for the clock, or with samples that say nothing, has no figure.
        if (!median || *median <= 0 || cell->Row.FileBytes == 0) {
            continue;
        }
        contender.Median = Throughput(*median, static_cast<double>(cell->Row.FileBytes));
        contenders.push_back(std::move(contender));
    }
    std::sort(contenders.begin(), contenders.end(), [](const TContender& a, const TContender& b) {
        return a.Median != b.Median ? a.Median > b.Median
                                    : Rank(a.Cell->Configuration) < Rank(b.Cell->Configuration);
    });
    if (contenders.empty()) {
        return winner;
    }
    const TContender& fastest = contenders[0];
    winner.Fastest = fastest.Cell->Configuration;
    if (contenders.size() == 1) {
        return winner;
    }
    const TContender& runnerUp = contenders[1];
    winner.RunnerUp = runnerUp.Cell->Configuration;
    winner.Margin = fastest.Median / runnerUp.Median - 1;
    if (fastest.Seconds.size() < 2 || runnerUp.Seconds.size() < 2) {
        winner.Tie = *winner.Margin <= thresholdPercent / 100;
    } else {
        const auto ours = IntervalOf(fastest);
        const auto theirs = IntervalOf(runnerUp);
        winner.Tie = ours && theirs && ours->Low <= theirs->High;
    }
    return winner;
}

std::vector<TWinner> MatrixWinners(const TSavedMatrix& matrix, double thresholdPercent) {
    // Each place's cells, in the order of the places.
    using TPlace = std::tuple<int, std::uint32_t, std::uint32_t>;
    std::map<TPlace, std::vector<const TMatrixCell*>> places;
    for (const TMatrixCell& cell : matrix.Cells) {
        const TResultRow& row = cell.Row;
        places[{row.Pass == TResultList::Write ? 0 : 1, row.BlockBytes, row.ChunkBytes}].push_back(
            &cell);
    }
    std::vector<TWinner> winners;
    winners.reserve(places.size());
    for (const auto& [place, cells] : places) {
        winners.push_back(JudgeCells(cells, thresholdPercent));
    }
    return winners;
}

std::string WinnerSentence(std::span<const TWinner> winners, TResultList pass) {
    std::string sentence = pass == TResultList::Write ? "writes: " : "reads: ";
    std::map<std::string, std::set<std::uint32_t>> winsAt;
    std::map<std::string, std::size_t> wins;
    std::map<std::pair<std::string, std::string>, std::pair<std::size_t, std::set<std::uint32_t>>>
        ties;
    std::size_t cells = 0;
    for (const TWinner& winner : winners) {
        if (winner.Pass != pass || winner.Fastest.empty()) {
            continue;
        }
        ++cells;
        if (winner.Tie) {
            auto pair = std::minmax(winner.Fastest, winner.RunnerUp,
                                    [](const auto& a, const auto& b) { return Rank(a) < Rank(b); });
            auto& tie = ties[{pair.first, pair.second}];
            ++tie.first;
            tie.second.insert(winner.BlockBytes);
        } else {
            ++wins[winner.Fastest];
            winsAt[winner.Fastest].insert(winner.BlockBytes);
        }
    }
    if (cells == 0) {
        return sentence + "no cells measured";
    }
    std::vector<std::pair<std::string, std::size_t>> order(wins.begin(), wins.end());
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : Rank(a.first) < Rank(b.first);
    });
    const std::string of = " of " + std::to_string(cells) + (cells == 1 ? " cell" : " cells");
    if (order.empty()) {
        sentence += "no configuration wins a cell outside the noise" + of;
    }
    for (std::size_t i = 0; i < order.size(); ++i) {
        const auto& [name, count] = order[i];
        sentence += (i == 0 ? "" : "; ") + name + " wins " + std::to_string(count);
        sentence += i == 0 ? of : " (" + BlocksText(winsAt[name]) + ")";
    }
    if (!ties.empty()) {
        sentence += "; ties: ";
        std::size_t i = 0;
        for (const auto& [pair, tie] : ties) {
            sentence += (i++ == 0 ? "" : ", ") + pair.first + " and " + pair.second + " in " +
                        std::to_string(tie.first) + " (" + BlocksText(tie.second) + ")";
        }
    }
    return sentence;
}

} // namespace orvane::results
