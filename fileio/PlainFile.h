// The plain untyped file: free operations on a caller-owned record, one Win32 call per
// transfer, no buffer. Failures are stored in the calling thread's LastIoError; CheckIO
// turns a stored code into an EInOutError with the runtime's German message.
#pragma once

#include "fileio/Exception.h"
#include "platform/Win32.h"

#include <cstdint>
#include <string>

namespace orvane {

inline constexpr std::uint16_t psClosed = 0xD7B0;
inline constexpr std::uint16_t psReadOnly = 0xD7B1;
inline constexpr std::uint16_t psWriteOnly = 0xD7B2;
inline constexpr std::uint16_t psReadWrite = 0xD7B3;

struct TPlainFileRec {
    HANDLE Handle;
    std::uint16_t State; // any value but the four above: never assigned
    std::uint32_t RecordSize;
    char FileName[260]; // NUL-terminated
};

// Bits 0-1: access for Reset (0 read, 1 write, 2 and 3 read-write); bits 4-6: sharing.
// One process-wide setting, read when Reset or Rewrite runs; the layer never changes it.
inline std::uint8_t FileMode = 2;

// The calling thread's I/O result: 0, or the code of the last failure.
inline thread_local std::int32_t LastIoError = 0;

inline constexpr std::int32_t ioReadPastEnd = 100; // short read without a count
inline constexpr std::int32_t ioWriteShort = 101;  // short write without a count
inline constexpr std::int32_t ioNotAssigned = 102; // the record was never assigned
inline constexpr std::int32_t ioNotOpen = 103;     // not open, or not for this direction

class EInOutError : public Exception {
public:
    EInOutError(std::string message, std::int32_t ioCode)
        : Exception(std::move(message)), IoCode(ioCode) {}
    std::int32_t IoCode;
};

// Binds the record to a name, closed. A name that does not fit the record (more than 259
// bytes, or with a NUL inside) is not cut: the record keeps no name and opens nothing.
void Assign(TPlainFileRec& file, const std::string& name);
// Creates the file or empties it, read-write, with the share bits of FileMode.
void Rewrite(TPlainFileRec& file, std::uint32_t recordSize);
// Opens an existing file with the access and share bits of FileMode.
void Reset(TPlainFileRec& file, std::uint32_t recordSize);
// Moves the file pointer to record `position`; 64-bit byte offsets work.
void Seek(TPlainFileRec& file, std::uint32_t position);
// One WriteFile or ReadFile of count records. With `transferred`, a short transfer stores
// the records done there and is no error; without, it stores 101 or 100.
void BlockWrite(TPlainFileRec& file, const void* buffer, std::uint32_t count,
                std::int32_t& transferred);
void BlockWrite(TPlainFileRec& file, const void* buffer, std::uint32_t count);
void BlockRead(TPlainFileRec& file, void* buffer, std::uint32_t count, std::int32_t& transferred);
void BlockRead(TPlainFileRec& file, void* buffer, std::uint32_t count);
void Close(TPlainFileRec& file);

// Raises EInOutError for a stored code (clearing it); what every call after a block pays
// is the one compare here.
[[noreturn]] void RaiseIoError();
inline void CheckIO() {
    if (LastIoError != 0) [[unlikely]] {
        RaiseIoError();
    }
}
// Returns this thread's LastIoError and clears it, without raising.
std::int32_t TakeLastIoError();

// The message CheckIO gives a code.
std::string IoErrorMessage(std::int32_t code);

} // namespace orvane
