// The device's ceiling: one write and one read of the test file's size by direct I/O in
// 1 MiB transfers, past the page cache and every file layer, the write ending only when its
// data is on the device. What the layers reach in a run can be judged against it.
#pragma once

#include "fileio/Exception.h"
#include "platform/DirectIo.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvane {

class TRunHost;

inline constexpr std::uint32_t CeilingTransferBytes = 1048576;

struct TCeiling {
    double WriteKiBPerSecond = 0; // 0 when the clock did not advance
    double ReadKiBPerSecond = 0;
    platform::TDirectAlignment Alignment; // what the buffer and the transfers were aligned to
};

// Direct I/O can't measure a device here; the text says why in plain words ("tmpfs keeps
// its files in memory ..."), so that the run can go on without a ceiling.
class ECeilingRefused : public Exception {
public:
    using Exception::Exception;
};

// Measures the ceiling on a new test file named `fileName`, of the host's file size, which
// is made, checked and deleted as an iteration's file is. The file system is settled before
// each pass; the write pass ends after the flush. The host sees the settles and one message
// point between the passes; none when Stop is taken in there or in a pass. Raises
// ECeilingRefused where direct I/O is refused or can't be aligned, ETestFileReplaced when
// the name no longer names the file, and an Exception naming the failed call otherwise.
std::optional<TCeiling> MeasureCeiling(TRunHost& host, const std::string& fileName);

} // namespace orvane
