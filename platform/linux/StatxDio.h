// The direct-I/O alignment fields of struct statx, which a C library older than the kernel
// may leave out of its struct: read and written at the offsets the kernel's ABI fixes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <sys/stat.h>

#ifdef STATX_DIOALIGN
#define ORVANE_STATX_DIO_FIELDS 1
#else
#define ORVANE_STATX_DIO_FIELDS 0
#define STATX_DIOALIGN 0x00002000U
#endif

namespace orvane::platform {

// Where <linux/stat.h> puts stx_dio_mem_align and stx_dio_offset_align.
inline constexpr std::size_t StatxDioMemoryOffset = 0x98;
inline constexpr std::size_t StatxDioOffsetOffset = 0x9c;
static_assert(sizeof(struct statx) >= StatxDioOffsetOffset + sizeof(std::uint32_t));
#if ORVANE_STATX_DIO_FIELDS
static_assert(offsetof(struct statx, stx_dio_mem_align) == StatxDioMemoryOffset);
static_assert(offsetof(struct statx, stx_dio_offset_align) == StatxDioOffsetOffset);
#endif

inline std::uint32_t StatxField(const struct statx& info, std::size_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(&info) + offset, sizeof value);
    return value;
}

inline void SetStatxField(struct statx& info, std::size_t offset, std::uint32_t value) {
    std::memcpy(reinterpret_cast<unsigned char*>(&info) + offset, &value, sizeof value);
}

} // namespace orvane::platform
