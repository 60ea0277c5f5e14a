// TKoHugeFile: opening with retries, the page buffer, buffered and direct transfers,
// 64-bit positioning, and closing the handle once buffered reading reaches the end.
#include "fileio/KoHugeF.h"

#include "fileio/SecondaryErrors.h"

#include <algorithm>
#include <cstring>

namespace orvane {

namespace {

constexpr std::uint32_t DefaultBufferSize = 65536;
const char* const SystemErrorFormatTail = "Systemfehler.  Code: ";
const char* const NoCodeTail = "Ein Aufruf einer Betriebssystemfunktion ist fehlgeschlagen";

bool IsLockError(DWORD code) {
    return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
}

std::uint64_t Combine(DWORD high, DWORD low) {
    return (std::uint64_t{high} << 32) | low;
}

} // namespace

std::string SystemErrorText(DWORD code) {
    char text[257] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                            FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                        nullptr, code, 0, text, 256, nullptr);
    std::string result(text, length);
    while (!result.empty() &&
           (static_cast<unsigned char>(result.back()) < '!' || result.back() == '.')) {
        result.pop_back();
    }
    return result;
}

bool CompressFile(const std::string& fileName, HANDLE handle) {
    // A failed attribute query is a failure, not "compressed already": the open must not
    // succeed on a volume that may not compress at all.
    const DWORD attributes = GetFileAttributesA(fileName.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_COMPRESSED) != 0) {
        return true;
    }
    WORD format = COMPRESSION_FORMAT_DEFAULT;
    DWORD returned = 0;
    return DeviceIoControl(handle, FSCTL_SET_COMPRESSION, &format, sizeof format, nullptr, 0,
                           &returned, nullptr) != 0;
}

TKoHugeFile::TKoHugeFile(const std::string& name, DWORD flags, DWORD access, DWORD share)
    : desiredAccess(access), shareMode(share), sectorAligned((flags & FILE_FLAG_NO_BUFFERING) != 0),
      flagsAndAttributes(flags), fileName(name) {}

TKoHugeFile::~TKoHugeFile() {
    try {
        Close();
    } catch (const std::exception& error) {
        NoteSecondaryError(error.what()); // the object is closed all the same
    }
}

void TKoHugeFile::Raise(const std::string& text, int helpContext) const {
    throw EKoHugeFile(text, helpContext);
}

template <typename Body> auto TKoHugeFile::Wrapped(Body&& body) -> decltype(body()) {
    try {
        return body();
    } catch (const EKoHugeFile&) {
        throw;
    } catch (const std::exception& error) {
        throw EKoHugeFile(error.what(), hcWrapped);
    }
}

// --- Errors ---------------------------------------------------------------------------

void TKoHugeFile::CheckBlockSize(std::int32_t newBlockSize) {
    if (newBlockSize < 1) {
        Raise("TKoHugeFile(" + fileName + "):BlockSize must be greater than zero!", hcBlockSize);
    }
}

void TKoHugeFile::CheckHandle() {
    if (handle == INVALID_HANDLE_VALUE) {
        Raise("TKoHugeFile(" + fileName + "):File not open!", hcNotOpen);
    }
}

void TKoHugeFile::VerifyOsCall(bool success, const char* operation) {
    if (success) {
        return;
    }
    lastError = GetLastError();
    const std::string head =
        std::string("TKoHugeFile.") + operation + "(" + fileName + ") failed. ";
    if (lastError != 0) {
        Raise(head + SystemErrorFormatTail + std::to_string(lastError) + ".\r\n" +
                  SystemErrorText(lastError),
              hcOsError);
    }
    Raise(head + NoCodeTail, hcOsErrorNoCode);
}

// --- Opening and closing --------------------------------------------------------------

void TKoHugeFile::Reset(std::int32_t newBlockSize) {
    VerifyOsCall(OpenRead(newBlockSize, 0, 0, 0, kofBuffered, nullptr) == korOk, "Reset");
}

void TKoHugeFile::Rewrite(std::int32_t newBlockSize) {
    VerifyOsCall(OpenWrite(newBlockSize, 0, 0, 0, kofBuffered, nullptr) == korOk, "Rewrite");
}

void TKoHugeFile::ResetBuffered(std::int32_t newBlockSize, std::uint32_t newBufferSize, bool lock) {
    const TKoOpenFlags flags = kofBuffered | (lock ? kofLockBuffer : 0);
    VerifyOsCall(OpenRead(newBlockSize, newBufferSize, 0, 0, flags, nullptr) == korOk,
                 "ResetBuffered");
}

