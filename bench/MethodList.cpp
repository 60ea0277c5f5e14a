// The list of access methods.
#include "bench/Methods.h"

#include "fileio/Exception.h"

#include <array>

namespace orvane {

namespace {

const std::array<const TMethodOps*, 3> MethodList = {
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
    if (index >= MethodList.size()) {
        throw Exception("Unknown access method " + std::to_string(index));
    }
    return *MethodList[index];
}

} // namespace orvane
