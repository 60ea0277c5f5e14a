// TKoHugeFile: a file of blocks over the Win32 file API, with 64-bit positions and an
// optional page-aligned transfer buffer with read-ahead. Every failure is an EKoHugeFile
// whose text names the class, the operation and the file.
#pragma once

#include "fileio/DateTime.h"
#include "fileio/Exception.h"
#include "platform/Win32.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace orvane {

// Help contexts of EKoHugeFile.
inline constexpr int hcWrapped = 1000;       // another exception, raised again
inline constexpr int hcOsError = 1001;       // a Win32 call failed with a code
inline constexpr int hcOsErrorNoCode = 1002; // a Win32 call failed, last error 0
inline constexpr int hcBlockSize = 1003;
inline constexpr int hcNotOpen = 1004;
inline constexpr int hcWriteInReadMode = 1006;
inline constexpr int hcReadInWriteMode = 1007;

class EKoHugeFile : public Exception {
public:
    using Exception::Exception;
};

enum TKoOpenResult : std::uint8_t { korOk = 0, korLocked = 1, korError = 2 };

// Bits of TKoOpenFlags.
enum : std::uint8_t {
    kofBuffered = 1 << 0,
    kofLockBuffer = 1 << 1, // with kofBuffered
    kofCloseOnEof = 1 << 2, // with kofBuffered, read side only
    kofCanCreate = 1 << 3,  // read side only
    kofCompress = 1 << 4,   // write side only
};
using TKoOpenFlags = std::uint8_t;

// The share mode that asks the object to derive sharing from its access: read sharing for
// GENERIC_READ alone, none otherwise.
inline constexpr DWORD ShareDerived = 0xFFFF;

// Compresses the open file through the file system's own attribute.
bool CompressFile(const std::string& fileName, HANDLE handle);

// A caller may derive from the class and replace its virtual operations; the block calls
// stay non-virtual so that their inline small-transfer path costs no indirect call.
class TKoHugeFile {
public:
    TKoHugeFile(const std::string& fileName, DWORD flagsAndAttributes, DWORD desiredAccess,
                DWORD shareMode);
    // Closes; a failure to do so is noted as a secondary error, never thrown.
    virtual ~TKoHugeFile();
    TKoHugeFile(const TKoHugeFile&) = delete;
    TKoHugeFile& operator=(const TKoHugeFile&) = delete;

    void Reset(std::int32_t blockSize);
    void Rewrite(std::int32_t blockSize);
    void ResetBuffered(std::int32_t blockSize, std::uint32_t bufferSize, bool lockBuffer);
    void RewriteBuffered(std::int32_t blockSize, std::uint32_t bufferSize, bool lockBuffer);
    // timeout and retryDelay in ms (0: one attempt); a signalled waitObject ends the retries.
    TKoOpenResult OpenRead(std::int32_t blockSize, std::uint32_t bufferSize, std::int32_t timeout,
                           std::int32_t retryDelay, TKoOpenFlags flags, HANDLE waitObject);
    TKoOpenResult OpenWrite(std::int32_t blockSize, std::uint32_t bufferSize, std::int32_t timeout,
                            std::int32_t retryDelay, TKoOpenFlags flags, HANDLE waitObject);
    void Close();
    bool IsOpen() const { return isOpenFlag; }

    // The common case of the benchmark, a small transfer with block size 1 that stays inside
    // the buffer, is served inline; everything else takes the full path.
    void BlockWrite(const void* source, std::uint32_t count, std::uint32_t& transferred) {
        if (blockSize == 1 && writeMode && buffered && count < bufferSize - bufferOffset &&
            (bufferOffset != 0 || position == bufferBase) && handle != INVALID_HANDLE_VALUE) {
            CopySmall(buffer + bufferOffset, static_cast<const std::uint8_t*>(source), count);
            bufferOffset += count;
            position = bufferBase + bufferOffset;
            transferred = count;
            cachedSize = -1;
            return;
        }
        BlockWriteFull(source, count, transferred);
    }
    void BlockRead(void* destination, std::uint32_t count, std::uint32_t& transferred) {
        if (blockSize == 1 && !writeMode && buffered && !closeOnEof &&
            count < dataLength - bufferOffset && handle != INVALID_HANDLE_VALUE) {
            CopySmall(static_cast<std::uint8_t*>(destination), buffer + bufferOffset, count);
            bufferOffset += count;
            position = bufferBase - dataLength + bufferOffset;
            transferred = count;
            return;
        }
        BlockReadFull(destination, count, transferred);
    }
    // Writes the buffer out and has the system put the file's data on the device.
    void Flush();
    void Seek(std::int64_t block);
    std::int64_t FilePos();
    std::int64_t FileSize();
    void Truncate();
    // The last-write time of the file by its name, and setting it through the handle.
    virtual TDateTime GetDate();
    virtual void SetDate(TDateTime value);

