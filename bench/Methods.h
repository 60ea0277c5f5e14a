// One table of operations per access method, one entry per phase of an iteration. The
// timed passes are whole functions, so the block call inside them is inlined rather than
// made through a pointer per block.
#pragma once

#include "bench/AccessMethod.h"
#include "bench/Clock.h"
#include "bench/RunHost.h"
#include "fileio/KoHugeF.h"
#include "fileio/MMIOFile.h"
#include "fileio/PlainFile.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvane {

// What the phases of one iteration work on.
struct TIteration {
    TRunHost& Host;
    const std::string& FileName;
    std::uint32_t FileSize;
    std::int32_t BlockSize;
    std::int32_t ChunkSize;
    std::uint8_t* Buffer;                 // the run's block buffer, zero-filled
    TPlainFileRec& PlainFile;             // "File": a record the run keeps
    std::unique_ptr<TMMIOFile>& MmioFile; // "mmio": made by the prepare open, freed by the clean-up
    std::unique_ptr<TKoHugeFile>& HugeFile; // "Win32": likewise
};

struct TPassTiming {
    TPassClock::time_point Start;
    TPassClock::time_point End;
};

struct TMethodOps {
    void (*PrepareOpen)(TIteration&);
    void (*PrepareExtend)(TIteration&); // to FileSize + 1 bytes, then closed
    void (*ReopenForWrite)(TIteration&);
    TPassTiming (*WritePass)(TIteration&);
    void (*Close)(TIteration&);
    void (*OpenForRead)(TIteration&);
    TPassTiming (*ReadPass)(TIteration&);
    void (*CleanUp)(TIteration&) noexcept; // whatever state the phases left
};

const TMethodOps& MethodOps(TAccessMethod method);

extern const TMethodOps FileMethodOps;
extern const TMethodOps MmioMethodOps;
extern const TMethodOps Win32MethodOps;

} // namespace orvane
