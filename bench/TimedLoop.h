// The measuring instrument: the timed block loop of a pass. Per block it holds the block
// call, the stop check, the check of the count moved and one compare for the gauge, which
// is called only when its whole percentage changes. The clock is read around each gauge call
// (about a hundred a pass) so that the pass's time can leave the drawing out, and the
// process is noted as running there, so that a stop is counted from no earlier moment.
#pragma once

#include "bench/Methods.h"
#include "fileio/Exception.h"
#include "platform/Measuring.h"
#include "platform/Win32.h"

#include <cstdint>
#include <string>

namespace orvane {

// An error whose text already names the pass and its chunk size.
class EPassError : public Exception {
public:
    using Exception::Exception;
};

// A pass that moved fewer bytes than asked (a full disk, a file cut short, a failed call).
class EShortTransfer : public EPassError {
public:
    using EPassError::EPassError;
};

// Prepare: the one-byte extension before the passes.
enum class TPassKind { Prepare, Write, Read };

// `error`: the system's code for why the transfer stopped short; 0 when none was given (the
// end of the file).
[[noreturn]] void ThrowShortTransfer(TPassKind pass, const std::string& chunkLabel,
                                     std::uint64_t moved, std::uint64_t wanted, DWORD error = 0);

// Inside a catch block: raises the error being handled again with the pass and its chunk size
// named before the layer's own text, and for the plain file's runtime codes the system's
// reason after it. An EPassError goes on as it is.
[[noreturn]] void RethrowNamingPass(TPassKind pass, const std::string& chunkLabel);

// The same for the flush that ends a durable write pass.
[[noreturn]] void RethrowNamingFlush(const std::string& chunkLabel);

// The next block number at which the whole percentage of 0..n moves past that of `k`.
constexpr std::uint32_t NextGaugeStep(std::uint32_t k, std::uint32_t n) {
    const std::uint64_t percent = std::uint64_t{k} * 100 / n;
    return static_cast<std::uint32_t>(((percent + 1) * n + 99) / 100);
}

template <typename Block> TPassTiming TimedLoop(TIteration& it, TPassKind pass, Block&& block) {
    const std::uint32_t n = it.FileSize / static_cast<std::uint32_t>(it.BlockSize);
    const bool& stop = it.Host.StopFlag();
    std::uint32_t gaugeStep = NextGaugeStep(0, n);
    TPassClock::duration gaugeTime{0};
    // A layer that gives a short count without raising leaves its reason here.
    SetLastError(ERROR_SUCCESS);
    platform::NoteRunning();
    const auto start = TPassClock::now();
    for (std::uint32_t k = 1; k <= n; ++k) {
        if (stop) {
            break; // the remaining steps would do nothing
        }
        const std::int32_t moved = block();
        if (moved != it.BlockSize) [[unlikely]] {
            ThrowShortTransfer(pass, it.Host.ChunkLabel(),
                               std::uint64_t{k - 1} * static_cast<std::uint32_t>(it.BlockSize) +
                                   static_cast<std::uint32_t>(std::max(moved, 0)),
                               it.FileSize, GetLastError());
        }
        if (k == gaugeStep) [[unlikely]] {
            const auto before = TPassClock::now();
            platform::NoteRunning();
            const std::int64_t stoppedBefore = platform::StoppedNanoseconds().value_or(0);
            it.Host.SetGaugeProgress(static_cast<std::int32_t>(k));
            // A stop inside the gauge's call (a terminal that stops a background writer)
            // stays in the pass, where the row's proof accounts for it.
            gaugeTime += TPassClock::now() - before -
                         std::chrono::nanoseconds(platform::StoppedNanoseconds().value_or(0) -
                                                  stoppedBefore);
            gaugeStep = NextGaugeStep(k, n);
        }
    }
    const auto end = TPassClock::now();
    platform::NoteRunning();
    return {start, end, gaugeTime};
}

} // namespace orvane
