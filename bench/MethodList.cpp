// The list of access methods.
#include "bench/Methods.h"

#include "fileio/Exception.h"

#include <iterator>

namespace orvane {

// Each method's table, in a file of its own.
extern const TMethodOps FileMethodOps;
extern const TMethodOps MmioMethodOps;
extern const TMethodOps Win32MethodOps;

namespace {

const TMethodOps* const MethodList[] = {
    &FileMethodOps,
    &MmioMethodOps,
    &Win32MethodOps,
};

} // namespace

std::span<const TMethodOps* const> Methods() {
    return MethodList;
}

const TMethodOps& MethodOps(TAccessMethod method) {
    const auto index = static_cast<std::size_t>(method);
    if (index >= std::size(MethodList)) {
        throw Exception("Unknown access method " + std::to_string(index));
    }
    return *MethodList[index];
}

} // namespace orvane
