#pragma once

#include "server/service/Period.h"
#include "server/store/ScoreStore.h"

#include <cstdint>
#include <string>

// The JSON documents of /api/v1. Times are ISO 8601 in UTC; texts are UTF-8.
std::string ScoresJson(TPeriod period, std::int64_t since, std::int64_t offset, int limit,
                       const TScorePage& page);
std::string RankJson(TPeriod period, std::int64_t since, std::int32_t score, std::int64_t rank,
                     std::int64_t total);
