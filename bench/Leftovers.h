// Test files that earlier runs left behind in a directory, and the words both front ends use
// for them: orvane-cli before a run and for --clean, the window after a run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// What is said about a directory's leftovers. Every name in it has passed through
// EscapeControls, so that it is safe on a terminal and one line in a plain-text widget.
struct TLeftoverNotice {
    std::string Heading;            // "Test files left behind by an earlier run:"
    std::vector<std::string> Files; // "/dir/a.tmp (3 KiB, left by process 4242)"
    std::string Advice;             // "\"orvane-cli --clean /dir\" removes them and nothing else."
};

// The test files in `directory` that no live run holds, with their sizes as `sizeText`
// gives them; none when there are none (or the directory can't be read: the run then says
// why in its own words).
std::optional<TLeftoverNotice> NoticeOfLeftovers(const std::string& directory,
                                                 std::string (*sizeText)(std::uint64_t));

// `path` as one word for a shell: quoted where it holds anything but plain characters.
std::string ShellWord(const std::string& path);

} // namespace orvane
