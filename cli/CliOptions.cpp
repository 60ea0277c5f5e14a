// Parsing the options into the run's settings.
#include "cli/CliOptions.h"

#include "bench/MatrixPlan.h"
#include "bench/Methods.h"
#include "bench/Scales.h"
#include "bench/ShownText.h"
#include "charts/ChartExport.h"
#include "orvane/Version.h"

#include <algorithm>
#include <charconv>
#include <numeric>
#include <optional>

#include <CLI/CLI.hpp>
#include <map>

namespace orvane::cli {

namespace {

const std::string Version = std::string("orvane-cli ") + OrvaneVersion;

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : separator) + part;
    }
    return text;
}

std::vector<std::string> Labels(std::span<const std::string_view> labels) {
    return {labels.begin(), labels.end()};
}

constexpr int MostRepeats = 1000;
constexpr std::string_view AutoRepeat = "auto";
const std::string RepeatValues = "N from 1 to " + std::to_string(MostRepeats) + " or auto";
const std::string MaxRepeatsValues = "N from 3 to " + std::to_string(MostRepeats);
const std::string TargetValues = "a percentage above 0 and at most 100, such as 5 or 2.5";
const char* const SteadyOnlyText = "applies only with --repeat auto";
const char* const ForceOnlyText = "applies only with --by host";
const std::string AheadText = std::to_string(MostStartAhead.count() / 24) + " days";

// The whole text as a whole number within the bounds.
std::optional<int> Count(const std::string& text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || last != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// "5", "2.5" or "5%": a share of the median, above 0 and at most 100 per cent.
std::optional<double> Percent(std::string text) {
    if (!text.empty() && text.back() == '%') {
        text.pop_back();
    }
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || last != end || !(value > 0 && value <= 100)) {
        return std::nullopt;
    }
    return value;
}

// "a,b,c" or "all" as positions among `names`: each known and named once, ascending; none
// for anything else, an empty list included.
std::optional<std::vector<std::size_t>> ListOf(const std::string& text,
                                               const std::vector<std::string>& names) {
    std::vector<std::size_t> positions;
    if (text == "all") {
        positions.resize(names.size());
        std::iota(positions.begin(), positions.end(), std::size_t{0});
        return positions;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(',', start);
        const std::string item = text.substr(start, end - start);
        const auto it = std::find(names.begin(), names.end(), item);
        if (it == names.end()) {
            return std::nullopt;
        }
        const auto position = static_cast<std::size_t>(it - names.begin());
        if (std::find(positions.begin(), positions.end(), position) != positions.end()) {
            return std::nullopt;
        }
        positions.push_back(position);
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    std::sort(positions.begin(), positions.end());
    return positions;
}

std::optional<std::uint64_t> Seed(const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || last != end || value > MaxMatrixSeed) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> ConfigurationNames() {
    std::vector<std::string> names;
    for (const TMatrixConfiguration& configuration : MatrixConfigurations()) {
        names.emplace_back(configuration.Name);
    }
    return names;
}

// A CLI11 check: the value passes or the message names the valid ones.
template <typename TParse> auto Valid(TParse parse, const std::string& valid) {
    return [parse, valid](const std::string& text) {
        return parse(text) ? std::string() : "expected " + valid + ", not " + text;
    };
}

// The checks of options that a run and a matrix share, or `report` and a matrix.
const auto RepeatCheck = Valid(
    [](const std::string& text) {
        return text == AutoRepeat || Count(text, 1, MostRepeats).has_value();
    },
    RepeatValues);
const auto MaxRepeatsCheck =
    Valid([](const std::string& text) { return Count(text, 3, MostRepeats); }, MaxRepeatsValues);

std::string HostLabelCheck(const std::string& label) {
    const std::string problem = results::HostLabelProblem(label);
    return problem.empty() ? problem : problem + ", not " + label;
}

std::string ChartCheck(const std::string& name) {
    return charts::ChartFormatOf(name) ? std::string()
                                       : "the chart's name must end in .svg or .png";
}

} // namespace

