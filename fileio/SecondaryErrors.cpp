// The per-thread list of secondary errors.
#include "fileio/SecondaryErrors.h"

#include <utility>

namespace orvane {

namespace {
thread_local std::vector<std::string> secondaryErrors;
} // namespace

void NoteSecondaryError(const std::string& message) {
    secondaryErrors.push_back(message);
}

std::vector<std::string> TakeSecondaryErrors() {
    return std::exchange(secondaryErrors, {});
}

} // namespace orvane
