// The "File" method: the plain untyped file with record size 1, CheckIO after every call.
#include "bench/Methods.h"
#include "bench/TimedLoop.h"
#include "fileio/KoHugeF.h"
#include "fileio/PlainFile.h"

namespace orvane {

namespace {

constexpr std::uint8_t FileModeWriteExclusive = 17;
constexpr std::uint8_t FileModeReadExclusive = 16;

struct TFileState final : TMethodState {
    TPlainFileRec File{};
};

std::unique_ptr<TMethodState> NewState() {
    return std::make_unique<TFileState>();
}

TPlainFileRec& FileOf(TMethodState& state) {
    return StateOf<TFileState>(state).File;
}

void PrepareOpen(TIteration& it, TMethodState& state) {
    Assign(FileOf(state), it.FileName);
    FileMode = FileModeWriteExclusive;
    Rewrite(FileOf(state), 1);
    CheckIO();
}

void PrepareExtend(TIteration& it, TMethodState& state) {
    TPlainFileRec& file = FileOf(state);
    Seek(file, it.FileSize);
    CheckIO();
    std::int32_t written = 0;
    BlockWrite(file, it.Buffer, 1, written);
    CheckIO();
    if (written != 1) {
        ThrowShortTransfer(TPassKind::Prepare, it.Host.ChunkLabel(), it.FileSize,
                           std::uint64_t{it.FileSize} + 1);
    }
    Close(file);
    CheckIO();
}

void ReopenForWrite(TIteration&, TMethodState& state) {
    Rewrite(FileOf(state), 1); // FileMode is still 17
    CheckIO();
}

TPassTiming WritePass(TIteration& it, TMethodState& state) {
    TPlainFileRec& file = FileOf(state);
    const void* buffer = it.Buffer;
    const auto count = static_cast<std::uint32_t>(it.BlockSize);
    return TimedLoop(it, TPassKind::Write, [&] {
        std::int32_t written = 0;
        BlockWrite(file, buffer, count, written);
        CheckIO();
        return written;
    });
}

// The plain file keeps no buffer of its own: only the system's is left to flush.
void EndWritePass(TIteration& it, TMethodState& state) {
    if (FlushFileBuffers(FileOf(state).Handle) == 0) {
        const DWORD code = GetLastError();
        throw EPassError("The write pass with chunk size " + it.Host.ChunkLabel() +
                         " could not flush the test file to the device: " + SystemErrorText(code) +
                         " (" + std::to_string(code) + ")");
    }
}

void ClosePass(TIteration&, TMethodState& state) {
    Close(FileOf(state));
    CheckIO();
}

void OpenForRead(TIteration&, TMethodState& state) {
    FileMode = FileModeReadExclusive;
    Reset(FileOf(state), 1);
    CheckIO();
}

TPassTiming ReadPass(TIteration& it, TMethodState& state) {
    TPlainFileRec& file = FileOf(state);
    void* buffer = it.Buffer;
    const auto count = static_cast<std::uint32_t>(it.BlockSize);
    return TimedLoop(it, TPassKind::Read, [&] {
        std::int32_t read = 0;
        BlockRead(file, buffer, count, read);
        CheckIO();
        return read;
    });
}

void CleanUp(TIteration&, TMethodState& state) noexcept {
    TPlainFileRec& file = FileOf(state);
    if (file.State == psReadOnly || file.State == psWriteOnly || file.State == psReadWrite) {
        Close(file);
        TakeLastIoError(); // a failing close here reports nothing later
    }
}

} // namespace

extern const TMethodOps FileMethodOps = {
    "File",    "file",       false,     NewState,    PrepareOpen, PrepareExtend, ReopenForWrite,
    WritePass, EndWritePass, ClosePass, OpenForRead, ReadPass,    CleanUp};

} // namespace orvane
