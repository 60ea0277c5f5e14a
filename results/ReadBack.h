// The pieces every reader of saved results shares (a run's and a matrix's): the file's bytes
// read as hostile input, the run's fields and one row read back through the column tables,
// and the error that names the file and the field. For the readers in results/ only.
#pragma once

#include "bench/ResultRow.h"
#include "results/RunInfo.h"

#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace orvane::results {

[[noreturn]] void Fail(const std::string& name, const std::string& what);
[[noreturn]] void FailField(const std::string& name, const std::string& field,
                            const std::string& why);

// The file's bytes: a regular file only (a FIFO, a device or a folder is refused without
// waiting on it), and no more than a saved run can be.
std::string ReadResultsFile(const std::string& path);

// The run's fields found in the document (a matrix's: those not RunOnly) into `info`.
void ReadInfoJson(const nlohmann::json& document, TRunInfo& info, const std::string& name,
                  bool matrix);
// A CSV file's columns by name, from its header.
using TCsvColumns = std::map<std::string, std::size_t>;
TCsvColumns CsvColumns(const std::vector<std::string>& header);

// `visit(record, where)` for each record after the header ("record 4, " the `where` of its
// errors), every one checked to be as wide as the header.
template <typename Visit>
void EachCsvRecord(const std::vector<std::vector<std::string>>& records, const std::string& name,
                   Visit&& visit) {
    for (std::size_t r = 1; r < records.size(); ++r) {
        const std::string where = "record " + std::to_string(r + 1);
        if (records[r].size() != records[0].size()) {
            Fail(name, where + " has " + std::to_string(records[r].size()) +
                           " fields where the header has " + std::to_string(records[0].size()));
        }
        visit(records[r], where + ", ");
    }
}

// The run's fields found in a CSV record into `info`, as ReadInfoJson does.
void ReadInfoCsv(const std::vector<std::string>& record, const TCsvColumns& at, TRunInfo& info,
                 const std::string& name, const std::string& where, bool matrix);

// One row read back and checked; `where` ("rows[3].", "record 4, ") prefixes a field's name.
TResultRow ReadRowJson(const nlohmann::json& object, const TRunInfo& info, const std::string& name,
                       const std::string& where);
TResultRow ReadRowCsv(const std::vector<std::string>& record, const TCsvColumns& at,
                      const std::string& name, const std::string& where);

} // namespace orvane::results
