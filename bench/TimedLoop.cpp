// The error of a pass that moved fewer bytes than asked.
#include "bench/TimedLoop.h"

namespace orvane {

void ThrowShortTransfer(TPassKind pass, const std::string& chunkLabel, std::uint64_t moved,
                        std::uint64_t wanted) {
    if (pass == TPassKind::Prepare) {
        throw EShortTransfer("The preparation with chunk size " + chunkLabel +
                             " could not extend the test file to " + std::to_string(wanted) +
                             " bytes");
    }
    throw EShortTransfer(
        std::string(pass == TPassKind::Write ? "The write pass" : "The read pass") +
        " with chunk size " + chunkLabel + " moved only " + std::to_string(moved) + " of " +
        std::to_string(wanted) + " bytes");
}

} // namespace orvane
