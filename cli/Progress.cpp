// The progress line.
#include "cli/Progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

namespace orvane::cli {

namespace {

constexpr auto RedrawInterval = std::chrono::milliseconds(100);

} // namespace

std::string FormatClock(double seconds) {
    const auto whole = static_cast<long long>(std::llround(std::max(seconds, 0.0)));
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

TProgressLine::TProgressLine(std::ostream& out, TClock clock)
    : FOut(out), FClock(std::move(clock)) {}

void TProgressLine::Start(int totalPasses, bool atMost) {
    FTotal = totalPasses;
    FAtMost = atMost;
    FNoun = "pass";
    FPhases = 1;
    FPhase = 0;
    FPass = 0;
    FStart = FClock();
}

void TProgressLine::PassBegins(const std::string& chunkLabel, const char* pass) {
    ++FPass;
    FPercent = 0;
    FChunk = chunkLabel;
    FKind = pass;
    Draw(false);
}

void TProgressLine::StartCells(int totalCells, bool atMost) {
    Start(totalCells, atMost);
    FNoun = "cell";
    FPhases = 2;
}

void TProgressLine::CellBegins(const std::string& cellName) {
    FPhase = -1; // its write pass comes next
    PassBegins(cellName, "");
}

void TProgressLine::PhaseBegins(const char* pass) {
    FPhase = std::min(FPhase + 1, FPhases - 1);
    FPercent = 0;
    FKind = pass;
    Draw(false);
}

void TProgressLine::Percent(int percent) {
    FPercent = percent;
    Draw(false);
}

void TProgressLine::Clear() {
    if (FDrawn) {
        FOut << "\r\033[K" << std::flush;
        FDrawn = false;
    }
}

std::string TProgressLine::Text() const {
    const double elapsed = std::chrono::duration<double>(FClock() - FStart).count();
    std::string text = FNoun + (" " + std::to_string(FPass)) + (FAtMost ? " of at most " : " of ") +
                       std::to_string(FTotal) + ": " + FChunk + " " + FKind + " " +
                       std::to_string(FPercent) + "%, " + FormatClock(elapsed) + " so far";
    // The passes done (the current one by its share) give the time a pass takes.
    const double done =
        (FPass - 1) + (std::max(FPhase, 0) + FPercent / 100.0) / static_cast<double>(FPhases);
    if (FPass > 1 && done > 0) {
        text += (FAtMost ? ", at most about " : ", about ") +
                FormatClock(elapsed / done * (FTotal - done)) + " left";
    }
    return text;
}

void TProgressLine::Draw(bool force) {
    const TPassClock::time_point now = FClock();
    if (!force && FDrawn && now - FLastDraw < RedrawInterval) {
        return;
    }
    FLastDraw = now;
    FDrawn = true;
    FOut << "\r\033[K" << Text() << std::flush;
}

} // namespace orvane::cli