TParseResult ParseOptions(const std::vector<std::string>& arguments, TWallTime now) {
    CLI::App app{
        "Measures how fast a disk writes and reads one large temporary file through the File, mmio "
        "or Win32 layer, for every buffer size from 1K to 1M.",
        "orvane-cli"};
    TCliOptions options;
    std::string method = "file";
    std::string fileSize = "256M";
    std::string blockSize = "256";
    std::string format = "table";
    std::string repeat = "1";
    std::string maxRepeatsText;
    std::string targetText;
    std::vector<std::string> methodNames;
    for (const TMethodOps* ops : Methods()) {
        methodNames.emplace_back(ops->CliName);
    }
    app.add_option("--method", method, "access method")->check(CLI::IsMember(methodNames));
    app.add_option("--file-size", fileSize, "test file size: 1M, 2M, ... 1G")
        ->check(CLI::IsMember(Labels(FileSizeLabels)));
    app.add_option("--block-size", blockSize, "bytes per transfer call: 1, 2, 4, ... 256")
        ->check(CLI::IsMember(Labels(BlockSizeLabels)));
    app.add_flag("--write-buffered", options.WriteBuffered,
                 "buffer the write passes (mmio, win32)");
    app.add_flag("--read-buffered", options.ReadBuffered, "buffer the read passes (mmio, win32)");
    auto* dir = app.add_option("--dir", options.Dir,
                               "directory for a new test file (default: the current one)");
    auto* file = app.add_option("--file", options.File, "the test file itself; it must not exist");
    dir->excludes(file);
    app.add_option("--format", format, "table, csv or json")
        ->check(CLI::IsMember({"table", "csv", "json"}));
    app.add_option("--output", options.Output,
                   "write the results to this file instead of standard output");
    app.add_flag("--durable", options.Mode.Durable,
                 "end each write pass only when its data is on the device (flush inside the "
                 "timed interval)");
    app.add_flag("--cold", options.Mode.Cold,
                 "drop the test file from the page cache before each read pass");
    app.add_flag("--ceiling", options.Mode.Ceiling,
                 "first measure the device's ceiling: a direct-I/O write and read of the file's "
                 "size in 1 MiB transfers, shown above the table");
    app.add_option("--repeat", repeat,
                   "run every chunk size N times and report the median (default 1); auto: "
                   "repeat each until its median's confidence interval is within --target")
        ->type_name("N|auto")
        ->check(RepeatCheck, "");
    auto* maxRepeats =
        app.add_option("--max-repeats", maxRepeatsText,
                       "with --repeat auto: the most passes of a chunk size (default 9)")
            ->type_name("N")
            ->check(MaxRepeatsCheck, "");
    auto* target =
        app.add_option("--target", targetText,
                       "with --repeat auto: the interval's half-width that counts as steady, "
                       "in per cent of the median (default 5)")
            ->type_name("P")
            ->check(Valid(Percent, TargetValues), "");
    app.add_option("--host-label", options.HostLabel,
                   "the name of this machine in the results (default: its host name)")
        ->type_name("NAME")
        ->check(HostLabelCheck, "");
    auto* startAt =
        app.add_option("--start-at", options.StartAtText,
                       "prepare, then wait until TIME before the first pass, so that many "
                       "machines measure at one moment: ISO 8601 with an offset or Z, or Unix "
                       "seconds")
            ->type_name("TIME")
            ->check(
                [](const std::string& text) {
                    return ParseStartAt(text)
                               ? std::string()
                               : std::string("expected ") + StartAtForms + ", not " + text;
                },
                "");
    app.add_flag("--no-history", options.NoHistory,
                 "don't keep this run in the history (~/.local/share/orvane/runs)");
    app.add_option(
           "--clean", options.Clean,
           "remove the test files that ended runs left in DIR (killed or failed), and nothing "
           "else")
        ->type_name("DIR");
    CLI::App* report = app.add_subcommand(
        "report", "compare saved results (JSON from the run history or --output), the first "
                  "run against the others");
    report->add_option("files", options.ReportFiles, "saved JSON results")->required();
    report->add_option("--format", format, "table, csv or json")
        ->check(CLI::IsMember({"table", "csv", "json"}));
    report->add_option("--chart", options.Chart, "also draw the runs as a chart into FILE")
        ->type_name("FILE.svg|FILE.png")
        ->check(ChartCheck, "");
    report->add_option("--output", options.Output,
                       "write the comparison to this file instead of standard output");
    report->add_flag("--log-scale", options.LogScale,
                     "draw the chart's throughput on a logarithmic axis");
    std::string by;
    report->add_option("--by", by, "compare the runs as a fleet: one column per host")
        ->type_name("host")
        ->check(CLI::IsMember({"host"}));
    auto* force = report->add_flag(
        "--force", options.Force,
        "with --by host: compare runs measured with other settings (config_hash) all the same");
    std::string thresholdText;
    report
        ->add_option("--threshold", thresholdText,
                     "a difference of medians up to P per cent is noise: no change (default 5)")
        ->type_name("P")
        ->check(Valid(Percent, TargetValues), "");
    // The matrix: the run's options where they mean the same, bound to the same values.
    CLI::App* matrix = app.add_subcommand(
        "matrix", "every configuration (access method and buffering) at every block size and "
                  "chunk size, in a shuffled order: which one wins each cell on this disk");
    const std::vector<std::string> blockNames = Labels(BlockSizeLabels);
    const std::vector<std::string> configurationNames = ConfigurationNames();
    const std::string blockValues =
        "a list of block sizes from " + Joined(blockNames, ",") + " (each once) or all";
    const std::string configurationValues =
        "a list of configurations from " + Joined(configurationNames, ",") + " (each once) or all";
    std::string blocksText = "1,4,16,64,256";
    std::string configurationsText = "all";
    std::string seedText;
    matrix->add_option("--file-size", fileSize, "test file size: 1M, 2M, ... 1G")
        ->check(CLI::IsMember(Labels(FileSizeLabels)));
    matrix
        ->add_option("--block-sizes", blocksText,
                     "bytes per transfer call, as a comma-separated list or all (default "
                     "1,4,16,64,256)")
        ->type_name("LIST|all")
        ->check(
            Valid([&](const std::string& text) { return ListOf(text, blockNames); }, blockValues),
            "");
    matrix
        ->add_option("--configurations", configurationsText,
                     "comma-separated, from " + Joined(configurationNames, ", ") +
                         " (buffered: both passes, the buffer the chunk size); default all")
        ->type_name("LIST|all")
        ->check(Valid([&](const std::string& text) { return ListOf(text, configurationNames); },
                      configurationValues),
                "");
    matrix->add_flag("--durable", options.Mode.Durable,
                     "end each write pass only when its data is on the device");
    matrix->add_flag("--cold", options.Mode.Cold,
                     "drop the test file from the page cache before each read pass");
    matrix
        ->add_option("--repeat", repeat,
                     "run every cell N times (default 1), or auto: until its median's interval is "
                     "within --target")
        ->type_name("N|auto")
        ->check(RepeatCheck, "");
    auto* matrixMaxRepeats =
        matrix
            ->add_option("--max-repeats", maxRepeatsText,
                         "with --repeat auto: the most passes of a cell (default 5)")
            ->type_name("N")
            ->check(MaxRepeatsCheck, "");
    auto* matrixTarget =
        matrix
            ->add_option("--target", targetText,
                         "with --repeat auto: the half-width that counts as steady, in per cent "
                         "(default 5)")
            ->type_name("P")
            ->check(Valid(Percent, TargetValues), "");
    auto* matrixDir = matrix->add_option("--dir", options.Dir,
                                         "directory for the test files (default: the current one)");
    matrix->add_option("--format", format, "table, csv or json")
        ->check(CLI::IsMember({"table", "csv", "json"}));
    matrix->add_option("--output", options.Output,
                       "write the matrix to this file instead of standard output");
    matrix->add_option("--chart", options.Chart, "also draw the heatmaps and winner maps into FILE")
        ->type_name("FILE.svg|FILE.png")
        ->check(ChartCheck, "");
    matrix
        ->add_option("--seed", seedText,
                     "the seed of the shuffled order, to repeat an earlier matrix's (default: a "
                     "fresh one, printed with the results)")
        ->type_name("N")
        ->check(Valid(Seed, "a whole number from 0 to " + std::to_string(MaxMatrixSeed)), "");
    matrix->add_flag("--no-history", options.NoHistory, "don't keep this matrix in the history");
    matrix
        ->add_option("--host-label", options.HostLabel,
                     "the name of this machine in the results (default: its host name)")
        ->type_name("NAME")
        ->check(HostLabelCheck, "");
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", Version);

    // CLI11 takes a vector of arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
        if ((dir->count() > 0 || matrixDir->count() > 0) && options.Dir.empty()) {
            throw CLI::ValidationError("--dir", "an empty directory name names no directory");
        }
        if (app.count("--clean") > 0 && options.Clean.empty()) {
            throw CLI::ValidationError("--clean", "an empty directory name names no directory");
        }
        if (startAt->count() > 0) {
            options.StartAt = ParseStartAt(options.StartAtText);
            if (*options.StartAt - now > MostStartAhead) {
                throw CLI::ValidationError("--start-at", options.StartAtText + " is more than " +
                                                             AheadText + " ahead; expected " +
                                                             StartAtForms + " within " + AheadText);
            }
        }
        if (force->count() > 0 && by.empty()) {
            throw CLI::ValidationError("--force", ForceOnlyText);
        }
        for (const CLI::Option* steadyOnly : {maxRepeats, target, matrixMaxRepeats, matrixTarget}) {
            if (steadyOnly->count() > 0 && repeat != AutoRepeat) {
                throw CLI::ValidationError(steadyOnly->get_name(), SteadyOnlyText);
            }
        }
    } catch (const CLI::CallForHelp&) {
        return {std::nullopt, 0, app.help()};
    } catch (const CLI::CallForVersion&) {
        return {std::nullopt, 0, std::string(Version) + "\n"};
    } catch (const CLI::ParseError& error) {
        std::string what = error.what();
        if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
            // CLI11 names them last first; the user typed them first first.
            what = "The following arguments were not expected:";
            for (const CLI::App* part :
                 std::initializer_list<const CLI::App*>{&app, report, matrix}) {
                for (const std::string& extra : part->remaining()) {
                    what += " " + extra;
                }
            }
        }
        return {
            std::nullopt, 2,
            // The message quotes what was typed, which may hold a terminal's control codes.
            std::string("orvane-cli: ") + EscapeControls(what) + "\nUsage: orvane-cli [--method " +
                Joined(methodNames, "|") +
                "] "
                "[--file-size 1M..1G] [--block-size 1..256] [--write-buffered] [--read-buffered] "
                "[--durable] [--cold] [--ceiling] [--repeat N|auto [--max-repeats N] [--target P]] "
                "[--dir DIR | --file PATH] "
                "[--format table|csv|json] [--output FILE] [--host-label NAME] [--start-at TIME] "
                "[--no-history] | "
                "--clean DIR | "
                "report FILE... [--by host [--force]] [--format table|csv|json] [--output FILE] "
                "[--chart FILE.svg|FILE.png] [--log-scale] [--threshold P] | "
                "matrix [--file-size 1M..1G] [--block-sizes LIST|all] [--configurations "
                "LIST|all] [--durable] [--cold] [--repeat N|auto [--max-repeats N] [--target P]] "
                "[--dir DIR] [--format table|csv|json] [--output FILE] [--chart "
                "FILE.svg|FILE.png] [--seed N] [--host-label NAME] [--no-history]\n"};
    }
    static const std::map<std::string, TFormat> formats = {
        {"table", TFormat::Table}, {"csv", TFormat::Csv}, {"json", TFormat::Json}};
    options.Method = static_cast<TAccessMethod>(
        std::find(methodNames.begin(), methodNames.end(), method) - methodNames.begin());
    options.Format = formats.at(format);
    options.Report = report->parsed();
    options.ByHost = by == "host";
    if (matrix->parsed()) {
        options.Matrix = true;
        options.Configurations = *ListOf(configurationsText, configurationNames);
        options.BlockPositions = *ListOf(blocksText, blockNames);
        if (!seedText.empty()) {
            options.Seed = *Seed(seedText);
        }
    }
    if (repeat == AutoRepeat) {
        options.Mode.UntilSteady = true;
        const int mostByDefault = matrix->parsed() ? MatrixMaxRepeats : options.Mode.MaxRepeats;
        options.Mode.MaxRepeats =
            maxRepeatsText.empty() ? mostByDefault : *Count(maxRepeatsText, 3, MostRepeats);
        options.Mode.TargetPercent =
            targetText.empty() ? options.Mode.TargetPercent : *Percent(targetText);
    } else {
        options.Mode.Repeats = *Count(repeat, 1, MostRepeats);
    }
    if (!thresholdText.empty()) {
        options.ThresholdPercent = *Percent(thresholdText);
    }
    options.FileSizePosition = *ScalePositionOfLabel(FileSizeLabels, fileSize);
    options.BlockSizePosition = *ScalePositionOfLabel(BlockSizeLabels, blockSize);
    return {options, 0, ""};
}

} // namespace orvane::cli
