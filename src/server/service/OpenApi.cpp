#include "server/service/OpenApi.h"

namespace {

constexpr std::string_view kDocument = R"json({
  "openapi": "3.0.3",
  "info": {
    "title": "Spraydash world high scores",
    "version": "1",
    "description": "The world list of Spraydash results, and the replays that verify them. Places: ties share a place, the next one skips. Days, weeks (from Monday) and months count in UTC. Every answer may be cached until the list changes (Cache-Control: no-cache; ask again with If-None-Match)."
  },
  "paths": {
    "/api/v1/scores": {
      "get": {
        "summary": "A part of the list, best first",
        "parameters": [
          {"$ref": "#/components/parameters/period"},
          {"name": "offset", "in": "query", "description": "Places to skip.", "schema": {"type": "integer", "minimum": 0, "maximum": 100000000, "default": 0}},
          {"name": "limit", "in": "query", "description": "Entries at most.", "schema": {"type": "integer", "minimum": 1, "maximum": 100, "default": 100}},
          {"$ref": "#/components/parameters/verified"}
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
          {"$ref": "#/components/parameters/period"},
          {"$ref": "#/components/parameters/verified"}
        ],
        "responses": {
          "200": {"description": "The place", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Rank"}}}},
          "400": {"$ref": "#/components/responses/BadRequest"},
          "503": {"$ref": "#/components/responses/Unavailable"}
        }
      }
    },
    "/api/v1/replays": {
      "post": {
        "summary": "Upload a race's replay, to be re-run and to verify its entry",
        "description": "The same bytes always get the same id, so an upload may be repeated: a repeat is answered 200 with where the replay stands.",
        "requestBody": {"required": true, "content": {"application/octet-stream": {"schema": {"type": "string", "format": "binary", "maxLength": 262144}}}},
        "responses": {
          "200": {"description": "Uploaded before; where it stands", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Upload"}}}},
          "202": {"description": "Accepted; it is re-run shortly", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Upload"}}}},
          "400": {"description": "Not a replay this server can read", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Upload"}}}},
          "409": {"description": "A race version or game data this server does not verify; kept for one that does", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Upload"}}}},
          "413": {"description": "Larger than 256 KiB"},
          "422": {"description": "A replay that claims no result, names no player, or is longer than this server re-runs", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Upload"}}}},
          "429": {"description": "Too many uploads from this address (see Retry-After)", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Upload"}}}},
          "503": {"description": "The queue is full or the store is away (see Retry-After)"}
        }
      }
    },
    "/api/v1/replays/{id}": {
      "get": {
        "summary": "A replay file, as uploaded (spraydash --replay plays it)",
        "parameters": [{"name": "id", "in": "path", "required": true, "schema": {"type": "string", "pattern": "^[0-9a-f]{40}$"}}],
        "responses": {
          "200": {"description": "The file", "content": {"application/octet-stream": {"schema": {"type": "string", "format": "binary"}}}},
          "404": {"description": "No replay with this id"}
        }
      }
    },
    "/api/v1/version": {
      "get": {
        "summary": "The server's version, and the race versions and game data it verifies",
        "responses": {"200": {"description": "Versions", "content": {"application/json": {"schema": {"$ref": "#/components/schemas/Version"}}}}}
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
      "period": {"name": "period", "in": "query", "description": "Results received today, this week, this month or at any time.", "schema": {"type": "string", "enum": ["today", "week", "month", "all"], "default": "all"}},
      "verified": {"name": "verified", "in": "query", "description": "Only results a replay has verified, placed among themselves (a server run with --verified-only shows no others whatever this says).", "schema": {"type": "string", "enum": ["1", "true", "0", "false"], "default": "0"}}
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
        "required": ["rank", "name", "score", "crew", "time", "verified", "verification", "replay"],
        "properties": {
          "rank": {"type": "integer", "minimum": 1},
          "name": {"type": "string", "description": "As the player typed it (UTF-8); may be empty."},
          "score": {"type": "integer"},
          "crew": {"type": "string"},
          "time": {"type": "string", "format": "date-time", "description": "When the result arrived (UTC)."},
          "verified": {"type": "boolean", "description": "The server has re-run the race from its replay and it came to this result."},
          "verification": {"type": "string", "enum": ["verified", "failed", "none"], "description": "failed: the replay that came for it did not reproduce it; none: no replay came yet."},
          "replay": {"type": "string", "nullable": true, "description": "The address of the replay that verified it (GET /api/v1/replays/{id}); null when none."}
        }
      },
      "Upload": {
        "type": "object",
        "additionalProperties": false,
        "required": ["status", "reason", "id"],
        "properties": {
          "status": {"type": "string", "enum": ["queued", "verified", "failed", "copy", "other-version", "refused"]},
          "reason": {"type": "string", "nullable": true, "description": "Why it failed or was refused, or which entry its race already verified (copy)."},
          "id": {"type": "string", "pattern": "^[0-9a-f]{40}$", "description": "SHA-1 of the bytes: the same bytes, the same id."}
        }
      },
      "Version": {
        "type": "object",
        "required": ["server", "verifies"],
        "properties": {
          "server": {"type": "string"},
          "verifies": {"type": "array", "items": {"type": "object", "required": ["race_version", "data_hash"], "properties": {"race_version": {"type": "string"}, "data_hash": {"type": "string", "pattern": "^[0-9a-f]{16}$"}}}}
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
