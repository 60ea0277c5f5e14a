// The source of a pass at the edges of its bounds: 90 % and 10 % of the file on the device,
// 1 % cached at a read's start, unknown counters, and sizes where a product would overflow.
#include "bench/PassSource.h"

#include <gtest/gtest.h>
#include <limits>

namespace orvane {
namespace {

constexpr std::optional<std::uint64_t> None = std::nullopt;

TEST(PassSource, FromTheProofAndTheFileSize) {
    struct Case {
        TResultList pass;
        std::optional<std::uint64_t> device;
        std::optional<std::uint64_t> cached;
        std::uint64_t file;
        const char* source;
    };
    constexpr std::uint64_t Huge = std::numeric_limits<std::uint64_t>::max();
    const Case cases[] = {
        {TResultList::Write, None, None, 1000, "unknown"},
        {TResultList::Write, 900, None, 1000, "device"},
        {TResultList::Write, 899, None, 1000, "mixed"},
        {TResultList::Write, 100, None, 1000, "mixed"},
        {TResultList::Write, 99, None, 1000, "page cache"},
        {TResultList::Write, 0, None, 1000, "page cache"},
        // Other writers on the device count too; they don't make a pass less the device's.
        {TResultList::Write, 5000, None, 1000, "device"},
        // 90 % of 1001 is 900.9 and 10 % is 100.1.
        {TResultList::Write, 901, None, 1001, "device"},
        {TResultList::Write, 900, None, 1001, "mixed"},
        {TResultList::Write, 100, None, 1001, "page cache"},
        {TResultList::Write, 101, None, 1001, "mixed"},
        {TResultList::Write, Huge, None, Huge - 1, "device"},
        {TResultList::Write, Huge / 10 * 9, None, Huge, "mixed"},
        {TResultList::Write, 7, None, 0, "unknown"},
        // A write's cached bytes don't count; a read's do, above 1 %.
        {TResultList::Write, 1000, 1000, 1000, "device"},
        {TResultList::Read, 1000, 10, 1000, "device"},
        {TResultList::Read, 1000, 11, 1000, "mixed"},
        {TResultList::Read, 1000, None, 1000, "device"},
        {TResultList::Read, 0, 1000, 1000, "page cache"},
        {TResultList::Read, 50, 0, 1000, "page cache"},
        {TResultList::Read, None, 0, 1000, "unknown"},
    };
    for (const Case& c : cases) {
        TResultRow row;
        row.Pass = c.pass;
        row.Proof.DeviceBytes = c.device;
        row.Proof.CachedBytesAtStart = c.cached;
        const std::string_view source = PassSourceName(SourceOfPass(c.pass, row.Proof, c.file));
        EXPECT_EQ(source, c.source)
            << (c.pass == TResultList::Write ? "write " : "read ") << c.device.value_or(0) << "/"
            << c.file << " cached " << c.cached.value_or(0);
    }
    TResultRow row;
    row.Pass = TResultList::Read;
    row.FileBytes = 1000;
    row.Proof.DeviceBytes = 950;
    row.Proof.CachedBytesAtStart = 500;
    EXPECT_EQ(SourceOfPass(row), TPassSource::Mixed);
}

} // namespace
} // namespace orvane
