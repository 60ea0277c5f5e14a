// The "File" method: the plain untyped file with record size 1, CheckIO after every call.
#include "bench/Methods.h"
#include "bench/TimedLoop.h"

namespace orvane {

namespace {

constexpr std::uint8_t FileModeWriteExclusive = 17;
constexpr std::uint8_t FileModeReadExclusive = 16;

void PrepareOpen(TIteration& it) {
    Assign(it.PlainFile, it.FileName);
    FileMode = FileModeWriteExclusive;
    Rewrite(it.PlainFile, 1);
    CheckIO();
}

void PrepareExtend(TIteration& it) {
    Seek(it.PlainFile, it.FileSize);
    CheckIO();
    std::int32_t written = 0;
    BlockWrite(it.PlainFile, it.Buffer, 1, written);
    CheckIO();
    if (written != 1) {
        ThrowShortTransfer(TPassKind::Prepare, it.Host.ChunkLabel(), it.FileSize,
                           std::uint64_t{it.FileSize} + 1);
    }
    Close(it.PlainFile);
    CheckIO();
}

void ReopenForWrite(TIteration& it) {
    Rewrite(it.PlainFile, 1); // FileMode is still 17
    CheckIO();
}

TPassTiming WritePass(TIteration& it) {
    TPlainFileRec& file = it.PlainFile;
    const void* buffer = it.Buffer;
    const auto count = static_cast<std::uint32_t>(it.BlockSize);
    return TimedLoop(it, TPassKind::Write, [&] {
        std::int32_t written = 0;
        BlockWrite(file, buffer, count, written);
        CheckIO();
        return written;
    });
}

void ClosePass(TIteration& it) {
    Close(it.PlainFile);
    CheckIO();
}

void OpenForRead(TIteration& it) {
    FileMode = FileModeReadExclusive;
    Reset(it.PlainFile, 1);
    CheckIO();
}

TPassTiming ReadPass(TIteration& it) {
    TPlainFileRec& file = it.PlainFile;
    void* buffer = it.Buffer;
    const auto count = static_cast<std::uint32_t>(it.BlockSize);
    return TimedLoop(it, TPassKind::Read, [&] {
        std::int32_t read = 0;
        BlockRead(file, buffer, count, read);
        CheckIO();
        return read;
    });
}

void CleanUp(TIteration& it) noexcept {
    const std::uint16_t state = it.PlainFile.State;
    if (state == psReadOnly || state == psWriteOnly || state == psReadWrite) {
        Close(it.PlainFile);
        TakeLastIoError(); // a failing close here reports nothing later
    }
}

} // namespace

const TMethodOps FileMethodOps = {PrepareOpen, PrepareExtend, ReopenForWrite, WritePass,
                                  ClosePass,   OpenForRead,   ReadPass,       CleanUp};

} // namespace orvane
