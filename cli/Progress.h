// The progress line on a terminal: which pass of how many (or of at most how many), the
// pass's percentage, the time so far and an estimate of the time left from the passes done.
// A matrix counts cells instead, each with a write and a read pass. Redrawn in place at most
// ten times a second.
#pragma once

#include "bench/Clock.h"

#include <functional>
#include <iosfwd>
#include <string>

namespace orvane::cli {

class TProgressLine {
public:
    using TClock = std::function<TPassClock::time_point()>;

    explicit TProgressLine(
        std::ostream& out, TClock clock = [] { return TPassClock::now(); });

    // `atMost`: the run may end before `totalPasses`.
    void Start(int totalPasses, bool atMost = false);
    void PassBegins(const std::string& chunkLabel, const char* pass);
    // A matrix: `totalCells` cells, each counted once as it begins, its passes phases of it.
    void StartCells(int totalCells, bool atMost);
    void CellBegins(const std::string& cellName);
    void PhaseBegins(const char* pass);
    void Percent(int percent);
    // Removes the line.
    void Clear();

    // The line as it would be drawn now, without the terminal's control characters.
    std::string Text() const;

private:
    void Draw(bool force);

    std::ostream& FOut;
    TClock FClock;
    TPassClock::time_point FStart{};
    TPassClock::time_point FLastDraw{};
    bool FDrawn = false;
    int FTotal = 0;
    bool FAtMost = false;
    const char* FNoun = "pass";
    int FPhases = 1; // passes in what is counted
    int FPhase = 0;  // the current pass within it, from 0
    int FPass = 0;   // 1-based, 0 before the first pass (or cell)
    int FPercent = 0;
    std::string FChunk;
    const char* FKind = "";
};

// "m:ss", or "h:mm:ss" from an hour on.
std::string FormatClock(double seconds);

} // namespace orvane::cli
