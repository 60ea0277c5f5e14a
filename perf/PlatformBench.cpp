// The platform layer against the bare system calls it wraps: ReadFile and WriteFile
// against read(2) and write(2), and a buffered 1-byte mmioWrite against glibc's fwrite.
#include "platform/Win32.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::string ScratchFile(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr ? dir : "/tmp") + "/orvane-bench-" + name + "-" +
           std::to_string(::getpid());
}

// The file is rewound every so many calls, so that it stays small and cached.
constexpr std::int64_t RewindEvery = 1 << 16;

void RawWrite(benchmark::State& state) {
    const std::string path = ScratchFile("raw");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    char block[256] = {};
    const auto size = static_cast<size_t>(state.range(0));
    std::int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(::write(fd, block, size));
        if (++n % RewindEvery == 0) {
            ::lseek(fd, 0, SEEK_SET);
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    ::close(fd);
    ::unlink(path.c_str());
}

void Win32WriteFile(benchmark::State& state) {
    const std::string path = ScratchFile("win32");
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    char block[256] = {};
    const auto size = static_cast<DWORD>(state.range(0));
    DWORD done = 0;
    std::int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(WriteFile(h, block, size, &done, nullptr));
        if (++n % RewindEvery == 0) {
            SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    CloseHandle(h);
    DeleteFileA(path.c_str());
}

void RawRead(benchmark::State& state) {
    const std::string path = ScratchFile("rawr");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    char block[256] = {};
    for (int i = 0; i < RewindEvery; ++i) {
        ::write(fd, block, 256);
    }
    ::lseek(fd, 0, SEEK_SET);
    const auto size = static_cast<size_t>(state.range(0));
    std::int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(::read(fd, block, size));
        if (++n % RewindEvery == 0) {
            ::lseek(fd, 0, SEEK_SET);
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    ::close(fd);
    ::unlink(path.c_str());
}

void Win32ReadFile(benchmark::State& state) {
    const std::string path = ScratchFile("win32r");
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    char block[256] = {};
    DWORD done = 0;
    for (int i = 0; i < RewindEvery; ++i) {
        WriteFile(h, block, 256, &done, nullptr);
    }
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    const auto size = static_cast<DWORD>(state.range(0));
    std::int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadFile(h, block, size, &done, nullptr));
        if (++n % RewindEvery == 0) {
            SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        }
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    CloseHandle(h);
    DeleteFileA(path.c_str());
}

void StdioFwrite1(benchmark::State& state) {
    const std::string path = ScratchFile("stdio");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::setvbuf(file, nullptr, _IOFBF, 8192);
    std::int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::fwrite("x", 1, 1, file));
        if (++n % (RewindEvery * 64) == 0) {
            std::fseek(file, 0, SEEK_SET);
        }
    }
    state.SetBytesProcessed(state.iterations());
    std::fclose(file);
    ::unlink(path.c_str());
}

void MmioWrite1(benchmark::State& state) {
    std::string path = ScratchFile("mmio");
    HMMIO h =
        mmioOpenA(path.data(), nullptr, MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE | MMIO_ALLOCBUF);
    std::int64_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(mmioWrite(h, "x", 1));
        if (++n % (RewindEvery * 64) == 0) {
            mmioSeek(h, 0, SEEK_SET);
        }
    }
    state.SetBytesProcessed(state.iterations());
    mmioClose(h, 0);
    ::unlink(path.c_str());
}

} // namespace

BENCHMARK(RawWrite)->Arg(1)->Arg(16)->Arg(256)->MinTime(0.5);
BENCHMARK(Win32WriteFile)->Arg(1)->Arg(16)->Arg(256)->MinTime(0.5);
BENCHMARK(RawRead)->Arg(1)->Arg(16)->Arg(256)->MinTime(0.5);
BENCHMARK(Win32ReadFile)->Arg(1)->Arg(16)->Arg(256)->MinTime(0.5);
BENCHMARK(StdioFwrite1)->MinTime(0.5);
BENCHMARK(MmioWrite1)->MinTime(0.5);

BENCHMARK_MAIN();
