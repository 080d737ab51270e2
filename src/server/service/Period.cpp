#include "server/service/Period.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

std::chrono::sys_days DayOf(std::int64_t unixSeconds) {
    return std::chrono::floor<std::chrono::days>(std::chrono::sys_seconds{std::chrono::seconds{unixSeconds}});
}

std::int64_t ToUnix(std::chrono::sys_days day) {
    return std::chrono::duration_cast<std::chrono::seconds>(day.time_since_epoch()).count();
}

struct TCalendar {
    int Year;
    unsigned Month, Day, Hour, Minute, Second;
};

TCalendar Split(std::int64_t unixSeconds) {
    auto day = DayOf(unixSeconds);
    std::chrono::year_month_day ymd{day};
    std::int64_t secondOfDay = unixSeconds - ToUnix(day);
    return {static_cast<int>(ymd.year()),
            static_cast<unsigned>(ymd.month()),
            static_cast<unsigned>(ymd.day()),
            static_cast<unsigned>(secondOfDay / 3600),
            static_cast<unsigned>(secondOfDay / 60 % 60),
            static_cast<unsigned>(secondOfDay % 60)};
}

} // namespace

std::string_view PeriodName(TPeriod period) {
    switch (period) {
    case TPeriod::Today:
        return "today";
    case TPeriod::Week:
        return "week";
    case TPeriod::Month:
        return "month";
    case TPeriod::All:
        break;
    }
    return "all";
}

std::optional<TPeriod> ParsePeriod(std::string_view name) {
    for (TPeriod p : {TPeriod::Today, TPeriod::Week, TPeriod::Month, TPeriod::All})
        if (PeriodName(p) == name)
            return p;
    return std::nullopt;
}

std::int64_t PeriodStart(TPeriod period, std::int64_t now) {
    auto day = DayOf(now);
    switch (period) {
    case TPeriod::Today:
        return ToUnix(day);
    case TPeriod::Week: {
        std::chrono::weekday weekday{day};
        auto sinceMonday = (weekday - std::chrono::Monday).count();
        return ToUnix(day) - static_cast<std::int64_t>(sinceMonday) * kSecondsPerDay;
    }
    case TPeriod::Month: {
        std::chrono::year_month_day ymd{day};
        return ToUnix(std::chrono::sys_days{ymd.year() / ymd.month() / 1});
    }
    case TPeriod::All:
        break;
    }
    return 0;
}

std::string FormatMinuteUtc(std::int64_t unixSeconds) {
    TCalendar c = Split(unixSeconds);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u", c.Year, c.Month, c.Day, c.Hour, c.Minute);
    return text;
}

std::string FormatIsoUtc(std::int64_t unixSeconds) {
    TCalendar c = Split(unixSeconds);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02u:%02u:%02uZ", c.Year, c.Month, c.Day, c.Hour,
                  c.Minute, c.Second);
    return text;
}
