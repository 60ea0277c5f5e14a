// The "mmio" method: TMMIOFile, with mmio's own buffer of the chunk size where the pass's
// box is ticked.
#include "bench/Methods.h"
#include "bench/TimedLoop.h"
#include "fileio/SecondaryErrors.h"

namespace orvane {

namespace {

void CreateForWriting(TIteration& it) {
    const bool buffered = it.Host.WriteBuffered();
    it.MmioFile->SetMode(buffered, maWrite, msExclusive);
    it.MmioFile->CreateNew();
    if (buffered) {
        it.MmioFile->SetBufferSize(it.ChunkSize);
    }
}

void PrepareOpen(TIteration& it) {
    it.MmioFile = std::make_unique<TMMIOFile>();
    it.MmioFile->SetFileName(it.FileName);
    CreateForWriting(it);
}

void PrepareExtend(TIteration& it) {
    const auto size = static_cast<std::int32_t>(it.FileSize);
    const std::int32_t moved =
        it.MmioFile->Seek(size) == size ? it.MmioFile->Write(it.Buffer, 1) : -1;
    if (moved != 1) {
        ThrowShortTransfer(TPassKind::Prepare, it.Host.ChunkLabel(), it.FileSize,
                           std::uint64_t{it.FileSize} + 1);
    }
    it.MmioFile->Close();
}

TPassTiming WritePass(TIteration& it) {
    TMMIOFile& file = *it.MmioFile;
    const void* buffer = it.Buffer;
    const std::int32_t count = it.BlockSize;
    return TimedLoop(it, TPassKind::Write, [&] { return file.Write(buffer, count); });
}

void ClosePass(TIteration& it) {
    it.MmioFile->Close();
}

void OpenForRead(TIteration& it) {
    const bool buffered = it.Host.ReadBuffered();
    it.MmioFile->SetMode(buffered, maRead, msExclusive);
    it.MmioFile->OpenExisting();
    if (buffered) {
        it.MmioFile->SetBufferSize(it.ChunkSize);
    }
}

TPassTiming ReadPass(TIteration& it) {
    TMMIOFile& file = *it.MmioFile;
    void* buffer = it.Buffer;
    const std::int32_t count = it.BlockSize;
    return TimedLoop(it, TPassKind::Read, [&] { return file.Read(buffer, count); });
}

void CleanUp(TIteration& it) noexcept {
    if (it.MmioFile == nullptr) {
        return;
    }
    try {
        it.MmioFile->Close();
    } catch (const std::exception& error) {
        NoteSecondaryError(error.what());
    }
    it.MmioFile.reset();
}

} // namespace

const TMethodOps MmioMethodOps = {PrepareOpen, PrepareExtend, CreateForWriting, WritePass,
                                  ClosePass,   OpenForRead,   ReadPass,         CleanUp};

} // namespace orvane
