// The verdicts of rows and runs.
#include "results/Verdict.h"

#include "bench/Statistics.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace orvane::results {

namespace {

// 5 -> "5 %", 2.5 -> "2.5 %".
std::string Percent(double percent) {
    char text[32];
    std::snprintf(text, sizeof text, "%g %%", percent);
    return text;
}

// A change as a whole signed percentage: "+18 %", "-3 %", "0 %".
std::string SignedPercent(double change) {
    const long whole = std::lround(change * 100);
    return (whole > 0 ? "+" : "") + std::to_string(whole) + " %";
}

bool Overlap(const TInterval& a, const TInterval& b) {
    return a.Low <= b.High && b.Low <= a.High;
}

std::string PassSentence(const TPassSummary& pass) {
    std::string text = pass.Pass == TResultList::Write ? "write" : "read";
    if (pass.Rows == 0) {
        return text + ": no rows to compare";
    }
    text += " " + VerdictCountsText(pass);
    if (pass.MedianChange) {
        text += " (median " + SignedPercent(*pass.MedianChange) + ")";
    }
    return text;
}

} // namespace

TRowVerdict JudgeRow(const TMeasuredRow& row, const TMeasuredRow& first, double thresholdPercent) {
    TRowVerdict verdict;
    const std::optional<TMedianInterval> ours = MedianInterval(row.Seconds);
    const std::optional<TMedianInterval> theirs = MedianInterval(first.Seconds);
    if (ours && theirs && ours->Median > 0 && theirs->Median > 0 && row.FileBytes > 0 &&
        first.FileBytes > 0) {
        // Throughput is bytes over duration: a shorter median is a positive change.
        const double change =
            Throughput(ours->Median, row.FileBytes) / Throughput(theirs->Median, first.FileBytes) -
            1;
        if (std::isfinite(change)) {
            verdict.Change = change;
        }
    }
    const bool durations = verdict.Change.has_value();
    if (row.Seconds.size() < MinimumSamples || first.Seconds.size() < MinimumSamples) {
        verdict.Rule = TVerdictRule::FewSamples;
    } else if (!durations) {
        verdict.Rule = TVerdictRule::NoDuration;
    } else if (std::abs(*verdict.Change) <= thresholdPercent / 100) {
        verdict.Verdict = TVerdict::NoChange;
        verdict.Rule = TVerdictRule::WithinThreshold;
    } else if (Overlap(ThroughputInterval(*ours, row.FileBytes),
                       ThroughputInterval(*theirs, first.FileBytes))) {
        verdict.Verdict = TVerdict::NoChange;
        verdict.Rule = TVerdictRule::IntervalsOverlap;
    } else {
        verdict.Verdict = *verdict.Change > 0 ? TVerdict::Faster : TVerdict::Slower;
        verdict.Rule = TVerdictRule::Apart;
    }
    return verdict;
}

std::string VerdictText(TVerdict verdict) {
    switch (verdict) {
    case TVerdict::Faster:
        return "faster";
    case TVerdict::Slower:
        return "slower";
    case TVerdict::NoChange:
        return "no change";
    case TVerdict::NoVerdict:
        break;
    }
    return "no verdict";
}

std::string RuleText(TVerdictRule rule, double thresholdPercent) {
    switch (rule) {
    case TVerdictRule::FewSamples:
        return "fewer than " + std::to_string(MinimumSamples) + " samples";
    case TVerdictRule::NoDuration:
        return "no duration measured";
    case TVerdictRule::WithinThreshold:
        return "within the " + Percent(thresholdPercent) + " threshold";
    case TVerdictRule::IntervalsOverlap:
        return "intervals overlap";
    case TVerdictRule::Apart:
        break;
    }
    return "beyond the " + Percent(thresholdPercent) + " threshold, intervals apart";
}

std::string VerdictCountsText(const TPassSummary& pass) {
    std::vector<std::string> parts;
    for (const TVerdict verdict :
         {TVerdict::Faster, TVerdict::Slower, TVerdict::NoChange, TVerdict::NoVerdict}) {
        if (pass.Count(verdict) > 0) {
            parts.push_back(VerdictText(verdict) + " in " + std::to_string(pass.Count(verdict)));
        }
    }
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    }
    return text + " of " + std::to_string(pass.Rows) + (pass.Rows == 1 ? " row" : " rows");
}

TPassSummary SummarizePass(TResultList pass, std::span<const TRowVerdict> verdicts) {
    TPassSummary summary;
    summary.Pass = pass;
    summary.Rows = verdicts.size();
    std::vector<double> changes;
    for (const TRowVerdict& verdict : verdicts) {
        ++summary.Counts[static_cast<int>(verdict.Verdict)];
        if (verdict.Change) {
            changes.push_back(*verdict.Change);
        }
    }
    summary.MedianChange = Median(changes);
    return summary;
}

TRunSummary SummarizeRun(int run, int first, std::span<const TRowVerdict> write,
                         std::span<const TRowVerdict> read) {
    return {run, first, SummarizePass(TResultList::Write, write),
            SummarizePass(TResultList::Read, read)};
}

std::string SummarySentence(const TRunSummary& summary) {
    return "run " + std::to_string(summary.Run) + " vs run " + std::to_string(summary.First) +
           ": " + PassSentence(summary.Write) + "; " + PassSentence(summary.Read);
}

} // namespace orvane::results
