// mmio: a file handle with an optional buffer of its own. Buffered writes collect in the
// buffer and go to the file when it is full, at a seek out of it, at mmioSetBuffer,
// mmioFlush and mmioClose; buffered reads refill a whole buffer. Only bytes the caller
// wrote are ever written back, so a read after writes never stores stale data.
#include "platform/Measuring.h"
#include "platform/OsCalls.h"
#include "platform/Win32.h"
#include "platform/linux/Handles.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>

using namespace orvane::platform;

namespace {

class TMmioObject final : public TKernelObject {
public:
    static constexpr TKind ObjectKind = TKind::Mmio;
    TMmioObject() : TKernelObject(ObjectKind) {}
    ~TMmioObject() override { ReleaseBuffer(); }

    HANDLE file = INVALID_HANDLE_VALUE;
    char* buffer = nullptr; // none: unbuffered
    LONG size = 0;
    bool ownsBuffer = false;
    // The file offset of buffer[0]; the caller's position is bufferOffset + next.
    LONG bufferOffset = 0;
    LONG next = 0;
    LONG valid = 0;      // bytes at the start of the buffer that hold the file's data
    LONG dirtyStart = 0; // [dirtyStart, dirtyEnd): written by the caller, not yet stored
    LONG dirtyEnd = 0;
    LONG diskOffset = 0; // where the OS file pointer stands

    LONG Position() const { return buffer != nullptr ? bufferOffset + next : diskOffset; }
    bool Dirty() const { return dirtyEnd > dirtyStart; }

    // False when the system refused to take the buffer back.
    bool ReleaseBuffer() {
        bool released = true;
        if (ownsBuffer && buffer != nullptr) {
            released = OsCalls().munmap(buffer, static_cast<size_t>(size)) == 0;
        }
        buffer = nullptr;
        ownsBuffer = false;
        size = 0;
        return released;
    }