void TKoHugeFile::RewriteBuffered(std::int32_t newBlockSize, std::uint32_t newBufferSize,
                                  bool lock) {
    const TKoOpenFlags flags = kofBuffered | (lock ? kofLockBuffer : 0);
    VerifyOsCall(OpenWrite(newBlockSize, newBufferSize, 0, 0, flags, nullptr) == korOk,
                 "RewriteBuffered");
}

TKoOpenResult TKoHugeFile::OpenRead(std::int32_t newBlockSize, std::uint32_t newBufferSize,
                                    std::int32_t timeout, std::int32_t retryDelay,
                                    TKoOpenFlags flags, HANDLE waitObject) {
    return OpenSide(true, newBlockSize, newBufferSize, timeout, retryDelay, flags, waitObject);
}

TKoOpenResult TKoHugeFile::OpenWrite(std::int32_t newBlockSize, std::uint32_t newBufferSize,
                                     std::int32_t timeout, std::int32_t retryDelay,
                                     TKoOpenFlags flags, HANDLE waitObject) {
    return OpenSide(false, newBlockSize, newBufferSize, timeout, retryDelay, flags, waitObject);
}

// The two sides differ in what a reopen does to the contents (kept or emptied), in which
// flags they take, and in the buffer mode they start in.
TKoOpenResult TKoHugeFile::OpenSide(bool readSide, std::int32_t newBlockSize,
                                    std::uint32_t newBufferSize, std::int32_t timeout,
                                    std::int32_t retryDelay, TKoOpenFlags flags,
                                    HANDLE waitObject) {
    lastError = 0;
    // Anything that goes wrong half-way closes the object: it is never "ok" half-opened.
    try {
        // Checked before anything is done to an open file, as a first open checks it
        // before the file is touched.
        CheckBlockSize(newBlockSize);
        // A size learnt under an earlier opening (or block size) says nothing about now.
        cachedSize = -1;
        if (closeOnEof && IsOpen()) {
            Close(); // an opening that may have lost its handle starts from scratch
        }
        const bool reopen = IsOpen();
        if (reopen) {
            if (!openedForRead) {
                SetLastError(0);
                VerifyOsCall(FlushBuffer(), "FlushBuffer");
            }
            buffered = false;
            Seek(0);
            if (!readSide) {
                Truncate();
            }
            FreeBuffer();
        }
        buffered = (flags & kofBuffered) != 0;
        if (readSide) {
            closeOnEof = buffered && (flags & kofCloseOnEof) != 0;
            canCreate = (flags & kofCanCreate) != 0;
        } else {
            compress = (flags & kofCompress) != 0;
        }
        if (buffered) {
            bufferSize = newBufferSize;
            lockBuffer = (flags & kofLockBuffer) != 0;
        }
        TKoOpenResult result = korOk;
        if (reopen) {
            blockSize = newBlockSize;
            cachedSize = -1;
            AllocBuffer();
        } else {
            result = AccessFile(newBlockSize, readSide, timeout, retryDelay, waitObject);
        }
        if (result != korOk) {
            Close();
            return result;
        }
        if (buffered) {
            readSide ? InitReadBuffer() : InitWriteBuffer();
        }
        position = 0;
        openedForRead = readSide;
        closedAtEof = false;
        return result;
    } catch (...) {
        try {
            Close();
        } catch (const std::exception& error) {
            NoteSecondaryError(error.what());
        }
        throw;
    }
}

