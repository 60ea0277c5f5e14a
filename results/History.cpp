// Keeping runs in the history folder.
#include "results/History.h"

#include "results/MatrixReport.h"
#include "results/Report.h"
#include "results/SafeWrite.h"

#include <cstdlib>

namespace orvane::results {

std::string HistoryDirectory() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') {
        return std::string(data) + "/orvane/runs";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return std::string(home) + "/.local/share/orvane/runs";
    }
    return {};
}

namespace {

// The start time as a file name's beginning.
std::string StartOfName(const TRunInfo& info) {
    std::string name = info.StartTime;
    for (char& c : name) {
        if (c == ':' || c == '/') {
            c = '-';
        }
    }
    return name;
}

std::string ModeOfName(const TRunInfo& info) {
    std::string name = info.Mode.Durable ? "_durable" : "";
    name += info.Mode.Cold ? "_cold" : "";
    name += info.Mode.Repeats > 1 ? "_x" + std::to_string(info.Mode.Repeats) : "";
    return name;
}

// Writes `report` into the history as `base`.json, or -2, -3, ... where that is taken.
THistoryResult SaveReport(const std::string& baseName, const std::string& report) {
    const std::string folder = HistoryDirectory();
    if (folder.empty()) {
        return {{}, "neither XDG_DATA_HOME nor HOME names a folder for it"};
    }
    if (std::string problem = MakeFolders(folder, 0700); !problem.empty()) {
        return {{}, problem};
    }
    // Two runs that started in the same second each keep a file of their own.
    const std::string base = folder + "/" + baseName;
    for (int n = 1; n < 100; ++n) {
        const std::string path = base + (n == 1 ? "" : "-" + std::to_string(n)) + ".json";
        const TWriteOutcome written = WriteWholeFile(path, report, TPlacement::CreateNew, 0600);
        if (written.NameTaken) {
            continue;
        }
        if (!written) {
            return {{}, path + ": " + written.Problem};
        }
        return {path, {}};
    }
    return {{}, base + ": too many runs with this start time"};
}

} // namespace

std::string HistoryFileName(const TRunInfo& info) {
    std::string name = StartOfName(info);
    name += "_" + info.Method + "_" + info.FileSize + "_b" + info.BlockSize;
    name += info.WriteBuffered ? "_wb" : "";
    name += info.ReadBuffered ? "_rb" : "";
    return name + ModeOfName(info);
}

std::string MatrixHistoryFileName(const TSavedMatrix& matrix) {
    return StartOfName(matrix.Info) + "_matrix_" + matrix.Info.FileSize + ModeOfName(matrix.Info);
}

THistoryResult SaveToHistory(const TSavedRun& run) {
    return SaveReport(HistoryFileName(run.Info), ReportText(run, TFormat::Json));
}

THistoryResult SaveMatrixToHistory(const TSavedMatrix& matrix) {
    return SaveReport(MatrixHistoryFileName(matrix), MatrixReportText(matrix, TFormat::Json));
}

} // namespace orvane::results
