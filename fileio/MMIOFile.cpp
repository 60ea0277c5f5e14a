// TMMIOFile over mmioOpenA, mmioSetBuffer, mmioSeek, mmioRead, mmioWrite and mmioClose.
#include "fileio/MMIOFile.h"

#include "fileio/SecondaryErrors.h"
#include "platform/Measuring.h"

#include <cstdio>
#include <cstring>

namespace orvane {

namespace {

const char* const CannotAllocateText = "Could not allocate new buffer size.";
const char* const CannotWriteText = "Could not write buffer to disk.";
const char* const CannotFlushText = "Could not flush the file to the device.";
const char* const NoFileNameText = "No file name was given before the file was opened.";

const char* OpenErrorText(UINT code) {
    switch (code) {
    case MMIOERR_PATHNOTFOUND:
        return "Path not found - invalid location.";
    case MMIOERR_ACCESSDENIED:
        return "Access denied - this file is protected.";
    case MMIOERR_SHARINGVIOLATION:
        return "Sharing violation - file is in use.";
    case MMIOERR_NETWORKERROR:
        return "Network error - request failed.";
    case MMIOERR_TOOMANYOPENFILES:
        return "Too many open files - no more handles.";
    case MMIOERR_INVALIDFILE:
        return "Invalid file - could not be opened.";
    default:
        return nullptr;
    }
}

std::string OtherOpenErrorText(UINT code) {
    char text[96];
    if (code == MMIOERR_FILENOTFOUND) {
        std::snprintf(text, sizeof text, "File not found - could not be opened (mmio error %u).",
                      code);
    } else {
        std::snprintf(text, sizeof text, "The file could not be opened (mmio error %u).", code);
    }
    return text;
}

} // namespace

TMMIOFile::~TMMIOFile() {
    if (!FOpened) {
        return;
    }
    try {
        Close();
    } catch (const std::exception& error) {
        NoteSecondaryError(error.what());
    }
}

void TMMIOFile::SetFileName(const std::string& fileName) {
    if (!FInfo) {
        FInfo = std::make_unique<MMIOINFO>();
    }
    std::memset(FInfo.get(), 0, sizeof(MMIOINFO));
    FFileName = std::make_unique<char[]>(fileName.size() + 1);
    std::memcpy(FFileName.get(), fileName.c_str(), fileName.size() + 1);
    FAccessMode = maReadWrite;
    FShareMode = msExclusive;
    FBuffered = true;
}

void TMMIOFile::SetMode(bool buffered, TMmioAccess access, TMmioShare share) {
    FBuffered = buffered;
    FAccessMode = access;
    FShareMode = share;
}

void TMMIOFile::BuildOpenFlags() {
    if (FBuffered) {
        FOpenFlags |= MMIO_ALLOCBUF;
    }
    switch (FAccessMode) {
    case maRead:
        FOpenFlags |= MMIO_READ;
        break;
    case maWrite:
        FOpenFlags |= MMIO_WRITE;
        break;
    case maReadWrite:
        FOpenFlags |= MMIO_READWRITE;
        break;
    }
    switch (FShareMode) {
    case msCompat:
        FOpenFlags |= MMIO_COMPAT;
        break;
    case msExclusive:
        FOpenFlags |= MMIO_EXCLUSIVE;
        break;
    case msDenyWrite:
        FOpenFlags |= MMIO_DENYWRITE;
        break;
    case msDenyRead:
        FOpenFlags |= MMIO_DENYREAD;
        break;
    case msDenyNone:
        FOpenFlags |= MMIO_DENYNONE;
        break;
    }
}

void TMMIOFile::Open(std::uint32_t preset) {
    if (!FInfo || !FFileName) {
        throw EMMIOError(NoFileNameText);
    }
    if (FOpened) {
        Close();
    }
    FOpenFlags = preset;
    BuildOpenFlags();
    FHandle = mmioOpenA(FFileName.get(), FInfo.get(), FOpenFlags);
    CheckOpened();
}

void TMMIOFile::CreateNew() {
    Open(MMIO_CREATE);
}

void TMMIOFile::OpenExisting() {
    Open(0);
}

void TMMIOFile::CheckOpened() {
    if (FHandle != nullptr) {
        FOpened = true;
        return;
    }
    const UINT code = FInfo->wErrorRet;
    if (const char* text = OpenErrorText(code)) {
        throw EMMIOError(text);
    }
    // Every other code too: a pass must never "measure" a file that was not opened.
    throw EMMIOError(OtherOpenErrorText(code));
}

void TMMIOFile::SetBufferSize(std::int32_t size) {
    if (!FOpened) {
        return;
    }
    const MMRESULT result = mmioSetBuffer(FHandle, nullptr, size, 0);
    if (result == MMIOERR_OUTOFMEMORY) {
        throw EMMIOError(CannotAllocateText);
    }
    if (result == MMIOERR_CANNOTWRITE) {
        throw EMMIOError(CannotWriteText);
    }
}

std::int32_t TMMIOFile::Seek(std::int32_t offset) {
    return FOpened ? mmioSeek(FHandle, offset, SEEK_SET) : -1;
}

std::int32_t TMMIOFile::Read(void* buffer, std::int32_t count) {
    return FOpened ? mmioRead(FHandle, static_cast<HPSTR>(buffer), count) : -1;
}

std::int32_t TMMIOFile::Write(const void* buffer, std::int32_t count) {
    return FOpened ? mmioWrite(FHandle, static_cast<const char*>(buffer), count) : -1;
}

void TMMIOFile::FlushToDevice() {
    if (!FOpened) {
        return;
    }
    if (mmioFlush(FHandle, 0) != MMSYSERR_NOERROR) {
        throw EMMIOError(CannotWriteText);
    }
    if (FlushFileBuffers(platform::MmioFileHandle(FHandle)) == 0) {
        throw EMMIOError(std::string(CannotFlushText) + " (" + std::to_string(GetLastError()) +
                         ")");
    }
}

void TMMIOFile::Close() {
    if (!FOpened) {
        return;
    }
    const MMRESULT result = mmioClose(FHandle, 0);
    FHandle = nullptr;
    FOpened = false;
    if (result == MMIOERR_CANNOTWRITE) {
        throw EMMIOError(CannotWriteText);
    }
}

} // namespace orvane