TKoOpenResult TKoHugeFile::AccessFile(std::int32_t newBlockSize, bool readSide,
                                      std::int32_t timeout, std::int32_t retryDelay,
                                      HANDLE waitObject) {
    CheckBlockSize(newBlockSize);
    blockSize = newBlockSize;
    const ULONGLONG start = GetTickCount();
    const auto timedOut = [&] {
        ULONGLONG now = GetTickCount();
        if (start > now) {
            now += 0x100000000ULL; // the 32-bit tick count wrapped
        }
        // A period of 0 or less: one attempt.
        return timeout <= 0 || static_cast<std::int64_t>(now - start) > timeout;
    };
    gotHandle = false;
    const DWORD disposition = !readSide ? CREATE_ALWAYS : (canCreate ? OPEN_ALWAYS : OPEN_EXISTING);
    const DWORD share = shareMode != ShareDerived
                            ? shareMode
                            : (desiredAccess == GENERIC_READ ? FILE_SHARE_READ : 0);
    bool giveUp = false;
    do {
        SetLastError(0);
        lastError = 0;
        handle = CreateFileA(fileName.c_str(), desiredAccess, share, nullptr, disposition,
                             flagsAndAttributes, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            lastError = 0;
            isOpenFlag = true;
            gotHandle = true;
            break;
        }
        lastError = GetLastError();
        if (IsLockError(lastError) && retryDelay > 0 && !timedOut()) {
            if (waitObject != nullptr) {
                giveUp =
                    WaitForSingleObject(waitObject, static_cast<DWORD>(retryDelay)) != WAIT_TIMEOUT;
            } else {
                Sleep(static_cast<DWORD>(retryDelay));
            }
        }
    } while (IsLockError(lastError) && !timedOut() && !giveUp);

    if (handle != INVALID_HANDLE_VALUE && compress && !CompressFile(fileName, handle)) {
        lastError = GetLastError();
    }
    if (lastError == 0) {
        AllocBuffer();
        return korOk;
    }
    return IsLockError(lastError) ? korLocked : korError;
}

std::uint32_t TKoHugeFile::RoundToPageSize(std::uint32_t bytes) {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    const std::uint32_t page = info.dwPageSize;
    return ((bytes - 1) / page + 1) * page;
}

