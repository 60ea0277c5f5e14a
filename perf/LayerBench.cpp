// Orvane's measuring instrument against what it measures: each layer's block calls beside
// the bare system calls, glibc's stdio or a hand-written buffer loop, the run's timed loop
// beside the bare layer loop, and memcpy as the ceiling of cached I/O. Prints the machine,
// the file system and, at the end, each pair's ratio against its target.
#include "bench/TimedLoop.h"
#include "cli/CliOptions.h"
#include "fileio/KoHugeF.h"
#include "fileio/MMIOFile.h"
#include "fileio/PlainFile.h"
#include "platform/Win32.h"
#include "results/Report.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>

namespace orvane {

namespace {

// Files are rewound after this much data, so that they stay in the page cache.
constexpr std::int64_t RewindBytes = 64 << 20;
constexpr std::int64_t MinimumRewindCalls = 1 << 14;

std::string ScratchDir() {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr ? dir : "/tmp";
}

std::string ScratchFile(const std::string& name) {
    return ScratchDir() + "/orvane-bench-" + name + "-" + std::to_string(::getpid());
}

std::int64_t RewindEvery(std::int64_t block) {
    return std::max(RewindBytes / block, MinimumRewindCalls);
}

alignas(64) std::uint8_t Block[256];

// --- The File method against read(2) and write(2) --------------------------------------------

void RawWrite(benchmark::State& state) {
    const std::string path = ScratchFile("raw");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    const auto size = static_cast<size_t>(state.range(0));
    const std::int64_t rewind = RewindEvery(state.range(0));
    std::int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(::write(fd, Block, size));
        if (++n % rewind == 0) {
            ::lseek(fd, 0, SEEK_SET);
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    ::close(fd);
    ::unlink(path.c_str());
}

void FileWrite(benchmark::State& state) {
    const std::string path = ScratchFile("plain");
    TPlainFileRec file{};
    Assign(file, path);
    FileMode = 17;
    Rewrite(file, 1);
    const auto count = static_cast<std::uint32_t>(state.range(0));
    const std::int64_t rewind = RewindEvery(state.range(0));
    std::int64_t n = 0;
    std::int32_t written = 0;
    for (auto _ : state) {
        BlockWrite(file, Block, count, written);
        CheckIO();
        if (++n % rewind == 0) {
            Seek(file, 0);
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    Close(file);
    ::unlink(path.c_str());
}

void PrepareReadFile(const std::string& path) {
    std::ofstream(path, std::ios::binary) << std::string(RewindBytes / 16, '\0');
}

void RawRead(benchmark::State& state) {
    const std::string path = ScratchFile("rawr");
    PrepareReadFile(path);
    const int fd = ::open(path.c_str(), O_RDONLY);
    const auto size = static_cast<size_t>(state.range(0));
    const std::int64_t rewind = RewindBytes / 16 / state.range(0);
    std::int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(::read(fd, Block, size));
        if (++n % rewind == 0) {
            ::lseek(fd, 0, SEEK_SET);
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    ::close(fd);
    ::unlink(path.c_str());
}

void FileRead(benchmark::State& state) {
    const std::string path = ScratchFile("plainr");
    PrepareReadFile(path);
    TPlainFileRec file{};
    Assign(file, path);
    FileMode = 16;
    Reset(file, 1);
    const auto count = static_cast<std::uint32_t>(state.range(0));
    const std::int64_t rewind = RewindBytes / 16 / state.range(0);
    std::int64_t n = 0;
    std::int32_t read = 0;
    for (auto _ : state) {
        BlockRead(file, Block, count, read);
        CheckIO();
        if (++n % rewind == 0) {
            Seek(file, 0);
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    Close(file);
    ::unlink(path.c_str());
}

// --- Buffered layers against stdio and a hand-written buffer loop ------------------------------

void StdioWrite(benchmark::State& state) {
    const std::string path = ScratchFile("stdio");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    // glibc ignores the size when it is to allocate the buffer itself: hand it one.
    std::vector<char> buffer(static_cast<size_t>(state.range(0)));
    std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
    const auto size = static_cast<size_t>(state.range(1));
    const std::int64_t rewind = RewindEvery(state.range(1));
    std::int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::fwrite(Block, 1, size, file));
        if (++n % rewind == 0) {
            std::fseek(file, 0, SEEK_SET);
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(1));
    std::fclose(file);
    ::unlink(path.c_str());
}

void MmioWrite(benchmark::State& state) {
    TMMIOFile file;
    const std::string path = ScratchFile("mmio");
    file.SetFileName(path);
    file.SetMode(true, maWrite, msExclusive);
    file.CreateNew();
    file.SetBufferSize(static_cast<std::int32_t>(state.range(0)));
    const auto size = static_cast<std::int32_t>(state.range(1));
    const std::int64_t rewind = RewindEvery(state.range(1));
    std::int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(file.Write(Block, size));
        if (++n % rewind == 0) {
            file.Seek(0);
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(1));
    file.Close();
    ::unlink(path.c_str());
}

void HugeWrite(benchmark::State& state) {
    const std::string path = ScratchFile("huge");
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, GENERIC_READ | GENERIC_WRITE, ShareDerived);
    file.RewriteBuffered(1, static_cast<std::uint32_t>(state.range(0)), false);
    const auto size = static_cast<std::uint32_t>(state.range(1));
    const std::int64_t rewind = RewindEvery(state.range(1));
    std::int64_t n = 0;
    std::uint32_t written = 0;
    for (auto _ : state) {
        file.BlockWrite(Block, size, written);
        if (++n % rewind == 0) {
            file.Seek(0);
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(1));
    file.Close();
    ::unlink(path.c_str());
}

// The read side's inline path: small reads served from the read-ahead buffer.
void HugeRead(benchmark::State& state) {
    const std::string path = ScratchFile("huger");
    PrepareReadFile(path);
    TKoHugeFile file(path, FILE_ATTRIBUTE_NORMAL, GENERIC_READ, ShareDerived);
    file.ResetBuffered(1, static_cast<std::uint32_t>(state.range(0)), false);
    const auto size = static_cast<std::uint32_t>(state.range(1));
    const std::int64_t rewind = RewindBytes / 16 / state.range(1);
    std::int64_t n = 0;
    std::uint32_t read = 0;
    for (auto _ : state) {
        file.BlockRead(Block, size, read);
        if (++n % rewind == 0) {
            file.Seek(0);
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(1));
    file.Close();
    ::unlink(path.c_str());
}

// memcpy into a page-aligned buffer and one write(2) per full buffer: the least a buffered
// layer can do.
void HandLoopWrite(benchmark::State& state) {
    const std::string path = ScratchFile("hand");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    const auto capacity = static_cast<size_t>(std::max<std::int64_t>(state.range(0), 4096));
    auto* buffer = static_cast<std::uint8_t*>(std::aligned_alloc(4096, capacity));
    const auto size = static_cast<size_t>(state.range(1));
    const std::int64_t rewind = RewindEvery(state.range(1));
    size_t used = 0;
    std::int64_t n = 0;
    for (auto _ : state) {
        if (capacity - used <= size) {
            const size_t first = capacity - used;
            std::memcpy(buffer + used, Block, first);
            benchmark::DoNotOptimize(::write(fd, buffer, capacity));
            used = size - first;
            std::memcpy(buffer, Block + first, used);
        } else {
            std::memcpy(buffer + used, Block, size);
            used += size;
        }
        if (++n % rewind == 0) {
            ::lseek(fd, 0, SEEK_SET);
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(1));
    std::free(buffer);
    ::close(fd);
    ::unlink(path.c_str());
}

void MemcpyCeiling(benchmark::State& state) {
    std::vector<std::uint8_t> target(1 << 20);
    const auto size = static_cast<size_t>(state.range(0));
    size_t at = 0;
    for (auto _ : state) {
        std::memcpy(target.data() + at, Block, size);
        at = at + size + 256 > target.size() ? 0 : at + size;
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// --- The run's timed loop against the bare layer loop ------------------------------------------

class TNullHost final : public TRunHost {
public:
    int Position(TScale) const override { return 0; }
    void SetPosition(TScale, int) override {}
    std::int32_t FileSize() const override { return 0; }
    void SetSizes(std::int32_t, std::int32_t) override {}
    std::string ChunkLabel() const override { return "1K"; }
    TAccessMethod AccessMethod() const override { return TAccessMethod::amFile; }
    bool WriteBuffered() const override { return false; }
    bool ReadBuffered() const override { return false; }
    bool& StopFlag() override { return Stop; }
    TTestFileChoice ChooseTestFile(std::string&) override { return TTestFileChoice::Cancelled; }
    void ShowError(const std::string&) override {}
    void ShowWarning(const std::string&) override {}
    void ShowNotEnoughSpace(std::int64_t) override {}
    void ReportFailure(const std::exception&) override {}
    void SetCaption(const std::string&) override {}
    void Lock() override {}
    void Unlock() override {}
    void SetPhaseColour(TPhaseColour) override {}
    void ProcessMessages() override {}
    void Pause(unsigned) override {}
    void SetGaugeRange(std::int32_t) override {}
    void SetGaugeProgress(std::int32_t progress) override { benchmark::DoNotOptimize(progress); }
    void ClearResults() override {}
    void AddResultRow(TResultList, const TResultRow&) override {}
    bool Stop = false;
};

// One pass of a 4 MiB file in blocks of state.range(0), in the run's loop or a bare one.
template <bool Timed> void PassLoop(benchmark::State& state) {
    const std::string path = ScratchFile(Timed ? "timed" : "bare");
    TPlainFileRec file{};
    Assign(file, path);
    FileMode = 17;
    Rewrite(file, 1);
    constexpr std::uint32_t FileSize = 4 << 20;
    const auto block = static_cast<std::int32_t>(state.range(0));
    TNullHost host;
    const std::string name = path;
    TIteration it{host, name, FileSize, block, 1024, Block};
    for (auto _ : state) {
        Seek(file, 0);
        if constexpr (Timed) {
            benchmark::DoNotOptimize(TimedLoop(it, TPassKind::Write, [&] {
                std::int32_t written = 0;
                BlockWrite(file, Block, static_cast<std::uint32_t>(block), written);
                CheckIO();
                return written;
            }));
        } else {
            for (std::uint32_t k = FileSize / static_cast<std::uint32_t>(block); k > 0; --k) {
                std::int32_t written = 0;
                BlockWrite(file, Block, static_cast<std::uint32_t>(block), written);
                CheckIO();
                benchmark::DoNotOptimize(written);
            }
        }
    }
    state.SetBytesProcessed(state.iterations() * FileSize);
    Close(file);
    ::unlink(path.c_str());
}

// --- Registration and the summary -------------------------------------------------------------

constexpr double MinTime = 0.5;
constexpr int Repetitions = 3;

void Register() {
    const auto add = [](const char* name, auto function) {
        return benchmark::RegisterBenchmark(name, function)
            ->MinTime(MinTime)
            ->Repetitions(Repetitions)
            ->ReportAggregatesOnly(true);
    };
    for (const char* name : {"RawWrite", "FileWrite", "RawRead", "FileRead", "MemcpyCeiling"}) {
        static const std::map<std::string, void (*)(benchmark::State&)> functions = {
            {"RawWrite", RawWrite},
            {"FileWrite", FileWrite},
            {"RawRead", RawRead},
            {"FileRead", FileRead},
            {"MemcpyCeiling", MemcpyCeiling}};
        add(name, functions.at(name))->Arg(1)->Arg(16)->Arg(256);
    }
    for (const char* name : {"StdioWrite", "MmioWrite", "HugeWrite", "HandLoopWrite"}) {
        static const std::map<std::string, void (*)(benchmark::State&)> functions = {
            {"StdioWrite", StdioWrite},
            {"MmioWrite", MmioWrite},
            {"HugeWrite", HugeWrite},
            {"HandLoopWrite", HandLoopWrite}};
        add(name, functions.at(name))->ArgsProduct({{1024, 8192, 65536, 1048576}, {1, 256}});
    }
    add("HugeRead", HugeRead)->ArgsProduct({{65536}, {1, 256}});
    add("BareLoop", PassLoop<false>)->Arg(1)->Arg(256)->Unit(benchmark::kMillisecond);
    add("TimedLoop", PassLoop<true>)->Arg(1)->Arg(256)->Unit(benchmark::kMillisecond);
}

// Keeps the median real time of every benchmark for the summary.
class TSummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                Medians[run.run_name.function_name + "/" + run.run_name.args] =
                    run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) *
                    1e9;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Medians; // ns per iteration
};

void PrintRatio(const TSummaryReporter& reporter, const std::string& ours,
                const std::string& reference, double target) {
    const auto a = reporter.Medians.find(ours);
    const auto b = reporter.Medians.find(reference);
    if (a == reporter.Medians.end() || b == reporter.Medians.end()) {
        return;
    }
    const double ratio = a->second / b->second;
    std::printf("%-28s %10.2f ns  %-28s %10.2f ns  %6.3f  <= %-5.2f %s\n", ours.c_str(), a->second,
                reference.c_str(), b->second, ratio, target, ratio <= target ? "met" : "MISSED");
}

void PrintSummary(const TSummaryReporter& r) {
    std::printf("\nSummary: our time / reference time (medians of %d runs of at least %.1f s)\n",
                Repetitions, MinTime);
    for (const char* b : {"1", "16", "256"}) {
        PrintRatio(r, std::string("FileWrite/") + b, std::string("RawWrite/") + b, 1.02);
        PrintRatio(r, std::string("FileRead/") + b, std::string("RawRead/") + b, 1.02);
    }
    for (const char* c : {"1024", "8192", "65536", "1048576"}) {
        for (const char* b : {"1", "256"}) {
            const std::string args = std::string(c) + "/" + b;
            PrintRatio(r, "MmioWrite/" + args, "StdioWrite/" + args, 0.5);
            PrintRatio(r, "HugeWrite/" + args, "HandLoopWrite/" + args, 1.2);
            if (std::string(b) == "1") {
                PrintRatio(r, "HugeWrite/" + args, "StdioWrite/" + args, 0.33);
            }
        }
    }
    for (const char* b : {"1", "256"}) {
        PrintRatio(r, std::string("TimedLoop/") + b, std::string("BareLoop/") + b, 1.02);
    }
}

void PrintMachine() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line, model = "unknown";
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    }
    const results::TRunInfo info = results::DescribeRun(results::TRunSettings{}, ScratchDir());
    std::printf("CPU: %s, %u cores; build: %s; kernel %s\n", model.c_str(),
                std::thread::hardware_concurrency(), ORVANE_BUILD_TYPE, info.KernelRelease.c_str());
    std::printf("Files in %s: %s mounted at %s%s%s\n\n", ScratchDir().c_str(),
                info.FileSystem.c_str(), info.MountPoint.c_str(),
                info.BlockDevice.empty() ? "" : " from ", info.BlockDevice.c_str());
}

} // namespace

} // namespace orvane

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    orvane::PrintMachine();
    orvane::Register();
    orvane::TSummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    orvane::PrintSummary(reporter);
    benchmark::Shutdown();
    return 0;
}
