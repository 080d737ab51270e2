#pragma once

#include <string_view>

// The description of the JSON API (OpenAPI 3.0), served at /api/v1/openapi.json.
std::string_view OpenApiDocument();
