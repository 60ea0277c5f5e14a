// Listing the leftovers of earlier runs.
#include "bench/Leftovers.h"

#include "bench/ShownText.h"
#include "platform/TestFileGuard.h"

namespace orvane {

namespace {

const char* const LeftoversHeading = "Test files left behind by an earlier run:";
const char* const CleanCommand = "\"orvane-cli --clean ";
const char* const CleanAdvice = "\" removes them and nothing else.";

} // namespace

std::string ShellWord(const std::string& path) {
    const bool plain =
        !path.empty() && path.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVW"
                                                "XYZ0123456789_./-+,:@%") == std::string::npos;
    if (plain) {
        return path;
    }
    std::string quoted = "'";
    for (const char c : path) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::optional<TLeftoverNotice> NoticeOfLeftovers(const std::string& directory,
                                                 std::string (*sizeText)(std::uint64_t)) {
    TLeftoverNotice notice;
    for (const platform::TMarkedFile& file : platform::FindMarkedTestFiles(directory).Files) {
        if (file.InUse) {
            continue; // a live run's file, in this pid namespace or another
        }
        std::string line = EscapeControls(file.Path) + " (" + sizeText(file.Size);
        // The mark says which process made it; a file known by its name alone says nothing.
        line += file.Pid > 0 ? ", left by process " + std::to_string(file.Pid)
                             : std::string(", known by its name");
        notice.Files.push_back(line + ")");
    }
    if (notice.Files.empty()) {
        return std::nullopt;
    }
    notice.Heading = LeftoversHeading;
    notice.Advice = CleanCommand + EscapeControls(ShellWord(directory)) + CleanAdvice;
    return notice;
}

} // namespace orvane
