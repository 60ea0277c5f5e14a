// The "Win32" method: TKoHugeFile with block size 1, its buffer 64 KiB or, where the
// pass's box is ticked, the chunk size rounded up to whole pages.
#include "bench/Methods.h"
#include "bench/TimedLoop.h"

namespace orvane {

namespace {

void OpenForWriting(TIteration& it) {
    try {
        if (it.Host.WriteBuffered()) {
            it.HugeFile->RewriteBuffered(1, static_cast<std::uint32_t>(it.ChunkSize), false);
        } else {
            it.HugeFile->Rewrite(1);
        }
    } catch (...) {
        // Created before the open failed (its buffer, say): the clean-up must find it.
        if (it.HugeFile->OpenGotHandle()) {
            it.Created.Capture();
        }
        throw;
    }
    it.Created.Capture();
}

void PrepareOpen(TIteration& it) {
    it.HugeFile = std::make_unique<TKoHugeFile>(it.FileName, FILE_ATTRIBUTE_NORMAL,
                                                GENERIC_READ | GENERIC_WRITE, ShareDerived);
    OpenForWriting(it);
}

void PrepareExtend(TIteration& it) {
    it.HugeFile->Seek(it.FileSize);
    std::uint32_t written = 0;
    it.HugeFile->BlockWrite(it.Buffer, 1, written);
    if (written != 1) {
        ThrowShortTransfer(TPassKind::Write, it.Host.ChunkLabel(), it.FileSize,
                           std::uint64_t{it.FileSize} + 1);
    }
    it.HugeFile->Close();
}

TPassTiming WritePass(TIteration& it) {
    TKoHugeFile& file = *it.HugeFile;
    const void* buffer = it.Buffer;
    const auto count = static_cast<std::uint32_t>(it.BlockSize);
    return TimedLoop(it, TPassKind::Write, [&] {
        std::uint32_t written = 0;
        file.BlockWrite(buffer, count, written);
        return static_cast<std::int32_t>(written);
    });
}

void ClosePass(TIteration& it) {
    it.HugeFile->Close();
}

void OpenForRead(TIteration& it) {
    if (it.Host.ReadBuffered()) {
        it.HugeFile->ResetBuffered(1, static_cast<std::uint32_t>(it.ChunkSize), false);
    } else {
        it.HugeFile->Reset(1);
    }
}

TPassTiming ReadPass(TIteration& it) {
    TKoHugeFile& file = *it.HugeFile;
    void* buffer = it.Buffer;
    const auto count = static_cast<std::uint32_t>(it.BlockSize);
    return TimedLoop(it, TPassKind::Read, [&] {
        std::uint32_t read = 0;
        file.BlockRead(buffer, count, read);
        return static_cast<std::int32_t>(read);
    });
}

// The object's destructor closes the file; a close that fails is kept as a secondary error.
void CleanUp(TIteration& it) noexcept {
    it.HugeFile.reset();
}

} // namespace

const TMethodOps Win32MethodOps = {PrepareOpen, PrepareExtend, OpenForWriting, WritePass,
                                   ClosePass,   OpenForRead,   ReadPass,       CleanUp};

} // namespace orvane
