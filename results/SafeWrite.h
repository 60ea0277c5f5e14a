// The one way the program writes a file of results (reports, charts, saved runs, the run
// history): the whole file or nothing, never through a link someone else planted, and never
// over a file the user did not name.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace orvane::results {

// What a name the user gave for writing stands for, its links followed as the kernel's
// protected_symlinks rule allows: in a sticky directory that everyone may write, a link is
// followed only when it belongs to the user or to the directory's owner.
struct TWriteTarget {
    std::string Path;    // the final name, links resolved; where the file goes
    bool Exists = false; // something is there
    bool Regular =
        false;        // a regular file (replaced whole); else a device or pipe, written in place
    mode_t Mode = 0;  // of what is there
    dev_t Device = 0; // with Inode, the identity of what is there
    ino_t Inode = 0;
    std::string Problem; // why nothing can be written there; empty when it can
};

TWriteTarget ResolveWriteTarget(const std::string& path);

// Empty when a whole file can be written at `path`, else why not: checked before a long run
// so that it does not end in results that can't be kept.
std::string WriteTargetProblem(const std::string& path);

// True when the two names lead to the same file: the same final name, or the same inode.
bool SameFile(const std::string& a, const std::string& b);

enum class TPlacement {
    Replace,   // an existing regular file is replaced whole (keeping its mode)
    CreateNew, // the name must be free; an existing file is never replaced
};

struct TWriteOutcome {
    std::string Problem;    // empty on success, else the reason
    bool NameTaken = false; // CreateNew found the name taken
    explicit operator bool() const { return Problem.empty(); }
};

// Writes `bytes` as the whole file at `path`: into a new temporary file made exclusively in
// the target's directory, flushed to the device, renamed into place, the directory flushed.
// A device or a pipe at the name is written in place instead. A new file gets `newMode`
// less the umask, a replaced one keeps its mode. On failure the target is as it was and no
// temporary file is left.
TWriteOutcome WriteWholeFile(const std::string& path, std::string_view bytes,
                             TPlacement placement = TPlacement::Replace, mode_t newMode = 0666);

// Makes each missing folder of the absolute `path` with `mode`; empty on success, else the
// folder and the reason.
std::string MakeFolders(const std::string& path, mode_t mode);

// `path` made absolute against `directory` (itself absolute); an absolute path as it is.
std::string AbsoluteAgainst(const std::string& path, const std::string& directory);

// The current directory, or empty where it can't be told.
std::string CurrentDirectory();

} // namespace orvane::results
