#include "server/service/QueryParams.h"

#include <charconv>

std::vector<TParam> SplitQuery(std::string_view query) {
    std::vector<TParam> params;
    while (!query.empty()) {
        std::size_t amp = query.find('&');
        std::string_view part = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (part.empty())
            continue;
        std::size_t eq = part.find('=');
        if (eq == std::string_view::npos)
            params.push_back({part, {}, false});
        else
            params.push_back({part.substr(0, eq), part.substr(eq + 1), true});
    }
    return params;
}

std::optional<std::string> PercentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%') {
            unsigned value = 0;
            if (i + 2 >= text.size())
                return std::nullopt;
            auto [end, ec] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
            if (ec != std::errc() || end != text.data() + i + 3)
                return std::nullopt;
            out += static_cast<char>(value);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<std::int64_t> ParseInt(std::string_view text, std::int64_t min, std::int64_t max) {
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

bool KnownParams(const std::vector<TParam>& params, std::initializer_list<std::string_view> known,
                 std::string& error) {
    for (std::size_t i = 0; i < params.size(); ++i) {
        bool ok = false;
        for (std::string_view k : known)
            ok = ok || params[i].Key == k;
        if (!ok) {
            error = "unknown parameter \"" + std::string(params[i].Key) + "\"";
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (params[j].Key == params[i].Key) {
                error = "parameter \"" + std::string(params[i].Key) + "\" given twice";
                return false;
            }
        }
    }
    return true;
}

const TParam* Find(const std::vector<TParam>& params, std::string_view key) {
    const TParam* found = nullptr;
    for (const TParam& p : params)
        if (p.Key == key)
            found = &p;
    return found;
}

const TParam* Given(const std::vector<TParam>& params, std::string_view key) {
    const TParam* p = Find(params, key);
    return p && !p->Value.empty() ? p : nullptr;
}
