#include "server/OpenApi.h"

namespace {

constexpr std::string_view kDocument = R"json({
  "openapi": "3.0.3",
  "info": {
    "title": "Spraydash world high scores",
    "version": "1",
    "description": "The world list of Spraydash results, read-only. Places: ties share a place, the next one skips. Days, weeks (from Monday) and months count in UTC. Every answer may be cached until the list changes (Cache-Control: no-cache; ask again with If-None-Match)."
  },
  "paths": {
    "/api/v1/scores": {
      "get": {
        "summary": "A part of the list, best first",
        "parameters": [
          {"$ref": "#/components/parameters/period"},
          {"name": "offset", "in": "query", "description": "Places to skip.", "schema": {"type": "integer", "minimum": 0, "maximum": 100000000, "default": 0}},
          {"name": "limit", "in": "query", "description": "Entries at most.", "schema": {"type": "integer", "minimum": 1, "maximum": 100, "default": 100}}
        ],
        "responses": {
          "200": {"description": "The entries", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Scores"}}}},
          "400": {"$ref": "#/components/responses/BadRequest"},
          "503": {"$ref": "#/components/responses/Unavailable"}
        }
      }
    },
    "/api/v1/rank": {
      "get": {
        "summary": "The place a score would take",
        "parameters": [
          {"name": "score", "in": "query", "required": true, "schema": {"type": "integer", "minimum": -2147483648, "maximum": 2147483647}},
          {"$ref": "#/components/parameters/period"}
        ],
        "responses": {
          "200": {"description": "The place", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Rank"}}}},
          "400": {"$ref": "#/components/responses/BadRequest"},
          "503": {"$ref": "#/components/responses/Unavailable"}
        }
      }
    },
    "/api/v1/openapi.json": {
      "get": {
        "summary": "This description",
        "responses": {"200": {"description": "OpenAPI 3.0", "content": {"application/json": {"schema": {"type": "object"}}}}}
      }
    }
  },
  "components": {
    "parameters": {
      "period": {"name": "period", "in": "query", "description": "Results received today, this week, this month or at any time.", "schema": {"type": "string", "enum": ["today", "week", "month", "all"], "default": "all"}}
    },
    "schemas": {
      "Period": {
        "type": "object",
        "required": ["period", "since"],
        "properties": {
          "period": {"type": "string", "enum": ["today", "week", "month", "all"]},
          "since": {"type": "string", "format": "date-time", "nullable": true, "description": "The period's start; null for all."}
        }
      },
      "Entry": {
        "type": "object",
        "additionalProperties": false,
        "required": ["rank", "name", "score", "crew", "time"],
        "properties": {
          "rank": {"type": "integer", "minimum": 1},
          "name": {"type": "string", "description": "As the player typed it (UTF-8); may be empty."},
          "score": {"type": "integer"},
          "crew": {"type": "string"},
          "time": {"type": "string", "format": "date-time", "description": "When the result arrived (UTC)."}
        }
      },
      "Scores": {
        "type": "object",
        "additionalProperties": false,
        "required": ["period", "since", "offset", "limit", "total", "entries"],
        "properties": {
          "period": {"type": "string", "enum": ["today", "week", "month", "all"]},
          "since": {"type": "string", "format": "date-time", "nullable": true},
          "offset": {"type": "integer", "minimum": 0},
          "limit": {"type": "integer", "minimum": 1, "maximum": 100},
          "total": {"type": "integer", "minimum": 0, "description": "Entries in the period."},
          "entries": {"type": "array", "maxItems": 100, "items": {"$ref": "#/components/schemas/Entry"}}
        }
      },
      "Rank": {
        "type": "object",
        "additionalProperties": false,
        "required": ["period", "since", "score", "rank", "total"],
        "properties": {
          "period": {"type": "string", "enum": ["today", "week", "month", "all"]},
          "since": {"type": "string", "format": "date-time", "nullable": true},
          "score": {"type": "integer"},
          "rank": {"type": "integer", "minimum": 1},
          "total": {"type": "integer", "minimum": 0}
        }
      }
    },
    "responses": {
      "BadRequest": {"description": "A parameter is unknown, given twice or out of range; the reason in one line", "content": {"text/plain": {"schema": {"type": "string"}}}},
      "Unavailable": {"description": "The store cannot be reached and no earlier copy of the answer is kept", "content": {"text/plain": {"schema": {"type": "string"}}}}
    }
  }
}
)json";

} // namespace

std::string_view OpenApiDocument() {
    return kDocument;
}
