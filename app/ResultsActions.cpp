// Copying and saving results.
#include "app/ResultsActions.h"

#include "results/Columns.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace orvane {

QString ResultsAsTabText(const std::vector<TResultRow>& writeRows,
                         const std::vector<TResultRow>& readRows) {
    std::string text;
    for (const results::TColumn& column : results::RowColumns()) {
        text += (text.empty() ? "" : "\t") + std::string(column.Name);
    }
    text += "\n";
    for (const std::vector<TResultRow>* list : {&writeRows, &readRows}) {
        for (const TResultRow& row : *list) {
            std::string line;
            for (const results::TColumn& column : results::RowColumns()) {
                line += (line.empty() ? "" : "\t") +
                        results::CsvText(column.Value(row), column.Decimals);
            }
            text += line + "\n";
        }
    }
    return QString::fromStdString(text);
}

std::string SaveResults(const std::string& fileName, const results::TRunInfo& info,
                        const std::vector<TResultRow>& writeRows,
                        const std::vector<TResultRow>& readRows) {
    std::ostringstream report;
    const bool json =
        fileName.size() >= 5 && fileName.compare(fileName.size() - 5, 5, ".json") == 0;
    if (json) {
        results::WriteJson(report, info, writeRows, readRows);
    } else {
        results::WriteCsv(report, info, writeRows, readRows);
    }
    const std::string text = report.str();
    // Written beside the file and renamed into place: a failure leaves an earlier file whole.
    const std::string temporary = fileName + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        return std::strerror(errno);
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int writeError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), fileName.c_str()) != 0) {
        const std::string why = std::strerror(!written ? writeError : errno);
        std::remove(temporary.c_str());
        return why;
    }
    return {};
}

} // namespace orvane
