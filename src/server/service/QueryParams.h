#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The parameters of a query string, as the pages and the API read them.
struct TParam {
    std::string_view Key;
    std::string_view Value;
    bool HasValue = false;
};

std::vector<TParam> SplitQuery(std::string_view query);
// A query value as sent by a form: "+" for a space, "%XX" for a byte; nullopt when malformed.
std::optional<std::string> PercentDecoded(std::string_view text);
// A decimal whole number within [min, max], nothing else.
std::optional<std::int64_t> ParseInt(std::string_view text, std::int64_t min, std::int64_t max);
// Checks the parameters of an API call: every one known, none given twice (else error says which).
bool KnownParams(const std::vector<TParam>& params, std::initializer_list<std::string_view> known,
                 std::string& error);
// The last parameter of that name; null when none.
const TParam* Find(const std::vector<TParam>& params, std::string_view key);
// A parameter given with a value; an empty one (period=&limit=) counts as not given.
const TParam* Given(const std::vector<TParam>& params, std::string_view key);
