// The directory orvane-cli started in, restored when a run or matrix (which moves into the test
// file's directory) is done with it.
#pragma once

#include "results/SafeWrite.h"

#include <string>
#include <unistd.h>

namespace orvane::cli {

class TCurrentDirectoryKeeper {
public:
    TCurrentDirectoryKeeper() : FDirectory(results::CurrentDirectory()) {}
    ~TCurrentDirectoryKeeper() {
        if (!FDirectory.empty()) {
            [[maybe_unused]] const int ignored = ::chdir(FDirectory.c_str());
        }
    }
    TCurrentDirectoryKeeper(const TCurrentDirectoryKeeper&) = delete;
    TCurrentDirectoryKeeper& operator=(const TCurrentDirectoryKeeper&) = delete;

private:
    std::string FDirectory;
};

} // namespace orvane::cli
