// Saved runs of many machines compared as a fleet.
#include "results/Fleet.h"

#include "bench/ShownText.h"
#include "bench/Statistics.h"
#include "results/Cells.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

namespace orvane::results {

namespace {

using nlohmann::json;

// A row's place: its pass and chunk size.
using TKey = std::pair<TResultList, std::uint32_t>;

const char* const FleetMedianText = "the fleet median";

// 5 -> "5 %", 2.5 -> "2.5 %".
std::string Percent(double percent) {
    char text[32];
    std::snprintf(text, sizeof text, "%g %%", percent);
    return text;
}

const char* PassName(TResultList pass) {
    return pass == TResultList::Write ? "write" : "read";
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.empty() ? "(unnamed)" : name;
}

std::string HostAndFile(const TFleetHost& host) {
    return host.Label + " (" + host.Run->File + ")";
}

// Each run's column label: its host's, or its file's; a label taken by an earlier run is
// numbered, never merged with it.
std::vector<TFleetHost> LabelHosts(const std::vector<TSavedRun>& runs,
                                   std::vector<std::string>& notes) {
    std::vector<TFleetHost> hosts;
    std::map<std::string, std::size_t> firstWith;
    std::set<std::string> taken;
    for (const TSavedRun& run : runs) {
        std::string label = run.Info.Host.Label;
        if (label.empty()) {
            label = BaseName(run.File);
            notes.push_back(run.File +
                            " records no host (a run saved before runs named their host): its "
                            "column is named after the file, " +
                            label);
        }
        std::string numbered = label;
        for (int n = 2; taken.count(numbered) > 0; ++n) {
            numbered = label + " (" + std::to_string(n) + ")";
        }
        if (numbered != label) {
            std::string note = run.File + " names the same host as ";
            note += hosts[firstWith.at(label)].Run->File + ", " + label;
            note += "; both are kept, this one as " + numbered;
            notes.push_back(std::move(note));
        }
        firstWith.emplace(label, hosts.size());
        taken.insert(numbered);
        hosts.push_back({numbered, &run});
    }
    return hosts;
}

// The runs whose settings differ from the first run's, in one message.
std::string Mismatches(const std::vector<TFleetHost>& hosts) {
    const std::string hash = ConfigHash(hosts.front().Run->Info);
    std::string unlike;
    for (std::size_t i = 1; i < hosts.size(); ++i) {
        const TRunInfo& info = hosts[i].Run->Info;
        if (ConfigHash(info) != hash) {
            unlike += (unlike.empty() ? "" : "; ") + HostAndFile(hosts[i]) + " with " +
                      RunSettingsText(info) + " (config_hash " + ConfigHash(info) + ")";
        }
    }
    if (unlike.empty()) {
        return {};
    }
    return "these runs were measured unlike " + HostAndFile(hosts.front()) + " with " +
           RunSettingsText(hosts.front().Run->Info) + " (config_hash " + hash + "): " + unlike;
}

void Summarize(TFleetRow& row, double threshold) {
    std::vector<double> values;
    for (std::size_t h = 0; h < row.Rows.size(); ++h) {
        const TResultRow* mine = row.Rows[h];
        if (mine == nullptr || !(mine->KiBPerSecond() > 0)) {
            continue;
        }
        const double value = mine->KiBPerSecond();
        values.push_back(value);
        if (!row.Slowest || value < *row.MinKiBPerSecond) {
            row.Slowest = h;
            row.MinKiBPerSecond = value;
        }
        row.MaxKiBPerSecond = std::max(row.MaxKiBPerSecond.value_or(value), value);
    }
    row.Measured = values.size();
    row.MedianKiBPerSecond = Median(values);
    row.Verdicts.assign(row.Rows.size(), std::nullopt);
    for (std::size_t h = 0; h < row.Rows.size(); ++h) {
        if (row.Rows[h] != nullptr) {
            row.Verdicts[h] = JudgeAgainstFleet(*row.Rows[h], row.MedianKiBPerSecond.value_or(0),
                                                row.Measured, threshold);
        }
    }
}

std::optional<double> RatioToMedian(const TFleetRow& row, std::size_t host) {
    const TResultRow* mine = row.Rows[host];
    if (mine == nullptr || !(mine->KiBPerSecond() > 0) || !row.MedianKiBPerSecond) {
        return std::nullopt;
    }
    return mine->KiBPerSecond() / *row.MedianKiBPerSecond;
}

// "38 % slower than the fleet median", "at the fleet median".
std::string ChangeText(double change) {
    const long whole = std::lround(std::abs(change) * 100);
    if (whole == 0) {
        return std::string("at ") + FleetMedianText;
    }
    return std::to_string(whole) + " % " + (change > 0 ? "faster" : "slower") + " than " +
           FleetMedianText;
}

std::string PassSentence(const TPassSummary& pass) {
    std::string text = PassName(pass.Pass);
    if (pass.Rows == 0) {
        return text + ": no rows";
    }
    text += " " + VerdictCountsText(pass);
    if (pass.MedianChange) {
        text += " (median " + ChangeText(*pass.MedianChange) + ")";
    }
    return text;
}

TPassSummary SummarizeHost(const TFleet& fleet, std::size_t host, TResultList pass) {
    std::vector<TRowVerdict> verdicts;
    for (const TFleetRow& row : fleet.Rows) {
        if (row.Pass == pass && row.Verdicts[host]) {
            verdicts.push_back(*row.Verdicts[host]);
        }
    }
    return SummarizePass(pass, verdicts);
}

std::string Padded(const std::string& text, std::size_t width, bool left = false) {
    const std::string pad(text.size() < width ? width - text.size() : 0, ' ');
    return left ? text + pad : pad + text;
}

std::string Kib(const std::optional<double>& value) {
    return value ? DecimalText(*value, 2) : "-";
}

std::string RuleLine(double threshold) {
    return "Each host's row against " + std::string(FleetMedianText) +
           " (the median of the hosts' throughputs): faster or slower where they differ by more "
           "than " +
           Percent(threshold) +
           " and the fleet median lies outside the host's confidence interval (a host that "
           "measured the row fewer than " +
           std::to_string(MinimumSamples) +
           " times has none: the threshold alone decides); no verdict for rows that fewer than " +
           std::to_string(MinimumSamples) + " hosts measured.\n";
}

std::string TableText(const TFleet& fleet) {
    const TRunInfo& first = fleet.Hosts.front().Run->Info;
    std::string out = "fleet of " + std::to_string(fleet.Hosts.size()) +
                      (fleet.Hosts.size() == 1 ? " host: " : " hosts: ") +
                      EscapeControls(RunSettingsText(first)) + " (config_hash " +
                      ConfigHash(first) + ")\n";
    for (std::size_t h = 0; h < fleet.Hosts.size(); ++h) {
        const TFleetHost& host = fleet.Hosts[h];
        out += "host " + std::to_string(h + 1) + ": " +
               EscapeControls(host.Label + ": " + RunLabel(host.Run->Info) + " (" + host.Run->File +
                              ")") +
               "\n";
    }
    for (const std::string& note : fleet.Notes) {
        out += "note: " + EscapeControls(note) + "\n";
    }
    std::vector<std::size_t> widths;
    out += "\n" + Padded("KB/s", 10, true);
    for (const TFleetHost& host : fleet.Hosts) {
        const std::string label = EscapeControls(host.Label);
        widths.push_back(std::max<std::size_t>(label.size(), 30));
        out += " " + Padded(label, widths.back());
    }
    out += "\n";
    const auto caption = [](const TFleetRow& row) {
        return Padded((row.Pass == TResultList::Write ? "W: " : "R: ") + EscapeControls(row.Chunk),
                      10, true);
    };
    for (const TFleetRow& row : fleet.Rows) {
        out += caption(row);
        for (std::size_t h = 0; h < fleet.Hosts.size(); ++h) {
            std::string cell = "-";
            if (const TResultRow* mine = row.Rows[h]) {
                cell = DecimalText(mine->KiBPerSecond(), 2);
                if (const auto ratio = RatioToMedian(row, h)) {
                    cell += " (x" + DecimalText(*ratio, 2) + ")";
                }
                cell += " " + VerdictText(row.Verdicts[h]->Verdict);
            }
            out += " " + Padded(cell, widths[h]);
        }
        out += "\n";
    }
    out += "\n" + Padded("fleet", 10, true) + " " + Padded("median", 12) + " " + Padded("min", 12) +
           " " + Padded("max", 12) + "  slowest\n";
    for (const TFleetRow& row : fleet.Rows) {
        out += caption(row) + " " + Padded(Kib(row.MedianKiBPerSecond), 12) + " " +
               Padded(Kib(row.MinKiBPerSecond), 12) + " " + Padded(Kib(row.MaxKiBPerSecond), 12) +
               "  " + (row.Slowest ? EscapeControls(fleet.Hosts[*row.Slowest].Label) : "-") + "\n";
    }
    out += "\n";
    for (const std::string& line : FleetSummaries(fleet)) {
        out += EscapeControls(line) + "\n";
    }
    return out + RuleLine(fleet.ThresholdPercent);
}

std::string CsvText(const TFleet& fleet) {
    std::string out = "pass,chunk";
    for (const TFleetHost& host : fleet.Hosts) {
        for (const char* column : {"_kib_per_s", "_ratio", "_verdict", "_rule"}) {
            out += "," + CsvField(host.Label + column);
        }
    }
    out += ",fleet_median_kib_per_s,fleet_min_kib_per_s,fleet_max_kib_per_s,slowest_host\n";
    const auto number = [](const std::optional<double>& value, int decimals) {
        return value ? DecimalText(*value, decimals) : std::string();
    };
    for (const TFleetRow& row : fleet.Rows) {
        out += std::string(PassName(row.Pass)) + "," + CsvField(row.Chunk);
        for (std::size_t h = 0; h < fleet.Hosts.size(); ++h) {
            const TResultRow* mine = row.Rows[h];
            const auto& verdict = row.Verdicts[h];
            out +=
                "," + (mine != nullptr ? DecimalText(mine->KiBPerSecond(), 2) : "") + "," +
                number(RatioToMedian(row, h), 4) + "," +
                (verdict ? VerdictText(verdict->Verdict) : "") + "," +
                (verdict ? CsvField(FleetRuleText(*verdict, *mine, fleet.ThresholdPercent)) : "");
        }
        out += "," + number(row.MedianKiBPerSecond, 2) + "," + number(row.MinKiBPerSecond, 2) +
               "," + number(row.MaxKiBPerSecond, 2) + "," +
               (row.Slowest ? CsvField(fleet.Hosts[*row.Slowest].Label) : "") + "\n";
    }
    return out;
}

json PassJson(const TPassSummary& pass) {
    return {{"rows", pass.Rows},
            {"faster", pass.Count(TVerdict::Faster)},
            {"slower", pass.Count(TVerdict::Slower)},
            {"no_change", pass.Count(TVerdict::NoChange)},
            {"no_verdict", pass.Count(TVerdict::NoVerdict)},
            {"median_change", pass.MedianChange ? json(*pass.MedianChange) : json(nullptr)}};
}

std::string JsonText(const TFleet& fleet) {
    const auto optional = [](const std::optional<double>& value) {
        return value ? json(*value) : json(nullptr);
    };
    json hosts = json::array();
    for (std::size_t h = 0; h < fleet.Hosts.size(); ++h) {
        const TFleetHost& host = fleet.Hosts[h];
        const TRunInfo& info = host.Run->Info;
        hosts.push_back(
            {{"label", host.Label},
             {"file", host.Run->File},
             {"host_label", info.Host.Label.empty() ? json(nullptr) : json(info.Host.Label)},
             {"hostname", info.Host.Hostname},
             {"config_hash", ConfigHash(info)},
             {"method", info.Method},
             {"file_size", info.FileSize},
             {"block_size", info.BlockSize},
             {"start_time", info.StartTime},
             {"write", PassJson(SummarizeHost(fleet, h, TResultList::Write))},
             {"read", PassJson(SummarizeHost(fleet, h, TResultList::Read))}});
    }
    json rows = json::array();
    for (const TFleetRow& row : fleet.Rows) {
        json values = json::array(), ratios = json::array(), judged = json::array();
        for (std::size_t h = 0; h < fleet.Hosts.size(); ++h) {
            const TResultRow* mine = row.Rows[h];
            values.push_back(mine != nullptr ? json(mine->KiBPerSecond()) : json(nullptr));
            ratios.push_back(optional(RatioToMedian(row, h)));
            if (const auto& verdict = row.Verdicts[h]) {
                judged.push_back({{"verdict", VerdictText(verdict->Verdict)},
                                  {"rule", FleetRuleText(*verdict, *mine, fleet.ThresholdPercent)},
                                  {"change", optional(verdict->Change)}});
            } else {
                judged.push_back(nullptr);
            }
        }
        rows.push_back({{"pass", PassName(row.Pass)},
                        {"chunk", row.Chunk},
                        {"chunk_bytes", row.ChunkBytes},
                        {"throughput_kib_per_s", values},
                        {"ratio_to_fleet_median", ratios},
                        {"verdict", judged},
                        {"fleet",
                         {{"hosts_measured", row.Measured},
                          {"median_kib_per_s", optional(row.MedianKiBPerSecond)},
                          {"min_kib_per_s", optional(row.MinKiBPerSecond)},
                          {"max_kib_per_s", optional(row.MaxKiBPerSecond)},
                          {"slowest_host",
                           row.Slowest ? json(fleet.Hosts[*row.Slowest].Label) : json(nullptr)}}}});
    }
    const json document = {{"program", "orvane-cli"},
                           {"schema", ReportSchema},
                           {"view", "fleet"},
                           {"threshold_percent", fleet.ThresholdPercent},
                           {"config_hash", ConfigHash(fleet.Hosts.front().Run->Info)},
                           {"hosts", hosts},
                           {"rows", rows},
                           {"notes", fleet.Notes},
                           {"summaries", FleetSummaries(fleet)}};
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

} // namespace

std::string RunSettingsText(const TRunInfo& info) {
    std::string text = info.Method;
    if (info.WriteBuffered) {
        text += ", write buffered";
    }
    if (info.ReadBuffered) {
        text += ", read buffered";
    }
    text += ", file " + info.FileSize + ", block " + info.BlockSize;
    if (info.Mode.Durable) {
        text += ", durable";
    }
    if (info.Mode.Cold) {
        text += ", cold";
    }
    return text;
}

TRowVerdict JudgeAgainstFleet(const TResultRow& row, double fleetMedianKiBPerSecond,
                              std::size_t hostsMeasured, double thresholdPercent) {
    TRowVerdict verdict;
    const double mine = row.KiBPerSecond();
    if (mine > 0 && fleetMedianKiBPerSecond > 0 && std::isfinite(mine) &&
        std::isfinite(fleetMedianKiBPerSecond)) {
        verdict.Change = mine / fleetMedianKiBPerSecond - 1;
    }
    if (hostsMeasured < MinimumSamples) {
        verdict.Rule = TVerdictRule::FewSamples;
        return verdict;
    }
    if (!verdict.Change) {
        verdict.Rule = TVerdictRule::NoDuration;
        return verdict;
    }
    if (std::abs(*verdict.Change) <= thresholdPercent / 100) {
        verdict.Verdict = TVerdict::NoChange;
        verdict.Rule = TVerdictRule::WithinThreshold;
        return verdict;
    }
    if (row.DurationSamples.size() >= MinimumSamples) {
        if (const auto seconds = MedianInterval(row.DurationSamples)) {
            const TInterval bytes =
                ThroughputInterval(*seconds, static_cast<double>(row.FileBytes));
            const double fleetBytes = fleetMedianKiBPerSecond * 1024;
            if (bytes.Low <= fleetBytes && fleetBytes <= bytes.High) {
                verdict.Verdict = TVerdict::NoChange;
                verdict.Rule = TVerdictRule::IntervalsOverlap;
                return verdict;
            }
        }
    }
    verdict.Verdict = *verdict.Change > 0 ? TVerdict::Faster : TVerdict::Slower;
    verdict.Rule = TVerdictRule::Apart;
    return verdict;
}

std::string FleetRuleText(const TRowVerdict& verdict, const TResultRow& row,
                          double thresholdPercent) {
    switch (verdict.Rule) {
    case TVerdictRule::FewSamples:
        return "fewer than " + std::to_string(MinimumSamples) + " hosts";
    case TVerdictRule::IntervalsOverlap:
        return std::string(FleetMedianText) + " within the host's interval";
    case TVerdictRule::Apart:
        if (row.DurationSamples.size() < MinimumSamples) {
            const std::size_t passes = std::max<std::size_t>(row.DurationSamples.size(), 1);
            return "beyond the " + Percent(thresholdPercent) + " threshold, no interval (" +
                   std::to_string(passes) + (passes == 1 ? " pass)" : " passes)");
        }
        return "beyond the " + Percent(thresholdPercent) + " threshold, " + FleetMedianText +
               " outside the host's interval";
    case TVerdictRule::NoDuration:
    case TVerdictRule::WithinThreshold:
        break;
    }
    return RuleText(verdict.Rule, thresholdPercent);
}

TFleet MakeFleet(const std::vector<TSavedRun>& runs, bool force, double thresholdPercent) {
    TFleet fleet;
    fleet.ThresholdPercent = thresholdPercent;
    if (runs.empty()) {
        return fleet;
    }
    fleet.Hosts = LabelHosts(runs, fleet.Notes);
    if (const std::string unlike = Mismatches(fleet.Hosts); !unlike.empty()) {
        if (!force) {
            throw EFleetMismatch(unlike + "; a fleet compares runs of the same settings "
                                          "(--force compares them all the same)");
        }
        fleet.Notes.push_back(unlike + "; compared all the same (--force)");
    }
    std::map<TKey, std::size_t> rowOf;
    for (std::size_t h = 0; h < fleet.Hosts.size(); ++h) {
        for (const TResultRow& row : fleet.Hosts[h].Run->Rows) {
            const TKey key{row.Pass, row.ChunkBytes};
            const auto [it, added] = rowOf.emplace(key, fleet.Rows.size());
            if (added) {
                TFleetRow& made = fleet.Rows.emplace_back();
                made.Pass = row.Pass;
                made.ChunkBytes = row.ChunkBytes;
                made.Chunk = row.ChunkLabel;
                made.Rows.assign(fleet.Hosts.size(), nullptr);
            }
            // The first of a key where a file repeats one, as `report` takes it.
            const TResultRow*& slot = fleet.Rows[it->second].Rows[h];
            slot = slot == nullptr ? &row : slot;
        }
    }
    for (TFleetRow& row : fleet.Rows) {
        Summarize(row, thresholdPercent);
    }
    return fleet;
}

std::vector<std::string> FleetSummaries(const TFleet& fleet) {
    std::vector<std::string> lines;
    for (std::size_t h = 0; h < fleet.Hosts.size(); ++h) {
        lines.push_back(fleet.Hosts[h].Label + ": " +
                        PassSentence(SummarizeHost(fleet, h, TResultList::Write)) + "; " +
                        PassSentence(SummarizeHost(fleet, h, TResultList::Read)));
    }
    return lines;
}

std::string FleetText(const TFleet& fleet, TFormat format) {
    if (fleet.Hosts.empty()) {
        return {};
    }
    switch (format) {
    case TFormat::Json:
        return JsonText(fleet);
    case TFormat::Csv:
        return CsvText(fleet);
    case TFormat::Table:
        break;
    }
    return TableText(fleet);
}

} // namespace orvane::results