void TKoHugeFile::AllocBuffer() {
    FreeBuffer();
    if (bufferSize == 0) {
        bufferSize = DefaultBufferSize;
    }
    bufferSize = RoundToPageSize(bufferSize);
    SetLastError(0);
    buffer = static_cast<std::uint8_t*>(
        VirtualAlloc(nullptr, bufferSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    VerifyOsCall(buffer != nullptr, "AllocBuffer");
    bufferLocked = false;
    if (lockBuffer) {
        SetLastError(0);
        if (VirtualLock(buffer, bufferSize) == 0) {
            const DWORD code = GetLastError();
            VirtualFree(buffer, 0, MEM_RELEASE); // a buffer that could not be locked goes too
            buffer = nullptr;
            SetLastError(code);
            VerifyOsCall(false, "AllocBuffer");
        }
        bufferLocked = true;
    }
}

void TKoHugeFile::FreeBuffer() {
    if (buffer == nullptr) {
        return;
    }
    SetLastError(0);
    VerifyOsCall(FlushBuffer(), "FreeBuffer");
    if (bufferLocked) {
        SetLastError(0);
        VerifyOsCall(VirtualUnlock(buffer, bufferSize) != 0, "FreeBuffer");
        bufferLocked = false;
    }
    SetLastError(0);
    VerifyOsCall(VirtualFree(buffer, 0, MEM_RELEASE) != 0, "FreeBuffer");
    buffer = nullptr;
}

void TKoHugeFile::DropBuffer() {
    if (buffer == nullptr) {
        return;
    }
    if (bufferLocked) {
        VirtualUnlock(buffer, bufferSize);
        bufferLocked = false;
    }
    VirtualFree(buffer, 0, MEM_RELEASE);
    buffer = nullptr;
    bufferOffset = dataLength = 0;
}

// A failure to write out or release the buffer is raised, but the object ends closed all
// the same: its buffer and handle are never left behind.
void TKoHugeFile::Close() {
    Wrapped([this] {
        if (!IsOpen()) {
            return;
        }
        const auto release = [this] {
            DropBuffer();
            if (handle != INVALID_HANDLE_VALUE) {
                CloseHandle(handle);
                handle = INVALID_HANDLE_VALUE;
            }
            closedAtEof = false;
            isOpenFlag = false;
            closeOnEof = false;
            cachedSize = -1;
        };
        try {
            FreeBuffer();
        } catch (...) {
            release();
            throw;
        }
        release();
    });
}

// --- File time --------------------------------------------------------------------------

TDateTime TKoHugeFile::GetDate() {
    return Wrapped([this] {
        CheckHandle();
        WIN32_FIND_DATAA data{};
        HANDLE find = FindFirstFileA(fileName.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            if (find != INVALID_HANDLE_VALUE) {
                FindClose(find);
            }
            throw Exception("The date of " + fileName + " can't be read");
        }
        FindClose(find);
        FILETIME local{};
        WORD date = 0, time = 0;
        if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
            !FileTimeToDosDateTime(&local, &date, &time)) {
            throw Exception("The date of " + fileName + " is outside the years 1980 to 2107");
        }
        const auto field = [](unsigned value) { return value; };
        return EncodeDateTime({1980 + (date >> 9), field((date >> 5) & 15u), field(date & 31u),
                               field(time >> 11u), field((time >> 5) & 63u),
                               field((time & 31u) * 2), 0});
    });
}

void TKoHugeFile::SetDate(TDateTime value) {
    Wrapped([&] {
        CheckHandle();
        const TDateTimeFields t = DecodeDateTime(value);
        WORD date = 0, time = 0;
        if (t.Year >= 1980 && t.Year <= 2107) {
            date =
                static_cast<WORD>(static_cast<unsigned>(t.Year - 1980) << 9 | t.Month << 5 | t.Day);
            time = static_cast<WORD>(t.Hour << 11 | t.Minute << 5 | t.Second / 2);
        }
        FILETIME local{}, utc{};
        if (!DosDateTimeToFileTime(date, time, &local) || !LocalFileTimeToFileTime(&local, &utc) ||
            !SetFileTime(handle, nullptr, nullptr, &utc)) {
            lastError = GetLastError();
            Raise("TKoHugeFile.SetDate(" + fileName + ") failed. " + SystemErrorText(lastError),
                  hcOsError);
        }
    });
}

// --- Transfers --------------------------------------------------------------------------

void TKoHugeFile::BlockWriteFull(const void* source, std::uint32_t count,
                                 std::uint32_t& transferred) {
    Wrapped([&] {
        CheckHandle();
        const std::uint32_t bytes =
            blockSize == 1 ? count : count * static_cast<std::uint32_t>(blockSize);
        std::uint32_t written = 0;
        if (buffered) {
            Store(source, bytes, written);
        } else {
            DWORD done = 0;
            SetLastError(0);
            VerifyOsCall(WriteFile(handle, source, bytes, &done, nullptr) != 0, "BlockWrite");
            written = done;
            position += done;
        }
        transferred = blockSize == 1 ? written : written / static_cast<std::uint32_t>(blockSize);
        cachedSize = -1;
    });
}

void TKoHugeFile::BlockReadFull(void* destination, std::uint32_t count,
                                std::uint32_t& transferred) {
    Wrapped([&] {
        if (!(buffered && closedAtEof)) {
            CheckHandle();
        }
        const bool eofPendingBefore = eofPending;
        const std::uint32_t dataLengthBefore = dataLength;
        const std::uint32_t bytes =
            blockSize == 1 ? count : count * static_cast<std::uint32_t>(blockSize);
        std::uint32_t read = 0;
        if (buffered) {
            Fetch(destination, bytes, read);
        } else {
            DWORD done = 0;
            SetLastError(0);
            VerifyOsCall(ReadFile(handle, destination, bytes, &done, nullptr) != 0, "BlockRead");
            read = done;
            position += done;
        }
        transferred = blockSize == 1 ? read : read / static_cast<std::uint32_t>(blockSize);
        if (closeOnEof) {
            EndOfFileStep(eofPendingBefore, dataLengthBefore);
        }
    });
}

void TKoHugeFile::Store(const void* source, std::uint32_t count, std::uint32_t& taken) {
    const auto* s = static_cast<const std::uint8_t*>(source);
    if (!writeMode) {
        if (FilePos() != FileSize()) {
            Raise("TKoHugeFile(" + fileName + "):Write while in buffered read mode!",
                  hcWriteInReadMode);
        }
        InitWriteBuffer();
        openedForRead = false;
    }
    if (position != bufferBase && bufferOffset == 0) {
        SeekBytes(position, true, "_Seek");
    }
    taken = 0;
    std::uint32_t free = bufferSize - bufferOffset;
    if (count >= free) {
        const std::uint32_t pending = bufferOffset;
        const std::int64_t baseBefore = bufferBase;
        std::memcpy(buffer + bufferOffset, s, free);
        bufferOffset = bufferSize;
        position = bufferBase + bufferSize;
        if (!FlushBuffer()) {
            // What landed counts, in order: first the bytes pending before this call, then
            // the caller's. The caller's bytes that did not land are given back, not kept.
            const auto landed = static_cast<std::uint64_t>(bufferBase - baseBefore);
            taken = landed > pending ? static_cast<std::uint32_t>(landed - pending) : 0;
            bufferOffset = landed < pending ? pending - static_cast<std::uint32_t>(landed) : 0;
            position = bufferBase + bufferOffset;
            return;
        }
        taken = free;
        s += free;
        count -= free;
        if (count >= bufferSize) {
            const std::uint32_t whole = count / bufferSize * bufferSize;
            DWORD done = 0;
            const BOOL ok = WriteFile(handle, s, whole, &done, nullptr);
            bufferBase += done;
            position = bufferBase;
            taken += done;
            if (ok == 0 || done < whole) {
                if (ok != 0) {
                    SetLastError(ERROR_DISK_FULL); // as for the buffer's own write-out
                }
                return; // the tail is not buffered behind a gap
            }
            count -= whole;
            s += whole;
        }
    }
    if (count > 0) {
        std::memcpy(buffer + bufferOffset, s, count);
        bufferOffset += count;
        taken += count;
        position = bufferBase + bufferOffset;
    }
}

bool TKoHugeFile::FlushBuffer() {
    if (bufferOffset == 0 || !writeMode) {
        return true;
    }
    if (sectorAligned) {
        bufferOffset = RoundToPageSize(bufferOffset);
    }
    DWORD done = 0;
    const BOOL ok = WriteFile(handle, buffer, bufferOffset, &done, nullptr);
    bufferBase += done;
    if (ok == 0 || done < bufferOffset) {
        if (ok != 0) {
            SetLastError(ERROR_DISK_FULL); // a disk write that stops short has no room
        }
        // What was not written stays pending, at the front of the buffer; the caller's
        // position does not move.
        std::memmove(buffer, buffer + done, bufferOffset - done);
        bufferOffset -= done;
        return false;
    }
    bufferOffset = 0;
    position = bufferBase;
    if (sectorAligned) {
        std::memset(buffer, 0, bufferSize);
    }
    return true;
}

void TKoHugeFile::Fetch(void* destination, std::uint32_t count, std::uint32_t& delivered) {
    auto* d = static_cast<std::uint8_t*>(destination);
    if (writeMode) {
        Raise("TKoHugeFile(" + fileName + "):Read while in buffered write mode!",
              hcReadInWriteMode);
    }
    delivered = 0;
    const std::uint32_t avail = dataLength - bufferOffset;
    if (count >= avail) {
        if (avail > 0) {
            std::memcpy(d, buffer + bufferOffset, avail);
            delivered = avail;
            count -= avail;
            position = bufferBase;
        }
        d += avail;
        bufferOffset = 0;
        if (count >= bufferSize) {
            const std::uint32_t whole = count / bufferSize * bufferSize;
            dataLength = 0;
            DWORD done = 0;
            const bool ok = closedAtEof || ReadFile(handle, d, whole, &done, nullptr) != 0;
            bufferBase += done;
            position = bufferBase;
            delivered += done;
            if (!ok) {
                return;
            }
            count -= whole;
            d += whole;
            if (done < whole) {
                return; // the end of the file
            }
        }
        if (closedAtEof) {
            bufferOffset = dataLength;
            return;
        }
        if (IsBufferAtEof()) {
            dataLength = 0;
        } else {
            // Empty before the read, so that a failed refill delivers nothing old as new;
            // whatever it did read is kept, in step with the file pointer.
            dataLength = 0;
            DWORD done = 0;
            SetLastError(0);
            const BOOL ok = ReadFile(handle, buffer, bufferSize, &done, nullptr);
            dataLength = done;
            bufferBase += done;
            VerifyOsCall(ok != 0, "Fetch");
        }
    }
    if (count > 0) {
        const std::uint32_t k = std::min(count, dataLength - bufferOffset);
        std::memcpy(d, buffer + bufferOffset, k);
        bufferOffset += k;
        delivered += k;
        position = bufferBase - dataLength + bufferOffset;
    }
}

void TKoHugeFile::InitReadBuffer() {
    bufferOffset = dataLength = 0;
    bufferBase = 0;
    writeMode = false;
}

void TKoHugeFile::InitWriteBuffer() {
    bufferOffset = dataLength = 0;
    bufferBase = 0;
    writeMode = true;
}

bool TKoHugeFile::IsBufferAtEof() {
    return _FileSize() * blockSize <= bufferBase;
}

// --- Positioning and size ---------------------------------------------------------------

void TKoHugeFile::Seek(std::int64_t block) {
    Wrapped([&] { _Seek(block, false); });
}

void TKoHugeFile::_Seek(std::int64_t block, bool force) {
    if (!(buffered && !force && closedAtEof)) {
        CheckHandle();
    }
    SeekBytes(blockSize == 1 ? block : block * blockSize, force, buffered ? "_Seek" : "Seek");
}

void TKoHugeFile::SeekBytes(std::int64_t target, bool force, const char* operation) {
    const auto low = static_cast<LONG>(static_cast<std::uint64_t>(target) & 0xFFFFFFFF);
    LONG high = static_cast<LONG>(static_cast<std::uint64_t>(target) >> 32);
    // A low part of all ones is a position when the last error stayed 0.
    const auto moved = [](DWORD result) {
        return result != INVALID_SET_FILE_POINTER || GetLastError() == 0;
    };
    if (!buffered) {
        SetLastError(0);
        VerifyOsCall(moved(SetFilePointer(handle, low, &high, FILE_BEGIN)), operation);
        position = target;
        return;
    }
    if (writeMode) {
        SetLastError(0);
        VerifyOsCall(FlushBuffer(), operation); // pending data is never dropped unseen
        VerifyOsCall(moved(SetFilePointer(handle, low, &high, FILE_BEGIN)), operation);
        bufferBase = target;
        position = target;
        return;
    }
    const std::int64_t dataStart = bufferBase - dataLength;
    if (!force && target < bufferBase && target >= dataStart) {
        bufferOffset = static_cast<std::uint32_t>(target - dataStart);
        if (!IsBufferAtEof()) {
            eofPending = false;
        }
        position = target;
        return;
    }
    if (closedAtEof) {
        if (target != bufferBase) {
            CheckHandle();
        }
        bufferOffset = dataLength;
        position = target;
        return;
    }
    SetLastError(0);
    VerifyOsCall(moved(SetFilePointer(handle, low, &high, FILE_BEGIN)), operation);
    bufferBase = target;
    position = target;
    bufferOffset = dataLength = 0;
    eofPending = false;
}

std::int64_t TKoHugeFile::FilePos() {
    return Wrapped([this] {
        if (!closedAtEof) {
            CheckHandle();
        }
        return blockSize == 1 ? position : position / blockSize;
    });
}

std::int64_t TKoHugeFile::_FilePos() {
    CheckHandle();
    LONG high = 0;
    const DWORD low = SetFilePointer(handle, 0, &high, FILE_CURRENT);
    VerifyOsCall(low != INVALID_SET_FILE_POINTER || GetLastError() == 0, "_FilePos");
    return static_cast<std::int64_t>(Combine(static_cast<DWORD>(high), low));
}

std::int64_t TKoHugeFile::FileSize() {
    return Wrapped([this] {
        if (closedAtEof) {
            return savedSize;
        }
        CheckHandle();
        SetLastError(0);
        DWORD high = 0;
        const DWORD low = GetFileSize(handle, &high);
        VerifyOsCall(low != INVALID_FILE_SIZE || GetLastError() == 0, "FileSize");
        const std::int64_t bytes =
            std::max(position, static_cast<std::int64_t>(Combine(high, low)));
        return blockSize == 1 ? bytes : bytes / blockSize;
    });
}

std::int64_t TKoHugeFile::_FileSize() {
    if (cachedSize < 0) {
        cachedSize = FileSize();
    }
    return cachedSize;
}

void TKoHugeFile::Flush() {
    Wrapped([this] {
        CheckHandle();
        SetLastError(0);
        VerifyOsCall(FlushBuffer(), "Flush");
        SetLastError(0);
        VerifyOsCall(FlushFileBuffers(handle) != 0, "Flush");
    });
}

void TKoHugeFile::Truncate() {
    Wrapped([this] {
        CheckHandle();
        if (buffered) {
            _Seek(FilePos(), true);
        }
        SetLastError(0);
        VerifyOsCall(SetEndOfFile(handle) != 0, "Truncate");
        cachedSize = -1;
    });
}

void TKoHugeFile::EndOfFileStep(bool eofPendingBefore, std::uint32_t dataLengthBefore) {
    if (eofPendingBefore && _FilePos() >= FileSize() * blockSize) {
        savedSize = FileSize();
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        closedAtEof = true;
        eofPending = false;
        bufferOffset += dataLengthBefore - dataLength;
        dataLength = dataLengthBefore;
        return;
    }
    eofPending = handle != INVALID_HANDLE_VALUE && IsBufferAtEof();
}

} // namespace orvane
