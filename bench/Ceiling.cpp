// The ceiling's two direct passes on a test file of their own.
#include "bench/Ceiling.h"

#include "bench/Clock.h"
#include "bench/RunHost.h"
#include "bench/TestFile.h"
#include "fileio/SecondaryErrors.h"
#include "platform/Measuring.h"

#include <cerrno>
#include <chrono>

namespace orvane {

namespace {

using platform::TAlignmentSource;
using platform::TDirectAlignment;
using platform::TStepResult;

constexpr const char* FailedText = "The device's ceiling could not be measured on \"";
constexpr const char* InMemoryText = " keeps its files in memory: there is no device under it "
                                     "whose ceiling direct I/O could measure";
constexpr const char* NotSupportedText = "direct I/O is not supported on ";
constexpr const char* UnknownFileSystemText = "this file system";
constexpr const char* UnknownAlignmentText =
    "the alignment direct I/O needs can't be told here: neither statx nor the device's "
    "logical block size gives it";
constexpr const char* UnusableAlignmentText = " asks for transfers aligned to ";
constexpr const char* UnkeepableText = ", which 1 MiB transfers can't keep";
constexpr const char* RefusedAlignmentText = "direct I/O refused a transfer aligned to ";
constexpr const char* ShortText = " moved only ";

std::string FileSystemText(const platform::TFileSystemKind& kind) {
    return kind.Name.empty() ? UnknownFileSystemText : kind.Name;
}

std::string SourceText(TAlignmentSource source) {
    return source == TAlignmentSource::Statx ? "statx" : "the device's logical block size";
}

// "512 bytes in memory and 4096 in the file", or "512 bytes" where both are one.
std::string AlignmentText(const TDirectAlignment& alignment) {
    if (alignment.Memory == alignment.Offset) {
        return std::to_string(alignment.Memory) + " bytes";
    }
    return std::to_string(alignment.Memory) + " bytes in memory and " +
           std::to_string(alignment.Offset) + " in the file";
}

bool PowerOfTwo(std::uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}

[[noreturn]] void ThrowFailed(const std::string& fileName, const char* call, int error) {
    throw Exception(FailedText + fileName + "\": " + call +
                    " failed: " + platform::ErrnoText(error));
}

void Check(const std::string& fileName, const TStepResult& step) {
    if (!step) {
        ThrowFailed(fileName, step.Call, step.Error);
    }
}

// The alignment the transfers keep; refused when none is told, or one that 1 MiB transfers
// at 1 MiB offsets can't keep.
TDirectAlignment UsableAlignment(const std::optional<TDirectAlignment>& told,
                                 const platform::TFileSystemKind& fileSystem) {
    if (!told) {
        throw ECeilingRefused(UnknownAlignmentText);
    }
    if (told->Memory == 0 && told->Offset == 0) {
        // The file takes O_DIRECT, yet its data would go through the page cache all the same.
        throw ECeilingRefused(NotSupportedText + FileSystemText(fileSystem));
    }
    if (!PowerOfTwo(told->Memory) || !PowerOfTwo(told->Offset) ||
        told->Memory > CeilingTransferBytes || told->Offset > CeilingTransferBytes) {
        throw ECeilingRefused(SourceText(told->Source) + UnusableAlignmentText +
                              AlignmentText(*told) + UnkeepableText);
    }
    return *told;
}

// Bytes that no device or layer between here and the platters can shrink as it could zeros.
void FillIncompressible(std::uint8_t* data, std::size_t size) {
    std::uint64_t state = 0x9e3779b97f4a7c15ull;
    for (std::size_t i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        data[i] = static_cast<std::uint8_t>(state >> 56);
    }
}

// The direct loop: per transfer only the call and the stop check. Returns the bytes moved
// in whole transfers; `last` holds what the transfer that ended it early returned.
template <typename Transfer>
std::uint64_t DirectLoop(std::uint64_t bytes, const bool& stop, std::int64_t& last,
                         Transfer&& transfer) {
    std::uint64_t offset = 0;
    while (offset < bytes) {
        if (stop) {
            break;
        }
        last = transfer(static_cast<std::int64_t>(offset));
        if (last != CeilingTransferBytes) [[unlikely]] {
            break;
        }
        offset += CeilingTransferBytes;
    }
    return offset;
}

double KiBPerSecond(std::uint64_t bytes, TPassClock::duration elapsed) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    return seconds > 0 ? static_cast<double>(bytes) / 1024.0 / seconds : 0.0;
}

// What ended a pass early: a refusal at its very first transfer, else a failed call or a
// short count.
[[noreturn]] void ThrowTransferFailure(const std::string& fileName, const char* call,
                                       std::uint64_t moved, std::uint64_t wanted, std::int64_t last,
                                       int error, const TDirectAlignment& alignment) {
    if (last < 0 && error == EINVAL && moved == 0) {
        throw ECeilingRefused(RefusedAlignmentText + AlignmentText(alignment) + " (from " +
                              SourceText(alignment.Source) + ")");
    }
    if (last < 0) {
        ThrowFailed(fileName, call, error);
    }
    throw Exception(FailedText + fileName + "\": " + call + ShortText +
                    std::to_string(moved + static_cast<std::uint64_t>(last)) + " of " +
                    std::to_string(wanted) + " bytes");
}

void Settle(TRunHost& host, const std::string& fileName) {
    host.MeasuringStep(TMeasuringStep::Settle);
    Check(fileName, platform::SettleFileSystem(fileName));
}

std::optional<TCeiling> Measure(TRunHost& host, const std::string& fileName, TCreatedFile& testFile,
                                platform::TDirectFile& file) {
    const bool& stop = host.StopFlag();
    const std::uint64_t bytes = std::uint64_t{static_cast<std::uint32_t>(host.FileSize())} /
                                CeilingTransferBytes * CeilingTransferBytes;
    testFile.Create();
    Check(fileName, file.Open(fileName));
    testFile.Verify(); // what was opened is the file just made
    const platform::TFileSystemKind fileSystem = file.FileSystem();
    if (fileSystem.InMemory) {
        throw ECeilingRefused(fileSystem.Name + InMemoryText);
    }
    if (const TStepResult direct = file.BypassCache(); !direct) {
        if (direct.Error == EINVAL) {
            throw ECeilingRefused(NotSupportedText + FileSystemText(fileSystem));
        }
        ThrowFailed(fileName, direct.Call, direct.Error);
    }
    TCeiling ceiling;
    ceiling.Alignment = UsableAlignment(file.Alignment(), fileSystem);
    platform::TAlignedBuffer buffer;
    Check(fileName, buffer.Allocate(CeilingTransferBytes, ceiling.Alignment.Memory));
    std::uint8_t* const data = buffer.Data();
    FillIncompressible(data, CeilingTransferBytes);

    Settle(host, fileName);
    std::int64_t last = 0;
    const auto writeStart = TPassClock::now();
    const std::uint64_t written = DirectLoop(bytes, stop, last, [&](std::int64_t offset) {
        return file.Write(data, CeilingTransferBytes, offset);
    });
    const int writeError = errno;
    const TStepResult flushed = written == bytes ? file.Flush() : TStepResult{};
    const auto writeEnd = TPassClock::now();
    if (stop) {
        return std::nullopt;
    }
    if (written != bytes) {
        ThrowTransferFailure(fileName, "pwrite", written, bytes, last, writeError,
                             ceiling.Alignment);
    }
    Check(fileName, flushed);
    ceiling.WriteKiBPerSecond = KiBPerSecond(bytes, writeEnd - writeStart);

    host.ProcessMessages();
    if (stop) {
        return std::nullopt;
    }
    Settle(host, fileName);
    const auto readStart = TPassClock::now();
    const std::uint64_t read = DirectLoop(bytes, stop, last, [&](std::int64_t offset) {
        return file.Read(data, CeilingTransferBytes, offset);
    });
    const int readError = errno;
    const auto readEnd = TPassClock::now();
    if (stop) {
        return std::nullopt;
    }
    if (read != bytes) {
        ThrowTransferFailure(fileName, "pread", read, bytes, last, readError, ceiling.Alignment);
    }
    ceiling.ReadKiBPerSecond = KiBPerSecond(bytes, readEnd - readStart);
    Check(fileName, buffer.Free());
    return ceiling;
}

} // namespace

std::optional<TCeiling> MeasureCeiling(TRunHost& host, const std::string& fileName) {
    TCreatedFile testFile(fileName);
    platform::TDirectFile file;
    std::optional<TCeiling> ceiling;
    try {
        ceiling = Measure(host, fileName, testFile, file);
    } catch (const ECeilingRefused&) {
        file.Close();
        // The run would go on past a refusal, but not past a file it leaves on the disk.
        if (const std::string left = testFile.Release(); !left.empty()) {
            throw Exception(left);
        }
        throw;
    } catch (...) {
        file.Close(); // the error on its way says more than a failing close could
        if (const std::string left = testFile.Release(); !left.empty()) {
            NoteSecondaryError(left);
        }
        throw;
    }
    const TStepResult closed = file.Close();
    const std::string left = testFile.Release();
    if (!closed) {
        if (!left.empty()) {
            NoteSecondaryError(left);
        }
        ThrowFailed(fileName, closed.Call, closed.Error);
    }
    if (!left.empty()) {
        throw Exception(left);
    }
    return ceiling;
}

} // namespace orvane
