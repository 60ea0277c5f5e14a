// TMMIOFile: a thin object over the mmio functions. It composes the open flags from its
// three mode settings, forwards reads, writes and seeks unchanged, and raises EMMIOError
// with an English message for the open, buffer and close failures it knows.
#pragma once

#include "fileio/Exception.h"
#include "platform/Win32.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvane {

enum TMmioAccess : std::uint8_t { maRead = 0, maWrite = 1, maReadWrite = 2 };
enum TMmioShare : std::uint8_t {
    msCompat = 0,
    msExclusive = 1,
    msDenyWrite = 2,
    msDenyRead = 3,
    msDenyNone = 4
};

class EMMIOError : public Exception {
public:
    using Exception::Exception;
};

class TMMIOFile {
public:
    TMMIOFile() = default;
    // Closes an open file. A failing close is noted as a secondary error, never thrown.
    ~TMMIOFile();
    TMMIOFile(const TMMIOFile&) = delete;
    TMMIOFile& operator=(const TMMIOFile&) = delete;

    // Prepares the info record (one for the object's life, zeroed again each call) and a
    // copy of the name; the mode goes back to read-write, exclusive, buffered.
    void SetFileName(const std::string& fileName);
    void SetMode(bool buffered, TMmioAccess access, TMmioShare share);
    // Gives the open file an mmio buffer of `size` bytes; nothing when no file is open.
    void SetBufferSize(std::int32_t size);
    // Creates the file (or empties it) and opens it; an open file is closed first.
    void CreateNew();
    void OpenExisting();
    // Forwarded to mmio unchanged; -1 when no file is open.
    std::int32_t Seek(std::int32_t offset);
    std::int32_t Read(void* buffer, std::int32_t count);
    std::int32_t Write(const void* buffer, std::int32_t count);
    // Writes mmio's buffer out and has the system put the file's data on the device.
    void FlushToDevice();
    // The object is closed afterwards whatever mmio says.
    void Close();

    bool Opened() const { return FOpened; }
    TMmioAccess AccessMode() const { return FAccessMode; }
    TMmioShare ShareMode() const { return FShareMode; }
    bool Buffered() const { return FBuffered; }
    const MMIOINFO* Info() const { return FInfo.get(); }

private:
    void Open(std::uint32_t preset);
    void BuildOpenFlags();
    void CheckOpened();

    HMMIO FHandle = nullptr;
    std::unique_ptr<MMIOINFO> FInfo;
    TMmioAccess FAccessMode = maRead;
    TMmioShare FShareMode = msCompat;
    bool FBuffered = false;
    bool FOpened = false;
    std::uint32_t FOpenFlags = 0;
    std::unique_ptr<char[]> FFileName;
};

} // namespace orvane
