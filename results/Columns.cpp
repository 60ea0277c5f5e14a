// The row columns and the run's fields, each with its value and its reader.
#include "results/Columns.h"

#include "bench/Methods.h"
#include "bench/Scales.h"
#include "results/RowFigures.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace orvane::results {

namespace {

// --- values of a row ---

std::string Caption(const TResultRow& row) {
    return RowCaption(row);
}
std::string ShownDuration(const TResultRow& row) {
    return ShownRow(row, ".").Duration;
}
std::string ShownThroughput(const TResultRow& row) {
    return ShownRow(row, ".").Throughput;
}

template <typename T> TCell Optional(const std::optional<T>& value) {
    if (value) {
        return *value;
    }
    return std::monostate{};
}

std::vector<double> Samples(const TResultRow& r) {
    return r.DurationSamples.empty() ? std::vector<double>{r.ElapsedSeconds()} : r.DurationSamples;
}

template <typename T> TCell Figure(const std::optional<T>& value) {
    return Optional(value);
}

// The table's "+-": half the interval in % of the median, "*" where the row missed the
// run's target.
std::string HalfWidthText(const TResultRow& r) {
    const auto half = FiguresOf(r).HalfWidthPercent;
    std::string text = half ? DecimalText(*half, 1) + "%" : std::string("-");
    return r.Steady == false ? text + "*" : text;
}

// --- values read back ---

const std::string& TextOf(const TCell& cell) {
    if (const auto* text = std::get_if<std::string>(&cell)) {
        return *text;
    }
    throw EBadCell("it is missing");
}

std::uint64_t CountOf(const TCell& cell) {
    if (const auto* count = std::get_if<std::uint64_t>(&cell)) {
        return *count;
    }
    throw EBadCell("it is missing");
}

double SecondsOf(const TCell& cell) {
    const auto* value = std::get_if<double>(&cell);
    if (value == nullptr) {
        throw EBadCell("it is missing");
    }
    if (*value > MaxPassSeconds) {
        throw EBadCell("a pass of " + DecimalText(*value, 0) + " seconds is longer than any run");
    }
    return *value;
}

template <typename T> std::optional<T> OptionalOf(const TCell& cell) {
    if (std::holds_alternative<std::monostate>(cell)) {
        return std::nullopt;
    }
    if constexpr (std::is_same_v<T, double>) {
        return SecondsOf(cell);
    } else {
        return CountOf(cell);
    }
}

bool FlagOf(const TCell& cell) {
    const auto* flag = std::get_if<bool>(&cell);
    return flag != nullptr && *flag;
}

// The position of `bytes` on a scale, or the error naming the values the scale has.
template <std::size_t N>
std::size_t PositionOfSize(const std::array<std::int32_t, N>& sizes, std::uint64_t bytes,
                           const char* what) {
    const auto it = std::find(sizes.begin(), sizes.end(), static_cast<std::int64_t>(bytes));
    if (bytes > 0xFFFFFFFFu || it == sizes.end()) {
        throw EBadCell(std::to_string(bytes) + " bytes is not a " + what + " (" +
                       std::to_string(sizes.front()) + " to " + std::to_string(sizes.back()) + ")");
    }
    return static_cast<std::size_t>(it - sizes.begin());
}

template <std::size_t N>
std::string KnownLabel(const std::array<std::string_view, N>& labels, const TCell& cell,
                       const char* what) {
    const std::string& label = TextOf(cell);
    if (!ScalePositionOfLabel(labels, label)) {
        throw EBadCell("\"" + label.substr(0, 40) + "\" is not a " + what + " (" +
                       std::string(labels.front()) + " to " + std::string(labels.back()) + ")");
    }
    return label;
}

void ReadChunk(TResultRow& r, const TCell& cell) {
    r.ChunkLabel = KnownLabel(ChunkSizeLabels, cell, "chunk size");
    r.ChunkBytes = static_cast<std::uint32_t>(
        ChunkSizes[static_cast<std::size_t>(*ScalePositionOfLabel(ChunkSizeLabels, r.ChunkLabel))]);
}

void ReadChunkBytes(TResultRow& r, const TCell& cell) {
    const std::size_t p = PositionOfSize(ChunkSizes, CountOf(cell), "chunk size");
    if (!r.ChunkLabel.empty() && r.ChunkBytes != static_cast<std::uint32_t>(ChunkSizes[p])) {
        throw EBadCell(std::to_string(ChunkSizes[p]) + " bytes is not the chunk \"" + r.ChunkLabel +
                       "\"");
    }
    r.ChunkBytes = static_cast<std::uint32_t>(ChunkSizes[p]);
    r.ChunkLabel = ChunkSizeLabels[p];
}

void ReadDuration(TResultRow& r, const TCell& cell) {
    r.End = r.Start + std::chrono::nanoseconds(std::llround(SecondsOf(cell) * 1e9));
}

void ReadSamples(TResultRow& r, const TCell& cell) {
    const auto* list = std::get_if<std::vector<double>>(&cell);
    if (list == nullptr) {
        return;
    }
    for (const double seconds : *list) {
        SecondsOf(seconds);
    }
    r.DurationSamples = *list;
}

const TColumn Columns[] = {
    {"pass", TCellKind::Text,
     [](const TResultRow& r) -> TCell {
         return std::string(r.Pass == TResultList::Write ? "write" : "read");
     },
     [](TResultRow& r, const TCell& cell) {
         const std::string& pass = TextOf(cell);
         if (pass != "write" && pass != "read") {
             throw EBadCell("\"" + pass.substr(0, 40) + "\" is neither write nor read");
         }
         r.Pass = pass == "write" ? TResultList::Write : TResultList::Read;
     },
     0, nullptr, 0, nullptr},
    {"chunk", TCellKind::Text, [](const TResultRow& r) -> TCell { return r.ChunkLabel; }, ReadChunk,
     0, "Blocksize", -10, Caption},
    {"chunk_bytes", TCellKind::Count,
     [](const TResultRow& r) -> TCell { return std::uint64_t{r.ChunkBytes}; }, ReadChunkBytes, 0,
     nullptr, 0, nullptr},
    {"block_bytes", TCellKind::Count,
     [](const TResultRow& r) -> TCell { return std::uint64_t{r.BlockBytes}; },
     [](TResultRow& r, const TCell& cell) {
         r.BlockBytes = static_cast<std::uint32_t>(
             BlockSizes[PositionOfSize(BlockSizes, CountOf(cell), "block size")]);
     },
     0, nullptr, 0, nullptr},
    {"file_bytes", TCellKind::Count,
     [](const TResultRow& r) -> TCell { return std::uint64_t{r.FileBytes}; },
     [](TResultRow& r, const TCell& cell) {
         r.FileBytes = static_cast<std::uint32_t>(
             FileSizes[PositionOfSize(FileSizes, CountOf(cell), "file size")]);
     },
     0, nullptr, 0, nullptr},
    {"duration_s", TCellKind::Number,
     [](const TResultRow& r) -> TCell { return r.ElapsedSeconds(); }, ReadDuration, 9,
     "Duration (s)", 12, ShownDuration},
    {"throughput_kib_per_s", TCellKind::Number,
     [](const TResultRow& r) -> TCell { return r.KiBPerSecond(); }, nullptr, 2, "Throughput (KB/s)",
     17, ShownThroughput},
    {"duration_min_s", TCellKind::Number,
     [](const TResultRow& r) -> TCell {
         const std::vector<double> all = Samples(r);
         return *std::min_element(all.begin(), all.end());
     },
     nullptr, 9, nullptr, 0, nullptr},
    {"duration_max_s", TCellKind::Number,
     [](const TResultRow& r) -> TCell {
         const std::vector<double> all = Samples(r);
         return *std::max_element(all.begin(), all.end());
     },
     nullptr, 9, nullptr, 0, nullptr},
    {"duration_samples_s", TCellKind::Numbers,
     [](const TResultRow& r) -> TCell { return Samples(r); }, ReadSamples, 9, nullptr, 0, nullptr},
    {"ci_low_kib_per_s", TCellKind::Number,
     [](const TResultRow& r) -> TCell { return Figure(FiguresOf(r).LowKiBPerSecond); }, nullptr, 2,
     nullptr, 0, nullptr},
    {"ci_high_kib_per_s", TCellKind::Number,
     [](const TResultRow& r) -> TCell { return Figure(FiguresOf(r).HighKiBPerSecond); }, nullptr, 2,
     nullptr, 0, nullptr},
    {"ci_level", TCellKind::Number,
     [](const TResultRow& r) -> TCell { return Figure(FiguresOf(r).Level); }, nullptr, 6, "+-", 7,
     HalfWidthText, true},
    {"cv", TCellKind::Number, [](const TResultRow& r) -> TCell { return Figure(FiguresOf(r).Cv); },
     nullptr, 6, nullptr, 0, nullptr},
    {"outliers", TCellKind::Numbers,
     [](const TResultRow& r) -> TCell {
         std::vector<double> positions;
         for (const std::size_t i : FiguresOf(r).Outliers) {
             positions.push_back(static_cast<double>(i));
         }
         return positions;
     },
     nullptr, 0, nullptr, 0, nullptr},
    {"steady", TCellKind::Flag, [](const TResultRow& r) -> TCell { return Optional(r.Steady); },
     [](TResultRow& r, const TCell& cell) {
         r.Steady = std::holds_alternative<bool>(cell) ? std::optional(std::get<bool>(cell))
                                                       : std::nullopt;
     },
     0, nullptr, 0, nullptr},
    {"source", TCellKind::Text,
     [](const TResultRow& r) -> TCell { return std::string(PassSourceName(SourceOfPass(r))); },
     nullptr, 0, nullptr, 0, nullptr},
    {"ceiling_share", TCellKind::Number,
     [](const TResultRow& r) -> TCell { return Optional(r.CeilingShare); },
     [](TResultRow& r, const TCell& cell) {
         r.CeilingShare = std::holds_alternative<double>(cell)
                              ? std::optional(std::get<double>(cell))
                              : std::nullopt;
     },
     4, nullptr, 0, nullptr},
    {"interrupted_s", TCellKind::Number,
     [](const TResultRow& r) -> TCell { return Optional(r.Proof.StoppedSeconds); },
     [](TResultRow& r, const TCell& cell) { r.Proof.StoppedSeconds = OptionalOf<double>(cell); }, 3,
     nullptr, 0, nullptr},
    {"device_bytes", TCellKind::Count,
     [](const TResultRow& r) -> TCell { return Optional(r.Proof.DeviceBytes); },
     [](TResultRow& r, const TCell& cell) {
         r.Proof.DeviceBytes = OptionalOf<std::uint64_t>(cell);
     },
     0, "Device", 20, DeviceText},
    {"cached_bytes_at_start", TCellKind::Count,
     [](const TResultRow& r) -> TCell { return Optional(r.Proof.CachedBytesAtStart); },
     [](TResultRow& r, const TCell& cell) {
         r.Proof.CachedBytesAtStart = OptionalOf<std::uint64_t>(cell);
     },
     0, nullptr, 0, nullptr},
    {"cpu_user_s", TCellKind::Number,
     [](const TResultRow& r) -> TCell { return Optional(r.Proof.CpuUserSeconds); },
     [](TResultRow& r, const TCell& cell) { r.Proof.CpuUserSeconds = OptionalOf<double>(cell); }, 6,
     nullptr, 0, nullptr},
    {"cpu_sys_s", TCellKind::Number,
     [](const TResultRow& r) -> TCell { return Optional(r.Proof.CpuSystemSeconds); },
     [](TResultRow& r, const TCell& cell) { r.Proof.CpuSystemSeconds = OptionalOf<double>(cell); },
     6, nullptr, 0, nullptr},
    {"voluntary_switches", TCellKind::Count,
     [](const TResultRow& r) -> TCell { return Optional(r.Proof.VoluntarySwitches); },
     [](TResultRow& r, const TCell& cell) {
         r.Proof.VoluntarySwitches = OptionalOf<std::uint64_t>(cell);
     },
     0, nullptr, 0, nullptr},
    {"involuntary_switches", TCellKind::Count,
     [](const TResultRow& r) -> TCell { return Optional(r.Proof.InvoluntarySwitches); },
     [](TResultRow& r, const TCell& cell) {
         r.Proof.InvoluntarySwitches = OptionalOf<std::uint64_t>(cell);
     },
     0, nullptr, 0, nullptr},
};

// --- the run's fields ---

TCell TextCell(const std::string& text) {
    return text;
}

#define ORVANE_INFO_TEXT(json, csv, member)                                                        \
    {                                                                                              \
        json, csv, TCellKind::Text, [](const TRunInfo& i) -> TCell { return TextCell(i.member); }, \
            [](TRunInfo& i, const TCell& cell) {                                                   \
                if (const auto* text = std::get_if<std::string>(&cell)) {                          \
                    i.member = *text;                                                              \
                }                                                                                  \
            }                                                                                      \
    }
#define ORVANE_INFO_FLAG(json, member, ...)                                                        \
    {                                                                                              \
        json, json, TCellKind::Flag, [](const TRunInfo& i) -> TCell { return bool{i.member}; },    \
            [](TRunInfo& i, const TCell& cell) { i.member = FlagOf(cell); } __VA_OPT__(, )         \
                __VA_ARGS__                                                                        \
    }

#define ORVANE_INFO_COUNT(json, csv, member)                                                       \
    {                                                                                              \
        json, csv, TCellKind::Count,                                                               \
            [](const TRunInfo& i) -> TCell { return Optional(i.member); },                         \
            [](TRunInfo& i, const TCell& cell) { i.member = OptionalOf<std::uint64_t>(cell); }     \
    }

// A figure of the ceiling: none where the run measured none; reading one back makes it.
#define ORVANE_INFO_CEILING(json, csv, member)                                                     \
    {                                                                                              \
        json, csv, TCellKind::Number,                                                              \
            [](const TRunInfo& i) -> TCell {                                                       \
                return i.Ceiling ? TCell(i.Ceiling->member) : std::monostate{};                    \
            },                                                                                     \
            [](TRunInfo& i, const TCell& cell) {                                                   \
                if (const auto* value = std::get_if<double>(&cell)) {                              \
                    i.Ceiling = i.Ceiling.value_or(TCeiling{});                                    \
                    i.Ceiling->member = *value;                                                    \
                }                                                                                  \
            }                                                                                      \
    }

const TInfoField Fields[] = {
    {"method", "method", TCellKind::Text, [](const TRunInfo& i) -> TCell { return i.Method; },
     [](TRunInfo& i, const TCell& cell) {
         const std::string& name = TextOf(cell);
         const auto methods = Methods();
         if (std::none_of(methods.begin(), methods.end(),
                          [&](const TMethodOps* ops) { return name == ops->CliName; })) {
             throw EBadCell("\"" + name.substr(0, 40) + "\" is not an access method");
         }
         i.Method = name;
     },
     true},
    ORVANE_INFO_FLAG("write_buffered", WriteBuffered, true),
    ORVANE_INFO_FLAG("read_buffered", ReadBuffered, true),
    ORVANE_INFO_FLAG("durable", Mode.Durable),
    ORVANE_INFO_FLAG("cold", Mode.Cold),
    {"repeat", "repeat", TCellKind::Count,
     [](const TRunInfo& i) -> TCell { return static_cast<std::uint64_t>(i.Mode.Repeats); },
     [](TRunInfo& i, const TCell& cell) {
         if (std::holds_alternative<std::monostate>(cell)) {
             return;
         }
         const std::uint64_t repeats = CountOf(cell);
         if (repeats < 1 || repeats > MaxListLength) {
             throw EBadCell(std::to_string(repeats) + " repeats is not 1 to " +
                            std::to_string(MaxListLength));
         }
         i.Mode.Repeats = static_cast<int>(repeats);
     }},
    ORVANE_INFO_TEXT("version", "version", Version),
    ORVANE_INFO_TEXT("start_time", "start_time", StartTime),
    ORVANE_INFO_TEXT("kernel_release", "kernel_release", KernelRelease),
    ORVANE_INFO_TEXT("file_system.type", "file_system", FileSystem),
    ORVANE_INFO_TEXT("file_system.mount_point", "mount_point", MountPoint),
    ORVANE_INFO_TEXT("file_system.block_device", "block_device", BlockDevice),
    ORVANE_INFO_TEXT("clock", "clock", Clock),
    {"program", "program", TCellKind::Text, [](const TRunInfo& i) -> TCell { return i.Program; },
     [](TRunInfo& i, const TCell& cell) {
         const std::string& program = TextOf(cell);
         if (program != "orvane-cli" && program != "orvane") {
             throw EBadCell("\"" + program.substr(0, 40) + "\" is not this program");
         }
         i.Program = program;
     }},
    ORVANE_INFO_TEXT("outcome", "outcome", Outcome),
    ORVANE_INFO_FLAG("repeat_until_steady", Mode.UntilSteady),
    {"max_repeats", "max_repeats", TCellKind::Count,
     [](const TRunInfo& i) -> TCell { return static_cast<std::uint64_t>(i.Mode.MaxRepeats); },
     [](TRunInfo& i, const TCell& cell) {
         if (const auto* count = std::get_if<std::uint64_t>(&cell)) {
             if (*count < 1 || *count > MaxListLength) {
                 throw EBadCell(std::to_string(*count) + " is not 1 to " +
                                std::to_string(MaxListLength));
             }
             i.Mode.MaxRepeats = static_cast<int>(*count);
         }
     }},
    {"target_percent", "target_percent", TCellKind::Number,
     [](const TRunInfo& i) -> TCell { return i.Mode.TargetPercent; },
     [](TRunInfo& i, const TCell& cell) {
         if (const auto* value = std::get_if<double>(&cell)) {
             i.Mode.TargetPercent = *value;
         }
     }},
    {"mode_honoured", "mode_honoured", TCellKind::Flag,
     [](const TRunInfo& i) -> TCell { return Optional(i.ModeHonoured); },
     [](TRunInfo& i, const TCell& cell) {
         i.ModeHonoured = std::holds_alternative<bool>(cell) ? std::optional(std::get<bool>(cell))
                                                             : std::nullopt;
     }},
    ORVANE_INFO_TEXT("mode_note", "mode_note", ModeNote),
    ORVANE_INFO_TEXT("mode_summary", "mode_summary", ModeSummary),
    ORVANE_INFO_TEXT("host.label", "host_label", Host.Label),
    ORVANE_INFO_TEXT("host.hostname", "hostname", Host.Hostname),
    ORVANE_INFO_TEXT("host.kernel", nullptr, Host.Kernel),
    ORVANE_INFO_TEXT("host.cpu_model", "cpu_model", Host.CpuModel),
    ORVANE_INFO_COUNT("host.cpus", "cpus", Host.Cpus),
    ORVANE_INFO_COUNT("host.memory_bytes", "memory_bytes", Host.MemoryBytes),
    ORVANE_INFO_TEXT("host.device_model", "device_model", Host.DeviceModel),
    ORVANE_INFO_TEXT("host.device_serial", "device_serial", Host.DeviceSerial),
    {"host.rotational", "rotational", TCellKind::Flag,
     [](const TRunInfo& i) -> TCell { return Optional(i.Host.Rotational); },
     [](TRunInfo& i, const TCell& cell) {
         i.Host.Rotational = std::holds_alternative<bool>(cell)
                                 ? std::optional(std::get<bool>(cell))
                                 : std::nullopt;
     }},
    ORVANE_INFO_COUNT("host.logical_block_bytes", "logical_block_bytes", Host.LogicalBlockBytes),
    ORVANE_INFO_COUNT("host.physical_block_bytes", "physical_block_bytes", Host.PhysicalBlockBytes),
    ORVANE_INFO_TEXT("host.scheduler", "scheduler", Host.Scheduler),
    ORVANE_INFO_TEXT("host.mount_options", "mount_options", Host.MountOptions),
    ORVANE_INFO_CEILING("ceiling.write_kib_per_s", "ceiling_write_kib_per_s", WriteKiBPerSecond),
    ORVANE_INFO_CEILING("ceiling.read_kib_per_s", "ceiling_read_kib_per_s", ReadKiBPerSecond),
    {"ceiling.alignment.memory", nullptr, TCellKind::Count,
     [](const TRunInfo& i) -> TCell {
         return i.Ceiling ? TCell(std::uint64_t{i.Ceiling->Alignment.Memory}) : std::monostate{};
     },
     [](TRunInfo& i, const TCell& cell) {
         if (const auto bytes = OptionalOf<std::uint64_t>(cell); bytes && i.Ceiling) {
             i.Ceiling->Alignment.Memory = static_cast<std::uint32_t>(*bytes & 0xFFFFFFFFu);
         }
     }},
    {"ceiling.alignment.offset", nullptr, TCellKind::Count,
     [](const TRunInfo& i) -> TCell {
         return i.Ceiling ? TCell(std::uint64_t{i.Ceiling->Alignment.Offset}) : std::monostate{};
     },
     [](TRunInfo& i, const TCell& cell) {
         if (const auto bytes = OptionalOf<std::uint64_t>(cell); bytes && i.Ceiling) {
             i.Ceiling->Alignment.Offset = static_cast<std::uint32_t>(*bytes & 0xFFFFFFFFu);
         }
     }},
    {"ceiling.alignment.source", nullptr, TCellKind::Text,
     [](const TRunInfo& i) -> TCell {
         if (!i.Ceiling) {
             return std::monostate{};
         }
         return std::string(i.Ceiling->Alignment.Source == platform::TAlignmentSource::Statx
                                ? "statx"
                                : "logical block size");
     },
     [](TRunInfo& i, const TCell& cell) {
         if (const auto* text = std::get_if<std::string>(&cell); text != nullptr && i.Ceiling) {
             i.Ceiling->Alignment.Source = *text == "statx"
                                               ? platform::TAlignmentSource::Statx
                                               : platform::TAlignmentSource::LogicalBlockSize;
         }
     }},
    ORVANE_INFO_TEXT("ceiling_note", "ceiling_note", CeilingNote),
    {"config_hash", "config_hash", TCellKind::Text,
     [](const TRunInfo& i) -> TCell { return ConfigHash(i); }, [](TRunInfo&, const TCell&) {},
     true},
    {"file_size", nullptr, TCellKind::Text, [](const TRunInfo& i) -> TCell { return i.FileSize; },
     [](TRunInfo& i, const TCell& cell) {
         i.FileSize = KnownLabel(FileSizeLabels, cell, "file size");
     }},
    {"block_size", nullptr, TCellKind::Text, [](const TRunInfo& i) -> TCell { return i.BlockSize; },
     [](TRunInfo& i, const TCell& cell) {
         i.BlockSize = KnownLabel(BlockSizeLabels, cell, "block size");
     },
     true},
    ORVANE_INFO_TEXT("test_file", nullptr, TestFile),
};

#undef ORVANE_INFO_TEXT
#undef ORVANE_INFO_FLAG
#undef ORVANE_INFO_COUNT
#undef ORVANE_INFO_CEILING

} // namespace

std::span<const TColumn> RowColumns() {
    return Columns;
}

std::span<const TInfoField> InfoFields() {
    return Fields;
}

std::string FormatBytes(std::uint64_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + " bytes";
    }
    if (bytes < 1024ull * 1024) {
        return DecimalText(static_cast<double>(bytes) / 1024, 0) + " KiB";
    }
    if (bytes < 1024ull * 1024 * 1024) {
        return DecimalText(static_cast<double>(bytes) / 1048576, 1) + " MiB";
    }
    return DecimalText(static_cast<double>(bytes) / 1073741824, 1) + " GiB";
}

std::string DeviceText(const TResultRow& row) {
    if (!row.Proof.DeviceBytes) {
        return "n/a";
    }
    const std::uint64_t bytes = *row.Proof.DeviceBytes;
    return FormatBytes(bytes) + (bytes * 2 < row.FileBytes ? " (cache)" : "");
}

} // namespace orvane::results
