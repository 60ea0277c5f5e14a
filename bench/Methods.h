// The access methods, one table each: what the window and the command line call the
// method, whether the "buffered" boxes apply to it, a factory for the state it keeps for
// one iteration, and one operation per phase of an iteration. The timed passes are whole
// functions, so the block call inside them is inlined rather than made through a pointer
// per block. A new method is a file with its table and its two lines in MethodList.cpp.
#pragma once

#include "bench/AccessMethod.h"
#include "bench/Clock.h"
#include "bench/RunHost.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace orvane {

// What the phases of one iteration work on, whatever the method.
struct TIteration {
    TRunHost& Host;
    const std::string& FileName;
    std::uint32_t FileSize;
    std::int32_t BlockSize;
    std::int32_t ChunkSize;
    std::uint8_t* Buffer; // the run's block buffer, zero-filled
    // The boxes as they stood when the iteration began (a matrix sets them per cell).
    bool WriteBuffered = false;
    bool ReadBuffered = false;
};

// The file object a method keeps from its prepare open to its clean-up.
class TMethodState {
public:
    virtual ~TMethodState() = default;
};

// The clock readings around a pass, and the part of that interval spent in the host's gauge
// calls: a repaint on a real display costs far more than the blocks between two of them.
struct TPassTiming {
    TPassClock::time_point Start;
    TPassClock::time_point End;
    std::chrono::nanoseconds GaugeTime{0};
};

struct TMethodOps {
    const char* Caption; // the radio item: "File"
    const char* CliName; // --method file
    bool Buffered;       // the "Write buffered" and "Read buffered" boxes apply
    std::unique_ptr<TMethodState> (*NewState)();

    void (*PrepareOpen)(TIteration&, TMethodState&);
    void (*PrepareExtend)(TIteration&, TMethodState&); // to FileSize + 1 bytes, then closed
    void (*ReopenForWrite)(TIteration&, TMethodState&);
    TPassTiming (*WritePass)(TIteration&, TMethodState&);
    // Durable writes: inside the write pass's interval, the layer's pending data is written
    // out and the file flushed to the device.
    void (*EndWritePass)(TIteration&, TMethodState&);
    void (*Close)(TIteration&, TMethodState&);
    void (*OpenForRead)(TIteration&, TMethodState&);
    TPassTiming (*ReadPass)(TIteration&, TMethodState&);
    void (*CleanUp)(TIteration&, TMethodState&) noexcept; // whatever state the phases left
};

// Every method, in the order of the window's radio items (TAccessMethod is the index).
std::span<const TMethodOps* const> Methods();

// Raises for an index past the list.
const TMethodOps& MethodOps(TAccessMethod method);

// The method's own state, as each method's phases see it.
template <typename TState> TState& StateOf(TMethodState& state) {
    return static_cast<TState&>(state);
}

} // namespace orvane
