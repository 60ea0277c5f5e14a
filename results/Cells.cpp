// Values of results as text and back, in the C locale's terms.
#include "results/Cells.h"

#include <charconv>
#include <cmath>

namespace orvane::results {

namespace {

double NumberOf(std::string_view text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end) {
        throw EBadCell("\"" + std::string(text.substr(0, 40)) + "\" is not a number");
    }
    return value;
}

} // namespace

std::string DecimalText(double value, int decimals) {
    char text[400]; // the widest fixed text of a double with up to 9 decimals
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (error != std::errc()) {
        return std::isfinite(value) ? "?" : (std::isnan(value) ? "nan" : "inf");
    }
    return {text, end};
}

std::string CsvField(std::string_view text, char separator) {
    const char special[] = {separator, '"', '\n', '\r', '\0'};
    if (text.find_first_of(special) == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    return quoted + "\"";
}

std::string CsvText(const TCell& cell, int decimals, char separator) {
    if (const auto* text = std::get_if<std::string>(&cell)) {
        return CsvField(*text, separator);
    }
    if (const auto* list = std::get_if<std::vector<double>>(&cell)) {
        std::string joined;
        for (const double value : *list) {
            joined += (joined.empty() ? "" : ";") + DecimalText(value, decimals);
        }
        return joined;
    }
    if (const auto* count = std::get_if<std::uint64_t>(&cell)) {
        return std::to_string(*count);
    }
    if (const auto* number = std::get_if<double>(&cell)) {
        return DecimalText(*number, decimals);
    }
    if (const auto* flag = std::get_if<bool>(&cell)) {
        return *flag ? "true" : "false";
    }
    return {};
}

void CheckCell(const TCell& cell, TCellKind kind) {
    if (std::holds_alternative<std::monostate>(cell)) {
        return;
    }
    const auto number = [](double value) {
        if (!std::isfinite(value) || value < 0 || value > MaxNumber) {
            throw EBadCell("the number " + DecimalText(value, 3) +
                           " is out of the range a run can measure");
        }
    };
    switch (kind) {
    case TCellKind::Text:
        if (const auto* text = std::get_if<std::string>(&cell)) {
            if (text->size() > MaxTextBytes) {
                throw EBadCell("the text is longer than " + std::to_string(MaxTextBytes) +
                               " bytes");
            }
            return;
        }
        throw EBadCell("it is not a text");
    case TCellKind::Count:
        if (const auto* count = std::get_if<std::uint64_t>(&cell)) {
            if (*count > MaxCount) {
                throw EBadCell("the count " + std::to_string(*count) + " is too large");
            }
            return;
        }
        throw EBadCell("it is not a whole number of 0 or more");
    case TCellKind::Number:
        if (const auto* value = std::get_if<double>(&cell)) {
            number(*value);
            return;
        }
        throw EBadCell("it is not a number");
    case TCellKind::Numbers:
        if (const auto* list = std::get_if<std::vector<double>>(&cell)) {
            if (list->size() > MaxListLength) {
                throw EBadCell("the list has more than " + std::to_string(MaxListLength) +
                               " values");
            }
            for (const double value : *list) {
                number(value);
            }
            return;
        }
        throw EBadCell("it is not a list of numbers");
    case TCellKind::Flag:
        if (std::holds_alternative<bool>(cell)) {
            return;
        }
        throw EBadCell("it is not true or false");
    }
}

TCell CellFromText(std::string_view text, TCellKind kind) {
    if (text.empty()) {
        return std::monostate{};
    }
    TCell cell;
    switch (kind) {
    case TCellKind::Text:
        cell = std::string(text);
        break;
    case TCellKind::Count: {
        std::uint64_t value = 0;
        const char* end = text.data() + text.size();
        const auto [stop, error] = std::from_chars(text.data(), end, value);
        if (error != std::errc() || stop != end) {
            throw EBadCell("\"" + std::string(text.substr(0, 40)) +
                           "\" is not a whole number of 0 or more");
        }
        cell = value;
        break;
    }
    case TCellKind::Number:
        cell = NumberOf(text);
        break;
    case TCellKind::Numbers: {
        std::vector<double> list;
        std::size_t start = 0;
        while (start <= text.size() && list.size() <= MaxListLength) {
            const std::size_t split = text.find(';', start);
            const std::size_t end = split == std::string_view::npos ? text.size() : split;
            list.push_back(NumberOf(text.substr(start, end - start)));
            if (split == std::string_view::npos) {
                break;
            }
            start = split + 1;
        }
        cell = std::move(list);
        break;
    }
    case TCellKind::Flag:
        if (text != "true" && text != "false") {
            throw EBadCell("\"" + std::string(text.substr(0, 40)) + "\" is not true or false");
        }
        cell = text == "true";
        break;
    }
    CheckCell(cell, kind);
    return cell;
}

std::vector<std::vector<std::string>> ParseCsv(std::string_view text) {
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;
    bool any = false; // the record has begun
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') {
                field += c;
            } else if (i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = false;
            }
            continue;
        }
        if (c == '"') {
            quoted = true;
            any = true;
        } else if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
            any = true;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            if (any || !field.empty()) {
                record.push_back(std::move(field));
                records.push_back(std::move(record));
            }
            field.clear();
            record.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (quoted) {
        throw EBadCell("a quoted field is not closed");
    }
    if (any || !field.empty()) {
        record.push_back(std::move(field));
        records.push_back(std::move(record));
    }
    return records;
}

} // namespace orvane::results
