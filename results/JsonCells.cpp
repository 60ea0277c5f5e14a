// JSON values of results.
#include "results/JsonCells.h"

#include <cstring>

namespace orvane::results {

nlohmann::json JsonOfCell(const TCell& cell) {
    return std::visit(
        [](const auto& value) -> nlohmann::json {
            if constexpr (std::is_same_v<std::decay_t<decltype(value)>, std::monostate>) {
                return nullptr;
            } else {
                return value;
            }
        },
        cell);
}

TCell CellOfJson(const nlohmann::json& value, TCellKind kind) {
    if (value.is_null()) {
        return std::monostate{};
    }
    TCell cell;
    switch (kind) {
    case TCellKind::Text:
        if (!value.is_string()) {
            throw EBadCell("it is not a text");
        }
        cell = value.get<std::string>();
        break;
    case TCellKind::Count:
        if (!value.is_number_unsigned() &&
            !(value.is_number_integer() && value.get<long long>() >= 0)) {
            throw EBadCell("it is not a whole number of 0 or more");
        }
        cell = value.get<std::uint64_t>();
        break;
    case TCellKind::Number:
        if (!value.is_number()) {
            throw EBadCell("it is not a number");
        }
        cell = value.get<double>();
        break;
    case TCellKind::Numbers: {
        if (!value.is_array() || value.size() > MaxListLength) {
            throw EBadCell(value.is_array() ? "the list has more than " +
                                                  std::to_string(MaxListLength) + " values"
                                            : std::string("it is not a list of numbers"));
        }
        std::vector<double> list;
        list.reserve(value.size());
        for (const nlohmann::json& item : value) {
            if (!item.is_number()) {
                throw EBadCell("the list holds something other than numbers");
            }
            list.push_back(item.get<double>());
        }
        cell = std::move(list);
        break;
    }
    case TCellKind::Flag:
        if (!value.is_boolean()) {
            throw EBadCell("it is not true or false");
        }
        cell = value.get<bool>();
        break;
    }
    CheckCell(cell, kind);
    return cell;
}

const nlohmann::json* FindDotted(const nlohmann::json& object, const char* key) {
    const nlohmann::json* at = &object;
    const char* part = key;
    while (true) {
        const char* dot = std::strchr(part, '.');
        const std::string name = dot == nullptr ? std::string(part) : std::string(part, dot);
        if (!at->is_object()) {
            return nullptr;
        }
        const auto it = at->find(name);
        if (it == at->end()) {
            return nullptr;
        }
        at = &*it;
        if (dot == nullptr) {
            return at;
        }
        part = dot + 1;
    }
}

void PutDotted(nlohmann::json& object, const char* key, nlohmann::json value) {
    nlohmann::json* at = &object;
    const char* part = key;
    while (const char* dot = std::strchr(part, '.')) {
        at = &(*at)[std::string(part, dot)];
        part = dot + 1;
    }
    (*at)[part] = std::move(value);
}

} // namespace orvane::results
