// The report writers, all driven by the column tables.
#include "results/Report.h"

#include "bench/ShownText.h"
#include "results/Columns.h"
#include "results/JsonCells.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace orvane::results {

namespace {

bool IsValidUtf8(const std::string& text) {
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::type_error&) {
        return false;
    }
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

// The write rows first, then the read rows, as both lists show them.
template <typename Visit> void EachRow(const TSavedRun& run, Visit&& visit) {
    for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
        for (const TResultRow& row : run.Rows) {
            if (row.Pass == pass) {
                visit(row);
            }
        }
    }
}

std::string Table(const TSavedRun& run) {
    std::string out;
    const bool repeats = std::any_of(run.Rows.begin(), run.Rows.end(), [](const TResultRow& r) {
        return r.DurationSamples.size() > 1;
    });
    const auto shown = [repeats](const TColumn& column) {
        return column.Header != nullptr && (repeats || !column.RepeatsOnly);
    };
    const auto cell = [&out](const TColumn& column, const std::string& text, bool first) {
        const std::size_t width = static_cast<std::size_t>(std::abs(column.Width));
        const std::string pad(text.size() < width ? width - text.size() : 0, ' ');
        out += first ? "" : " ";
        out += column.Width < 0 ? text + pad : pad + text;
    };
    if (const std::string ceiling = CeilingLine(run.Info); !ceiling.empty()) {
        out += EscapeControls(ceiling) + "\n\n";
    }
    for (const TResultList pass : {TResultList::Write, TResultList::Read}) {
        out += pass == TResultList::Write ? "Write\n" : "\nRead\n";
        bool first = true;
        for (const TColumn& column : RowColumns()) {
            if (shown(column)) {
                cell(column, column.Header, std::exchange(first, false));
            }
        }
        out += "\n";
        for (const TResultRow& row : run.Rows) {
            if (row.Pass != pass) {
                continue;
            }
            first = true;
            for (const TColumn& column : RowColumns()) {
                if (shown(column)) {
                    cell(column, column.Text(row), std::exchange(first, false));
                }
            }
            out += "\n";
            if (const std::string note = InterruptionNote(row); !note.empty()) {
                out += "  " + note + "\n"; // under the row whose time it explains
            }
        }
    }
    if (std::any_of(run.Rows.begin(), run.Rows.end(),
                    [](const TResultRow& r) { return r.Steady == false; })) {
        out += "\n* not steady: the interval stayed wider than +-" +
               DecimalText(run.Info.Mode.TargetPercent, 1) + " % after " +
               std::to_string(run.Info.Mode.MaxRepeats) + " repeats\n";
    }
    return out;
}

std::string Csv(const TSavedRun& run) {
    std::string out;
    for (const TColumn& column : RowColumns()) {
        out += column.Name;
        out += ",";
    }
    std::string header, values;
    for (const TInfoField& field : InfoFields()) {
        if (field.Csv != nullptr) {
            header += (header.empty() ? "" : ",") + std::string(field.Csv);
            values += (values.empty() ? "" : ",") + CsvText(field.Value(run.Info), 0);
        }
    }
    // The run's fields are columns of every row, so that one record stands alone.
    out += header + "\n";
    EachRow(run, [&](const TResultRow& row) {
        for (const TColumn& column : RowColumns()) {
            out += CsvText(column.Value(row), column.Decimals) + ",";
        }
        out += values + "\n";
    });
    return out;
}

std::string Json(const TSavedRun& run) {
    nlohmann::json document = nlohmann::json::object();
    document["kind"] = RunKind;
    document["schema"] = ReportSchema;
    for (const TInfoField& field : InfoFields()) {
        PutDotted(document, field.Json, JsonOfCell(field.Value(run.Info)));
    }
    nlohmann::json rows = nlohmann::json::array();
    EachRow(run, [&](const TResultRow& row) {
        nlohmann::json object = nlohmann::json::object();
        for (const TColumn& column : RowColumns()) {
            object[column.Name] = JsonOfCell(column.Value(row));
        }
        rows.push_back(std::move(object));
    });
    document["rows"] = std::move(rows);
    if (!IsValidUtf8(run.Info.TestFile)) {
        // The name is shown with replacement characters; its bytes stay recoverable.
        document["test_file_bytes_hex"] = Hex(run.Info.TestFile);
    }
    return document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

} // namespace

std::string ReportText(const TSavedRun& run, TFormat format) {
    switch (format) {
    case TFormat::Csv:
        return Csv(run);
    case TFormat::Json:
        return Json(run);
    case TFormat::Table:
        break;
    }
    return Table(run);
}

std::string TabText(const TSavedRun& run) {
    std::string text;
    for (const TColumn& column : RowColumns()) {
        text += (text.empty() ? "" : "\t") + std::string(column.Name);
    }
    text += "\n";
    EachRow(run, [&](const TResultRow& row) {
        std::string line;
        for (const TColumn& column : RowColumns()) {
            line += (line.empty() ? "" : "\t") + CsvText(column.Value(row), column.Decimals, '\t');
        }
        text += line + "\n";
    });
    return text;
}

} // namespace orvane::results
