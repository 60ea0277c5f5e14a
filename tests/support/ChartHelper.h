// The chart helper of the window's package for the command line's tests: where its build put
// it, and named to orvane-cli for as long as a test needs it.
#pragma once

#include "charts/ChartExport.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace orvane::cli {

// The chart helper of the window's package, as its build made it; none where it is not built.
inline const char* ChartHelper() {
#ifdef ORVANE_CHART_HELPER_PATH
    return ORVANE_CHART_HELPER_PATH;
#else
    return nullptr;
#endif
}

// While one lives, orvane-cli finds the chart helper it names.
class THelperNamed {
public:
    explicit THelperNamed(const char* path) {
        if (const char* before = std::getenv(charts::ChartHelperVariable)) {
            FBefore = before;
        }
        ::setenv(charts::ChartHelperVariable, path, 1);
    }
    ~THelperNamed() {
        if (FBefore) {
            ::setenv(charts::ChartHelperVariable, FBefore->c_str(), 1);
        } else {
            ::unsetenv(charts::ChartHelperVariable);
        }
    }

private:
    std::optional<std::string> FBefore;
};

} // namespace orvane::cli
