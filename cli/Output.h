// Where the command line's text goes: standard output or a file named by an option, so that
// no result is lost silently and an existing file is replaced only by a complete one.
#pragma once

#include "bench/BenchmarkRun.h"

#include <functional>
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <vector>

namespace orvane::cli {

// Writes `text` to `path` (through the one safe writer) or, where `path` is empty, to `out`;
// empty on success, else a line for the user naming where it could not go and why.
std::string Deliver(const std::string& text, const std::string& path, std::ostream& out,
                    const char* what = "the results");

// Empty when `path` can take a file after a run, else the line for the user: checked before
// a long run, so that it does not end in results that can't be kept.
std::string DeliveryProblem(const std::string& path, const char* what = "the results");

// A path the user named for an output (empty where not asked) and what it would hold.
struct TOutputTarget {
    const std::string& Path;
    const char* What;
};

// Every asked output checked by DeliveryProblem before the work starts; the first that can't
// take a file is said on `err`: false.
bool OutputsDeliverable(std::initializer_list<TOutputTarget> outputs, std::ostream& err);

// Where `--chart` and `--output` are both given and name one file, says so on `err`: true.
bool OutputsCoincide(const std::string& output, const std::string& chart, std::ostream& err);

// How a run or a matrix ends on the command line: what it measured goes out by `deliver`
// (given the exit code it ends with where the delivery succeeds) where it completed, was
// stopped by `stopSignal`, or failed after measuring something (`measured`); then the
// `warnings` that follow the results. The exit code.
int Conclude(TRunOutcome outcome, bool measured, int stopSignal,
             const std::function<int(int code)>& deliver, const std::vector<std::string>& warnings,
             std::ostream& err);

} // namespace orvane::cli
