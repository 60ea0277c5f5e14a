// A fixture for tests that run the benchmark: a scratch folder with the test file's name in
// it, a recording host, and the current directory (which a run changes) restored after.
#pragma once

#include "bench/BenchmarkRun.h"
#include "tests/support/PlatformTestSupport.h"
#include "tests/support/RecordingHost.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace orvane::testing {

class TRunFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char cwd[4096];
        // An earlier test may leave the process in a directory it removed.
        const char* here = ::getcwd(cwd, sizeof cwd);
        FStartDir = here != nullptr ? here : "/";
        Host.Answer = Dir.Path("test.tmp");
    }
    void TearDown() override { (void)::chdir(FStartDir.c_str()); }

    TTempDir Dir;
    TRecordingHost Host;
    TBenchmarkRun Run;
    std::string FStartDir;
};

} // namespace orvane::testing
