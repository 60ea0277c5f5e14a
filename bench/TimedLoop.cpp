// The errors of a pass: one that moved fewer bytes than asked, and any other a layer raised
// during it, each naming the pass and its chunk size.
#include "bench/TimedLoop.h"

#include "fileio/KoHugeF.h"
#include "fileio/PlainFile.h"

namespace orvane {

namespace {

const char* const FlushFailedText = " could not flush the test file to the device: ";

std::string PassName(TPassKind pass) {
    return pass == TPassKind::Write ? "The write pass" : "The read pass";
}

// The system's text and its code: "Zugriff verweigert (5)".
std::string SystemReason(DWORD error) {
    return SystemErrorText(error) + " (" + std::to_string(error) + ")";
}

// The plain file's runtime names only a few codes ("Dateizugriff verweigert"); the rest it
// shows as "E/A-Fehler 1117", whose reason the system's text gives.
std::string PlainFileText(const EInOutError& error) {
    // 100 to 106 are the runtime's own codes, never the system's.
    const bool runtimeCode = error.IoCode >= ioReadPastEnd && error.IoCode <= 106;
    if (runtimeCode || error.Message() != "E/A-Fehler " + std::to_string(error.IoCode)) {
        return error.Message();
    }
    return error.Message() + " (" + SystemErrorText(static_cast<DWORD>(error.IoCode)) + ")";
}

} // namespace

void ThrowShortTransfer(TPassKind pass, const std::string& chunkLabel, std::uint64_t moved,
                        std::uint64_t wanted, DWORD error) {
    const std::string reason = error != ERROR_SUCCESS ? ": " + SystemReason(error) : "";
    if (pass == TPassKind::Prepare) {
        throw EShortTransfer("The preparation with chunk size " + chunkLabel +
                             " could not extend the test file to " + std::to_string(wanted) +
                             " bytes" + reason);
    }
    throw EShortTransfer(PassName(pass) + " with chunk size " + chunkLabel + " moved only " +
                         std::to_string(moved) + " of " + std::to_string(wanted) + " bytes" +
                         reason);
}

void RethrowNamingPass(TPassKind pass, const std::string& chunkLabel) {
    const std::string head = PassName(pass) + " with chunk size " + chunkLabel + " failed: ";
    try {
        throw;
    } catch (const EPassError&) {
        throw;
    } catch (const EInOutError& error) {
        throw EPassError(head + PlainFileText(error));
    } catch (const std::exception& error) {
        throw EPassError(head + error.what());
    }
}

void RethrowNamingFlush(const std::string& chunkLabel) {
    try {
        throw;
    } catch (const EPassError&) {
        throw;
    } catch (const std::exception& error) {
        throw EPassError(PassName(TPassKind::Write) + " with chunk size " + chunkLabel +
                         FlushFailedText + error.what());
    }
}

} // namespace orvane
