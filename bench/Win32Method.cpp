// The "Win32" method: TKoHugeFile with block size 1, its buffer 64 KiB or, where the
// pass's box is ticked, the chunk size rounded up to whole pages.
#include "bench/Methods.h"
#include "bench/TimedLoop.h"
#include "fileio/KoHugeF.h"

namespace orvane {

namespace {

// Made by the prepare open, freed by the clean-up (whose close writes out what is left).
struct TWin32State final : TMethodState {
    std::unique_ptr<TKoHugeFile> File;
};

std::unique_ptr<TMethodState> NewState() {
    return std::make_unique<TWin32State>();
}

TKoHugeFile& FileOf(TMethodState& state) {
    return *StateOf<TWin32State>(state).File;
}

void OpenForWriting(TIteration& it, TMethodState& state) {
    if (it.WriteBuffered) {
        FileOf(state).RewriteBuffered(1, static_cast<std::uint32_t>(it.ChunkSize), false);
    } else {
        FileOf(state).Rewrite(1);
    }
}

void PrepareOpen(TIteration& it, TMethodState& state) {
    StateOf<TWin32State>(state).File = std::make_unique<TKoHugeFile>(
        it.FileName, FILE_ATTRIBUTE_NORMAL, GENERIC_READ | GENERIC_WRITE, ShareDerived);
    OpenForWriting(it, state);
}

void PrepareExtend(TIteration& it, TMethodState& state) {
    TKoHugeFile& file = FileOf(state);
    file.Seek(it.FileSize);
    std::uint32_t written = 0;
    file.BlockWrite(it.Buffer, 1, written);
    if (written != 1) {
        ThrowShortTransfer(TPassKind::Prepare, it.Host.ChunkLabel(), it.FileSize,
                           std::uint64_t{it.FileSize} + 1);
    }
    file.Close();
}

TPassTiming WritePass(TIteration& it, TMethodState& state) {
    TKoHugeFile& file = FileOf(state);
    const void* buffer = it.Buffer;
    const auto count = static_cast<std::uint32_t>(it.BlockSize);
    return TimedLoop(it, TPassKind::Write, [&] {
        std::uint32_t written = 0;
        file.BlockWrite(buffer, count, written);
        return static_cast<std::int32_t>(written);
    });
}

void EndWritePass(TIteration&, TMethodState& state) {
    FileOf(state).Flush();
}

void ClosePass(TIteration&, TMethodState& state) {
    FileOf(state).Close();
}

void OpenForRead(TIteration& it, TMethodState& state) {
    if (it.ReadBuffered) {
        FileOf(state).ResetBuffered(1, static_cast<std::uint32_t>(it.ChunkSize), false);
    } else {
        FileOf(state).Reset(1);
    }
}

TPassTiming ReadPass(TIteration& it, TMethodState& state) {
    TKoHugeFile& file = FileOf(state);
    void* buffer = it.Buffer;
    const auto count = static_cast<std::uint32_t>(it.BlockSize);
    return TimedLoop(it, TPassKind::Read, [&] {
        std::uint32_t read = 0;
        file.BlockRead(buffer, count, read);
        return static_cast<std::int32_t>(read);
    });
}

// The object's destructor closes the file; a close that fails is kept as a secondary error.
void CleanUp(TIteration&, TMethodState& state) noexcept {
    StateOf<TWin32State>(state).File.reset();
}

} // namespace

extern const TMethodOps Win32MethodOps = {
    "Win32",   "win32",      true,      NewState,    PrepareOpen, PrepareExtend, OpenForWriting,
    WritePass, EndWritePass, ClosePass, OpenForRead, ReadPass,    CleanUp};

} // namespace orvane
