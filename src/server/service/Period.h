#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The stretches of time the world list can be limited to. Days, weeks (from Monday) and
// months are counted in UTC, so every visitor sees the same list.
enum class TPeriod { Today, Week, Month, All };

// "today", "week", "month", "all".
std::string_view PeriodName(TPeriod period);
std::optional<TPeriod> ParsePeriod(std::string_view name);

// The first second (Unix time) that counts for the period at the moment now; 0 for All.
std::int64_t PeriodStart(TPeriod period, std::int64_t now);

// "2026-11-01 14:05" and "2026-11-01T14:05:09Z", both UTC.
std::string FormatMinuteUtc(std::int64_t unixSeconds);
std::string FormatIsoUtc(std::int64_t unixSeconds);
