// Reading the moment given to --start-at.
#include "cli/StartAt.h"

#include <charconv>
#include <regex>
#include <string>

namespace orvane::cli {

namespace {

// Unix seconds up to the year 5138: far beyond any start a run would wait for.
constexpr std::size_t MostUnixDigits = 11;

int Number(const std::ssub_match& match) {
    int value = 0;
    const std::string text = match.str();
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace

std::optional<TWallTime> ParseStartAt(std::string_view text) {
    using namespace std::chrono;
    const std::string whole(text);
    if (!whole.empty() && whole.size() <= MostUnixDigits &&
        whole.find_first_not_of("0123456789") == std::string::npos) {
        long long seconds = 0;
        std::from_chars(whole.data(), whole.data() + whole.size(), seconds);
        return TWallTime(std::chrono::seconds(seconds));
    }
    static const std::regex iso(
        R"((\d{4})-(\d{2})-(\d{2})[Tt ](\d{2}):(\d{2})(?::(\d{2})(?:[.,](\d{1,9}))?)?)"
        R"((?:([Zz])|([+-])(\d{2})(?::?(\d{2}))?))");
    std::smatch parts;
    if (!std::regex_match(whole, parts, iso)) {
        return std::nullopt;
    }
    const year_month_day day{year{Number(parts[1])}, month{static_cast<unsigned>(Number(parts[2]))},
                             std::chrono::day{static_cast<unsigned>(Number(parts[3]))}};
    const int hour = Number(parts[4]), minute = Number(parts[5]);
    const int second = parts[6].matched ? Number(parts[6]) : 0;
    const int offsetHours = parts[10].matched ? Number(parts[10]) : 0;
    const int offsetMinutes = parts[11].matched ? Number(parts[11]) : 0;
    if (!day.ok() || hour > 23 || minute > 59 || second > 59 || offsetHours > 23 ||
        offsetMinutes > 59) {
        return std::nullopt;
    }
    nanoseconds fraction{0};
    if (parts[7].matched) {
        std::string digits = parts[7].str();
        digits.resize(9, '0');
        fraction = nanoseconds(std::stoll(digits));
    }
    const minutes offset =
        (parts[9].str() == "-" ? -1 : 1) * (hours(offsetHours) + minutes(offsetMinutes));
    const auto local = sys_days(day) + hours(hour) + minutes(minute) + seconds(second) + fraction;
    return time_point_cast<TWallTime::duration>(local - offset);
}

} // namespace orvane::cli