    bool MoveDiskTo(LONG offset) {
        if (diskOffset == offset) {
            return true;
        }
        if (SetFilePointer(file, offset, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
            return false;
        }
        diskOffset = offset;
        return true;
    }

    // Stores the caller's pending bytes; what could not be stored stays pending.
    MMRESULT Flush() {
        if (!Dirty()) {
            return MMSYSERR_NOERROR;
        }
        DWORD written = 0;
        if (MoveDiskTo(bufferOffset + dirtyStart) &&
            WriteFile(file, buffer + dirtyStart, static_cast<DWORD>(dirtyEnd - dirtyStart),
                      &written, nullptr)) {
            diskOffset += static_cast<LONG>(written);
            dirtyStart += static_cast<LONG>(written);
        }
        if (Dirty()) {
            return MMIOERR_CANNOTWRITE;
        }
        dirtyStart = dirtyEnd = 0;
        return MMSYSERR_NOERROR;
    }

    // An empty buffer standing at `offset`; only called with nothing pending.
    void Rebase(LONG offset) {
        bufferOffset = offset;
        next = valid = dirtyStart = dirtyEnd = 0;
    }

    bool FlushAndRebase() {
        const LONG position = Position();
        if (Flush() != MMSYSERR_NOERROR) {
            return false;
        }
        Rebase(position);
        return true;
    }

    LONG Write(const char* source, LONG count) {
        LONG done = 0;
        while (done < count) {
            // Pending bytes stay one run: a write that does not touch it stores it first,
            // and so does a write past the buffer's known data.
            const bool apart = Dirty() && (next < dirtyStart || next > dirtyEnd);
            if ((next == size || apart || next > valid) && !FlushAndRebase()) {
                return done > 0 ? done : -1;
            }
            const LONG chunk = std::min(count - done, size - next);
            std::memcpy(buffer + next, source + done, static_cast<size_t>(chunk));
            dirtyStart = Dirty() ? std::min(dirtyStart, next) : next;
            dirtyEnd = std::max(dirtyEnd, next + chunk);
            next += chunk;
            valid = std::max(valid, next);
            done += chunk;
            if (next == size && !FlushAndRebase()) {
                return -1; // the bytes stay pending; mmioFlush and mmioClose report them
            }
        }
        return done;
    }

    LONG Read(char* target, LONG count) {
        LONG done = 0;
        while (done < count) {
            if (next < valid) {
                const LONG chunk = std::min(count - done, valid - next);
                std::memcpy(target + done, buffer + next, static_cast<size_t>(chunk));
                next += chunk;
                done += chunk;
                continue;
            }
            if (!FlushAndRebase() || !MoveDiskTo(bufferOffset)) {
                return done > 0 ? done : -1;
            }
            DWORD got = 0;
            if (!ReadFile(file, buffer, static_cast<DWORD>(size), &got, nullptr)) {
                return done > 0 ? done : -1;
            }
            diskOffset += static_cast<LONG>(got);
            valid = static_cast<LONG>(got);
            if (got == 0) {
                break; // end of the file
            }
        }
        return done;
    }
};

TMmioObject* MmioOf(HMMIO handle) {
    return Lookup<TMmioObject>(reinterpret_cast<HANDLE>(handle));
}

char* AllocateBuffer(LONG size) {
    void* memory = OsCalls().mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE,
                                  MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return memory == MAP_FAILED ? nullptr : static_cast<char*>(memory);
}

MMRESULT OpenError(DWORD win32Error) {
    switch (win32Error) {
    case ERROR_FILE_NOT_FOUND:
        return MMIOERR_FILENOTFOUND;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return MMIOERR_PATHNOTFOUND;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return MMIOERR_ACCESSDENIED;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return MMIOERR_SHARINGVIOLATION;
    case ERROR_BAD_NETPATH:
    case ERROR_NETWORK_ACCESS_DENIED:
        return MMIOERR_NETWORKERROR;
    case ERROR_TOO_MANY_OPEN_FILES:
        return MMIOERR_TOOMANYOPENFILES;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return MMIOERR_OUTOFMEMORY;
    default:
        return MMIOERR_INVALIDFILE;
    }
}

HMMIO FailOpen(LPMMIOINFO info, MMRESULT code) {
    if (info != nullptr) {
        info->wErrorRet = code;
    }
    return nullptr;
}

} // namespace

HMMIO mmioOpenA(LPSTR pszFileName, LPMMIOINFO pmmioinfo, DWORD fdwOpen) {
    constexpr DWORD unsupported = MMIO_PARSE | MMIO_DELETE | MMIO_EXIST | MMIO_GETTEMP;
    if ((fdwOpen & unsupported) != 0 ||
        (pmmioinfo != nullptr && (pmmioinfo->pIOProc != nullptr || pmmioinfo->fccIOProc != 0))) {
        return FailOpen(pmmioinfo, MMSYSERR_INVALFLAG);
    }
    static constexpr DWORD accessOf[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    static constexpr DWORD shareOf[] = {FILE_SHARE_READ | FILE_SHARE_WRITE, 0, FILE_SHARE_READ,
                                        FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};
    const DWORD access = fdwOpen & 3;
    const DWORD share = (fdwOpen >> 4) & 7;
    if (pszFileName == nullptr || access > 2 || share > 4) {
        return FailOpen(pmmioinfo, MMSYSERR_INVALPARAM);
    }

    auto mmio = std::make_unique<TMmioObject>();
    LONG size = pmmioinfo != nullptr ? pmmioinfo->cchBuffer : 0;
    if (pmmioinfo != nullptr && pmmioinfo->pchBuffer != nullptr && size > 0) {
        mmio->buffer = pmmioinfo->pchBuffer; // the caller's own buffer
        mmio->size = size;
    } else if ((fdwOpen & MMIO_ALLOCBUF) != 0) {
        mmio->size = size > 0 ? size : MMIO_DEFAULTBUFFER;
        mmio->buffer = AllocateBuffer(mmio->size);
        mmio->ownsBuffer = true;
        if (mmio->buffer == nullptr) {
            return FailOpen(pmmioinfo, MMIOERR_OUTOFMEMORY);
        }
    }

    mmio->file = CreateFileA(pszFileName, accessOf[access], shareOf[share], nullptr,
                             (fdwOpen & MMIO_CREATE) != 0 ? CREATE_ALWAYS : OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mmio->file == INVALID_HANDLE_VALUE) {
        return FailOpen(pmmioinfo, OpenError(GetLastError()));
    }
    HANDLE file = mmio->file;
    HANDLE handle = InsertObject(std::move(mmio));
    if (handle == INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return FailOpen(pmmioinfo, MMIOERR_TOOMANYOPENFILES);
    }
    auto* result = reinterpret_cast<HMMIO>(handle);
    if (pmmioinfo != nullptr) {
        pmmioinfo->wErrorRet = MMSYSERR_NOERROR;
        pmmioinfo->hmmio = result;
    }
    return result;
}

MMRESULT mmioClose(HMMIO hmmio, UINT) {
    TMmioObject* mmio = MmioOf(hmmio);
    if (mmio == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    MMRESULT result = mmio->buffer != nullptr ? mmio->Flush() : MMSYSERR_NOERROR;
    if (!CloseHandle(mmio->file) && result == MMSYSERR_NOERROR) {
        result = MMIOERR_CANNOTCLOSE;
    }
    if (!mmio->ReleaseBuffer() && result == MMSYSERR_NOERROR) {
        result = MMIOERR_CANNOTCLOSE;
    }
    RemoveObject(reinterpret_cast<HANDLE>(hmmio));
    return result;
}

LONG mmioRead(HMMIO hmmio, HPSTR pch, LONG cch) {
    TMmioObject* mmio = MmioOf(hmmio);
    if (mmio == nullptr || pch == nullptr || cch < 0) {
        return -1;
    }
    if (mmio->buffer != nullptr) {
        return mmio->Read(pch, cch);
    }
    DWORD got = 0;
    if (!ReadFile(mmio->file, pch, static_cast<DWORD>(cch), &got, nullptr)) {
        return -1;
    }
    mmio->diskOffset += static_cast<LONG>(got);
    return static_cast<LONG>(got);
}

LONG mmioWrite(HMMIO hmmio, const char* pch, LONG cch) {
    TMmioObject* mmio = MmioOf(hmmio);
    if (mmio == nullptr || pch == nullptr || cch < 0) {
        return -1;
    }
    if (mmio->buffer != nullptr) {
        // The common case: appending to the pending run without filling the buffer.
        const LONG next = mmio->next;
        if (next == mmio->dirtyEnd && next > mmio->dirtyStart && cch < mmio->size - next) {
            char* target = mmio->buffer + next;
            if (cch <= 16) {
                for (LONG i = 0; i < cch; ++i) { // cheaper than a call for a few bytes
                    target[i] = pch[i];
                }
            } else {
                std::memcpy(target, pch, static_cast<size_t>(cch));
            }
            mmio->next = mmio->dirtyEnd = next + cch;
            mmio->valid = std::max(mmio->valid, next + cch);
            return cch;
        }
        return mmio->Write(pch, cch);
    }
    DWORD written = 0;
    if (!WriteFile(mmio->file, pch, static_cast<DWORD>(cch), &written, nullptr)) {
        return -1;
    }
    mmio->diskOffset += static_cast<LONG>(written);
    return static_cast<LONG>(written);
}

LONG mmioSeek(HMMIO hmmio, LONG lOffset, int iOrigin) {
    TMmioObject* mmio = MmioOf(hmmio);
    if (mmio == nullptr || iOrigin < SEEK_SET || iOrigin > SEEK_END) {
        return -1;
    }
    long long target = lOffset;
    if (iOrigin == SEEK_CUR) {
        target += mmio->Position();
    } else if (iOrigin == SEEK_END) {
        DWORD high = 0;
        const DWORD low = GetFileSize(mmio->file, &high);
        if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) {
            return -1;
        }
        long long end = static_cast<long long>((static_cast<unsigned long long>(high) << 32) | low);
        if (mmio->buffer != nullptr) {
            end = std::max<long long>(end, mmio->bufferOffset + mmio->valid);
        }
        target = end - lOffset; // Windows counts a positive offset back from the end
    }
    if (target < 0 || target > LONG_MAX) {
        return -1;
    }
    const auto position = static_cast<LONG>(target);
    if (mmio->buffer == nullptr) {
        return mmio->MoveDiskTo(position) ? position : -1;
    }
    // Inside the buffer's data: nothing reaches the system.
    if (position >= mmio->bufferOffset && position <= mmio->bufferOffset + mmio->valid) {
        mmio->next = position - mmio->bufferOffset;
        return position;
    }
    if (mmio->Flush() != MMSYSERR_NOERROR) {
        return -1;
    }
    mmio->Rebase(position);
    return position;
}

MMRESULT mmioSetBuffer(HMMIO hmmio, LPSTR pchBuffer, LONG cchBuffer, UINT) {
    TMmioObject* mmio = MmioOf(hmmio);
    if (mmio == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    if (cchBuffer < 0) {
        return MMSYSERR_INVALPARAM;
    }
    if (mmio->buffer != nullptr && mmio->Flush() != MMSYSERR_NOERROR) {
        return MMIOERR_CANNOTWRITE;
    }
    const LONG position = mmio->Position();
    char* replacement = pchBuffer;
    if (cchBuffer > 0 && pchBuffer == nullptr) {
        replacement = AllocateBuffer(cchBuffer);
        if (replacement == nullptr) {
            return MMIOERR_OUTOFMEMORY; // the old buffer stays
        }
    }
    mmio->ReleaseBuffer();
    if (cchBuffer == 0) {
        // Unbuffered calls go straight to the file and its pointer.
        return mmio->MoveDiskTo(position) ? MMSYSERR_NOERROR : MMIOERR_CANNOTSEEK;
    }
    mmio->buffer = replacement;
    mmio->size = cchBuffer;
    mmio->ownsBuffer = pchBuffer == nullptr;
    mmio->Rebase(position);
    return MMSYSERR_NOERROR;
}

MMRESULT mmioFlush(HMMIO hmmio, UINT) {
    TMmioObject* mmio = MmioOf(hmmio);
    if (mmio == nullptr) {
        return MMSYSERR_INVALHANDLE;
    }
    return mmio->buffer != nullptr ? mmio->Flush() : MMSYSERR_NOERROR;
}

HANDLE orvane::platform::MmioFileHandle(HMMIO hmmio) {
    const TMmioObject* mmio = MmioOf(hmmio);
    return mmio != nullptr ? mmio->file : INVALID_HANDLE_VALUE;
}
