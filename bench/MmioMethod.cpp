// The "mmio" method: TMMIOFile, with mmio's own buffer of the chunk size where the pass's
// box is ticked.
#include "bench/Methods.h"
#include "bench/TimedLoop.h"
#include "fileio/MMIOFile.h"
#include "fileio/SecondaryErrors.h"

namespace orvane {

namespace {

// Made by the prepare open, freed by the clean-up.
struct TMmioState final : TMethodState {
    std::unique_ptr<TMMIOFile> File;
};

std::unique_ptr<TMethodState> NewState() {
    return std::make_unique<TMmioState>();
}

TMMIOFile& FileOf(TMethodState& state) {
    return *StateOf<TMmioState>(state).File;
}

void CreateForWriting(TIteration& it, TMethodState& state) {
    const bool buffered = it.WriteBuffered;
    FileOf(state).SetMode(buffered, maWrite, msExclusive);
    FileOf(state).CreateNew();
    if (buffered) {
        FileOf(state).SetBufferSize(it.ChunkSize);
    }
}

void PrepareOpen(TIteration& it, TMethodState& state) {
    StateOf<TMmioState>(state).File = std::make_unique<TMMIOFile>();
    FileOf(state).SetFileName(it.FileName);
    CreateForWriting(it, state);
}

void PrepareExtend(TIteration& it, TMethodState& state) {
    TMMIOFile& file = FileOf(state);
    const auto size = static_cast<std::int32_t>(it.FileSize);
    const std::int32_t moved = file.Seek(size) == size ? file.Write(it.Buffer, 1) : -1;
    if (moved != 1) {
        ThrowShortTransfer(TPassKind::Prepare, it.Host.ChunkLabel(), it.FileSize,
                           std::uint64_t{it.FileSize} + 1);
    }
    file.Close();
}

TPassTiming WritePass(TIteration& it, TMethodState& state) {
    TMMIOFile& file = FileOf(state);
    const void* buffer = it.Buffer;
    const std::int32_t count = it.BlockSize;
    return TimedLoop(it, TPassKind::Write, [&] { return file.Write(buffer, count); });
}

void EndWritePass(TIteration&, TMethodState& state) {
    FileOf(state).FlushToDevice();
}

void ClosePass(TIteration&, TMethodState& state) {
    FileOf(state).Close();
}

void OpenForRead(TIteration& it, TMethodState& state) {
    const bool buffered = it.ReadBuffered;
    FileOf(state).SetMode(buffered, maRead, msExclusive);
    FileOf(state).OpenExisting();
    if (buffered) {
        FileOf(state).SetBufferSize(it.ChunkSize);
    }
}

TPassTiming ReadPass(TIteration& it, TMethodState& state) {
    TMMIOFile& file = FileOf(state);
    void* buffer = it.Buffer;
    const std::int32_t count = it.BlockSize;
    return TimedLoop(it, TPassKind::Read, [&] { return file.Read(buffer, count); });
}

void CleanUp(TIteration&, TMethodState& state) noexcept {
    std::unique_ptr<TMMIOFile>& file = StateOf<TMmioState>(state).File;
    if (file == nullptr) {
        return;
    }
    try {
        file->Close();
    } catch (const std::exception& error) {
        NoteSecondaryError(error.what());
    }
    file.reset();
}

} // namespace

extern const TMethodOps MmioMethodOps = {
    "mmio",    "mmio",       true,      NewState,    PrepareOpen, PrepareExtend, CreateForWriting,
    WritePass, EndWritePass, ClosePass, OpenForRead, ReadPass,    CleanUp};

} // namespace orvane