    // What the tests look at.
    std::uint32_t BufferSize() const { return bufferSize; }
    bool Buffered() const { return buffered; }
    bool ClosedAtEof() const { return closedAtEof; }
    DWORD LastError() const { return lastError; }
    // Whether the last open got a handle from the system: after a failed open, whether the
    // file was created (or emptied) before the failure.
    bool OpenGotHandle() const { return gotHandle; }
    const std::string& FileName() const { return fileName; }

protected:
    // In the order of their slots.
    virtual std::int64_t _FilePos();
    virtual std::int64_t _FileSize();
    virtual void _Seek(std::int64_t block, bool force);
    virtual TKoOpenResult AccessFile(std::int32_t newBlockSize, bool readSide, std::int32_t timeout,
                                     std::int32_t retryDelay, HANDLE waitObject);
    virtual void AllocBuffer();
    virtual void CheckHandle();
    virtual void Fetch(void* destination, std::uint32_t count, std::uint32_t& delivered);
    virtual bool FlushBuffer();
    virtual void FreeBuffer();
    virtual void InitReadBuffer();
    virtual void InitWriteBuffer();
    virtual bool IsBufferAtEof();
    virtual std::uint32_t RoundToPageSize(std::uint32_t bytes);
    virtual void Store(const void* source, std::uint32_t count, std::uint32_t& taken);
    virtual void VerifyOsCall(bool success, const char* operation);

private:
    static void CopySmall(std::uint8_t* target, const std::uint8_t* source, std::uint32_t count) {
        if (count <= 16) {
            for (std::uint32_t i = 0; i < count; ++i) { // cheaper than a call for a few bytes
                target[i] = source[i];
            }
        } else {
            std::memcpy(target, source, count);
        }
    }
    TKoOpenResult OpenSide(bool readSide, std::int32_t newBlockSize, std::uint32_t newBufferSize,
                           std::int32_t timeout, std::int32_t retryDelay, TKoOpenFlags flags,
                           HANDLE waitObject);
    void BlockWriteFull(const void* source, std::uint32_t count, std::uint32_t& transferred);
    void BlockReadFull(void* destination, std::uint32_t count, std::uint32_t& transferred);
    [[noreturn]] void Raise(const std::string& text, int helpContext) const;
    void CheckBlockSize(std::int32_t newBlockSize);
    // Gives the buffer back without writing it out, unlocking it only if it was locked.
    void DropBuffer();
    void SeekBytes(std::int64_t target, bool force, const char* operation);
    void EndOfFileStep(bool eofPendingBefore, std::uint32_t dataLengthBefore);
    template <typename Body> auto Wrapped(Body&& body) -> decltype(body());

    std::int32_t blockSize = 1;
    std::uint8_t* buffer = nullptr;
    bool buffered = false;
    std::uint32_t bufferSize = 0;
    std::int64_t bufferBase = 0;
    std::int64_t position = 0;
    std::uint32_t bufferOffset = 0;
    std::uint32_t dataLength = 0;
    bool writeMode = false;
    std::int64_t cachedSize = -1;
    bool canCreate = false;
    bool closeOnEof = false;
    bool eofPending = false;
    bool compress = false;
    DWORD desiredAccess;
    DWORD shareMode;
    bool sectorAligned;
    DWORD flagsAndAttributes;
    bool closedAtEof = false;
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool isOpenFlag = false;
    std::int64_t savedSize = 0;
    bool lockBuffer = false;
    bool bufferLocked = false; // VirtualLock succeeded on the current buffer
    std::string fileName;
    bool openedForRead = false;
    DWORD lastError = 0;
    bool gotHandle = false;
};

// The system's text for a Win32 code, without trailing blanks, line breaks and full stops.
std::string SystemErrorText(DWORD code);

} // namespace orvane
