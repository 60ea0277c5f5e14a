// What a benchmark run needs from its front end: the window, the command line, or a
// recording host in the tests. The run drives it; the host only shows and asks.
#pragma once

#include "bench/AccessMethod.h"
#include "bench/Ceiling.h"
#include "bench/ResultRow.h"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

namespace orvane {

class TMatrixPlan;
struct TMatrixUnit;

enum class TScale { Files, Blocks, Chunks };

// The background of the current chunk size by phase of an iteration.
enum class TPhaseColour { Prepare, Write, Read, Idle };

// How a run measures. The default is the plain run: no flush inside the timed interval, the
// read pass served from wherever the data is, one pass of each per chunk size.
struct TMeasuringMode {
    bool Durable = false; // a write pass ends when its data is on the device
    bool Cold = false;    // a read pass starts with the file out of the page cache
    int Repeats = 1;      // passes per chunk size; the row gives the median
    // Instead of a fixed count: every chunk size is repeated (at least three times, at most
    // MaxRepeats) until the median interval of both its rows is within TargetPercent.
    bool UntilSteady = false;
    int MaxRepeats = 9;
    double TargetPercent = 5;
    bool Ceiling = false; // before the first iteration: the device's ceiling by direct I/O
};

// How the test file's name was chosen. A proposal is the program's own name (the dialog's
// proposal taken as it was, or the command line's --dir), which the run may replace by the
// next free one when it turns out taken; a chosen name is the user's and only ever refused.
enum class TTestFileChoice { Cancelled, Chosen, Proposed };

// The steps a measuring mode adds to an iteration, as the host is told of them.
enum class TMeasuringStep {
    Settle, // the file system's pending writes are written out, before a timed pass
    Flush,  // inside the write pass's interval: the data is put on the device
    Drop,   // before the read pass: the file's pages leave the page cache
};

class TRunHost {
public:
    virtual ~TRunHost() = default;

    // The three scales: a bar's position, and moving it, which runs its change handler
    // (the size, the label, pending events) when the position differs.
    virtual int Position(TScale scale) const = 0;
    virtual void SetPosition(TScale scale, int position) = 0;
    // The file size as the file-size handler keeps it.
    virtual std::int32_t FileSize() const = 0;
    // The block and chunk sizes of the bars' positions, stored without their handlers.
    virtual void SetSizes(std::int32_t blockSize, std::int32_t chunkSize) = 0;
    // The label of the current chunk size, as the result rows name it.
    virtual std::string ChunkLabel() const = 0;

    virtual TAccessMethod AccessMethod() const = 0;
    virtual bool WriteBuffered() const = 0;
    virtual bool ReadBuffered() const = 0;
    // The window keeps the default for now.
    virtual TMeasuringMode MeasuringMode() const { return {}; }
    // Told as a mode's step begins; nothing to show by default.
    virtual void MeasuringStep(TMeasuringStep) {}
    // The device's ceiling, when the mode asked for it and it was measured.
    virtual void CeilingMeasured(const TCeiling&) {}
    // Why there is no ceiling where direct I/O can't measure one, in plain words; the run
    // goes on without it.
    virtual void CeilingRefused(const std::string&) {}

    // Once the test file is named and the space checked, before the first pass (and the
    // ceiling): where a host that was asked to start at a given moment waits for it, taking
    // in a stop meanwhile. Nothing is on disk yet.
    virtual void BeforeFirstPass() {}
    // A matrix: told once before its first cell (where a run clears its results), as each
    // cell's iteration begins (`unit` of the plan's units), and given every row its cells
    // measured (the pass in the row) once it ends, stopped or failed. A run tells none of it.
    virtual void BeginMatrix(const TMatrixPlan&) {}
    virtual void MatrixCellBegins(const TMatrixPlan&, std::size_t /*unit*/) {}
    virtual void AddMatrixRow(const TMatrixUnit&, const TResultRow&) {}

    // The stop flag: cleared at the start of a run, set only while the host processes
    // events. The run reads it between blocks, so it is handed out once.
    virtual bool& StopFlag() = 0;

    // Asks where the test file goes, proposing `fileName` (a name, or a path in the directory
    // it belongs in).
    virtual TTestFileChoice ChooseTestFile(std::string& fileName) = 0;
    virtual void ShowError(const std::string& text) = 0;
    // Something the user should know that does not end the run.
    virtual void ShowWarning(const std::string& text) = 0;
    // The chosen drive has `freeBytes` available (-1: unknown), less than the file size;
    // the run lowers the file-size bar after this.
    virtual void ShowNotEnoughSpace(std::int64_t freeBytes) = 0;
    virtual void ReportFailure(const std::exception& error) = 0;

    virtual void SetCaption(const std::string& caption) = 0;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    virtual void SetPhaseColour(TPhaseColour colour) = 0;
    virtual void ProcessMessages() = 0;
    virtual void Pause(unsigned milliseconds) = 0;
    virtual void SetGaugeRange(std::int32_t maximum) = 0; // minimum 0, progress 0
    virtual void SetGaugeProgress(std::int32_t progress) = 0;
    virtual void ClearResults() = 0;
    virtual void AddResultRow(TResultList list, const TResultRow& row) = 0;
};

} // namespace orvane
