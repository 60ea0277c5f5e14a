// The plain untyped file over CreateFileA, ReadFile, WriteFile, SetFilePointer and
// CloseHandle.
#include "fileio/PlainFile.h"

#include <cstring>
#include <optional>

namespace orvane {

namespace {

constexpr DWORD ShareTable[] = {
    FILE_SHARE_READ | FILE_SHARE_WRITE, // 0: compatibility
    0,                                  // 1: exclusive
    FILE_SHARE_READ,                    // 2: deny write
    FILE_SHARE_WRITE,                   // 3: deny read
    FILE_SHARE_READ | FILE_SHARE_WRITE, // 4: deny none
};

enum TOpenKind { okReadOnly = 0, okWriteOnly = 1, okReadWrite = 2, okCreate = 3 };

constexpr std::uint16_t AssignedMask = 0xFFFC;
constexpr std::uint16_t ReadMask = 0xD7B1;
constexpr std::uint16_t WriteMask = 0xD7B2;

bool IsOpen(const TPlainFileRec& file) {
    return file.State == psReadOnly || file.State == psWriteOnly || file.State == psReadWrite;
}

void StoreLastError() {
    LastIoError = static_cast<std::int32_t>(GetLastError());
}

// Closes an open record: it is closed afterwards whatever CloseHandle says.
void CloseOpen(TPlainFileRec& file) {
    file.State = psClosed;
    if (!CloseHandle(file.Handle)) {
        StoreLastError();
    }
}

void Open(TPlainFileRec& file, std::uint32_t recordSize, TOpenKind kind) {
    if (IsOpen(file)) {
        CloseOpen(file);
    } else if (file.State != psClosed) {
        LastIoError = ioNotAssigned;
        return;
    }
    // Refused here, so that no transfer ever divides by a record size of 0.
    if (recordSize == 0) {
        LastIoError = static_cast<std::int32_t>(ERROR_INVALID_PARAMETER);
        return;
    }
    file.RecordSize = recordSize;
    // An empty name (also what a name too long for the record leaves) names no file.
    if (file.FileName[0] == '\0') {
        LastIoError = static_cast<std::int32_t>(ERROR_PATH_NOT_FOUND);
        return;
    }
    const unsigned shareIndex = (FileMode >> 4) & 7;
    // Indices 5 to 7 have no entry: opened exclusively, the safest reading.
    const DWORD share = shareIndex < std::size(ShareTable) ? ShareTable[shareIndex] : 0;

    struct TKind {
        DWORD access;
        DWORD disposition;
        std::uint16_t state;
    };
    static constexpr TKind kinds[] = {
        {GENERIC_READ, OPEN_EXISTING, psReadOnly},
        {GENERIC_WRITE, OPEN_EXISTING, psWriteOnly},
        {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, psReadWrite},
        {GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, psReadWrite},
    };
    const TKind& k = kinds[kind];
    HANDLE handle = CreateFileA(file.FileName, k.access, share, nullptr, k.disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        file.State = psClosed;
        StoreLastError();
        return;
    }
    file.Handle = handle;
    file.State = k.state;
}

// One WriteFile (with the write mask) or ReadFile: the whole records moved, or nothing
// with LastIoError set.
inline std::optional<std::int32_t> Transfer(TPlainFileRec& file, void* buffer, std::uint32_t count,
                                            std::uint16_t mask) {
    if ((file.State & mask) != mask || (file.State & AssignedMask) != psClosed) {
        LastIoError = ioNotOpen;
        return std::nullopt;
    }
    const std::uint64_t bytes = std::uint64_t{count} * file.RecordSize;
    if (bytes > 0xFFFFFFFFu) {
        LastIoError = static_cast<std::int32_t>(ERROR_INVALID_PARAMETER);
        return std::nullopt;
    }
    DWORD done = 0;
    const BOOL ok = mask == WriteMask
                        ? WriteFile(file.Handle, buffer, static_cast<DWORD>(bytes), &done, nullptr)
                        : ReadFile(file.Handle, buffer, static_cast<DWORD>(bytes), &done, nullptr);
    if (!ok) {
        StoreLastError();
        return std::nullopt;
    }
    // Record size 1 (the benchmark's) needs no division, which costs more than the rest.
    return static_cast<std::int32_t>(file.RecordSize == 1 ? done : done / file.RecordSize);
}

} // namespace

void Assign(TPlainFileRec& file, const std::string& name) {
    std::memset(&file, 0, sizeof file);
    file.State = psClosed;
    if (name.size() < sizeof file.FileName && name.find('\0') == std::string::npos) {
        std::memcpy(file.FileName, name.c_str(), name.size() + 1);
    }
}

void Rewrite(TPlainFileRec& file, std::uint32_t recordSize) {
    Open(file, recordSize, okCreate);
}

void Reset(TPlainFileRec& file, std::uint32_t recordSize) {
    const unsigned access = FileMode & 3;
    Open(file, recordSize, access == 3 ? okReadWrite : static_cast<TOpenKind>(access));
}

void Seek(TPlainFileRec& file, std::uint32_t position) {
    if (!IsOpen(file)) {
        LastIoError = ioNotOpen;
        return;
    }
    const std::uint64_t offset = std::uint64_t{position} * file.RecordSize;
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(ERROR_SUCCESS);
    if (SetFilePointer(file.Handle, static_cast<LONG>(offset & 0xFFFFFFFF), &high, FILE_BEGIN) ==
            INVALID_SET_FILE_POINTER &&
        GetLastError() != ERROR_SUCCESS) {
        StoreLastError();
    }
}

void BlockWrite(TPlainFileRec& file, const void* buffer, std::uint32_t count,
                std::int32_t& transferred) {
    if (const auto done = Transfer(file, const_cast<void*>(buffer), count, WriteMask)) {
        transferred = *done;
    }
}

void BlockWrite(TPlainFileRec& file, const void* buffer, std::uint32_t count) {
    const auto done = Transfer(file, const_cast<void*>(buffer), count, WriteMask);
    if (done && static_cast<std::uint32_t>(*done) != count) {
        LastIoError = ioWriteShort;
    }
}

void BlockRead(TPlainFileRec& file, void* buffer, std::uint32_t count, std::int32_t& transferred) {
    if (const auto done = Transfer(file, buffer, count, ReadMask)) {
        transferred = *done;
    }
}

void BlockRead(TPlainFileRec& file, void* buffer, std::uint32_t count) {
    const auto done = Transfer(file, buffer, count, ReadMask);
    if (done && static_cast<std::uint32_t>(*done) != count) {
        LastIoError = ioReadPastEnd;
    }
}

void Close(TPlainFileRec& file) {
    if (!IsOpen(file)) {
        LastIoError = ioNotOpen;
        return;
    }
    CloseOpen(file);
}

std::string IoErrorMessage(std::int32_t code) {
    switch (code) {
    case 2:
        return "Datei nicht gefunden";
    case 3:
        return "Ungültiger Dateiname";
    case 4:
        return "Zu viele geöffnete Dateien";
    case 5:
        return "Dateizugriff verweigert";
    case 100:
        return "Versuch hinter dem Dateiende zu lesen";
    case 101:
        return "Zu wenig Speicherplatz";
    case 106:
        return "Ungültige numerische Eingabe";
    default:
        return "E/A-Fehler " + std::to_string(code);
    }
}

void RaiseIoError() {
    const std::int32_t code = TakeLastIoError();
    throw EInOutError(IoErrorMessage(code), code);
}

std::int32_t TakeLastIoError() {
    const std::int32_t code = LastIoError;
    LastIoError = 0;
    return code;
}

} // namespace orvane
