#!/usr/bin/env python3
"""The JSON API against its own description: every answer the server gives to a range of real
requests must fit the schema /api/v1/openapi.json gives for its status, and every parameter the
server takes must be described there.

Usage: check_openapi.py SPRAYDASH_SCORES_EXECUTABLE"""

import json
import os
import re
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

DATE_TIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")


def resolve(doc, node):
    while isinstance(node, dict) and "$ref" in node:
        path = node["$ref"].lstrip("#/").split("/")
        node = doc
        for part in path:
            node = node[part]
    return node


def validate(doc, schema, value, where="$"):
    """The faults of value against schema (the part of OpenAPI 3.0 the description uses)."""
    schema = resolve(doc, schema)
    faults = []
    if value is None:
        return [] if schema.get("nullable") else ["%s: null where it may not be" % where]
    kind = schema.get("type")
    checks = {"object": dict, "array": list, "string": str, "integer": int, "number": (int, float),
              "boolean": bool}
    if kind and (not isinstance(value, checks[kind]) or (kind == "integer" and isinstance(value, bool))):
        return ["%s: %r is not of type %s" % (where, value, kind)]
    if "enum" in schema and value not in schema["enum"]:
        faults.append("%s: %r is not one of %s" % (where, value, schema["enum"]))
    if "minimum" in schema and value < schema["minimum"]:
        faults.append("%s: %r < minimum %r" % (where, value, schema["minimum"]))
    if "maximum" in schema and value > schema["maximum"]:
        faults.append("%s: %r > maximum %r" % (where, value, schema["maximum"]))
    if schema.get("format") == "date-time" and not DATE_TIME.match(value):
        faults.append("%s: %r is not a UTC date-time" % (where, value))
    if kind == "object":
        props = schema.get("properties", {})
        for name in schema.get("required", []):
            if name not in value:
                faults.append("%s: %s is missing" % (where, name))
        for name, item in value.items():
            if name in props:
                faults += validate(doc, props[name], item, where + "." + name)
            elif schema.get("additionalProperties") is False:
                faults.append("%s: %s is not described" % (where, name))
    if kind == "array":
        if "maxItems" in schema and len(value) > schema["maxItems"]:
            faults.append("%s: %d items > %d" % (where, len(value), schema["maxItems"]))
        for i, item in enumerate(value):
            faults += validate(doc, schema.get("items", {}), item, "%s[%d]" % (where, i))
    return faults


def get(base, target, body=None):
    request = urllib.request.Request(base + target, data=body, method="POST" if body is not None else "GET")
    if body is not None:
        request.add_header("Content-Type", "application/octet-stream")
    try:
        with urllib.request.urlopen(request, timeout=10) as reply:
            return reply.status, reply.headers.get("Content-Type", ""), reply.read()
    except urllib.error.HTTPError as e:
        return e.code, e.headers.get("Content-Type", ""), e.read()


def main():
    exe = sys.argv[1]
    work = tempfile.mkdtemp(prefix="spraydash-openapi-")
    db = os.path.join(work, "scores.db")
    now = int(time.time())
    entries = [("Ann", 900, "crew", now), ("", 800, "", now - 60), ("<b>\"q\"", 800, "\u00e9quipe", now - 3 * 86400),
               ("Old", 700, "x", now - 90 * 86400), ("Neg", -5, "y", now)]
    lines = [json.dumps({"received": t, "state": "shown", "score": s, "name": n, "crew": c, "client": "192.0.2.1",
                         "digest": i + 1}) for i, (n, s, c, t) in enumerate(entries)]
    with open(os.path.join(work, "in.jsonl"), "w") as f:
        f.write("\n".join(lines) + "\n")
    subprocess.run([exe, "--db", db, "admin", "import", os.path.join(work, "in.jsonl")], check=True,
                   stdout=subprocess.DEVNULL)
    server = subprocess.Popen([exe, "--listen", "127.0.0.1:0", "--db", db], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)
    faults = []
    try:
        base = "http://" + re.search(r"listening on (\S+),", server.stdout.readline().decode()).group(1)
        status, kind, body = get(base, "/api/v1/openapi.json")
        assert status == 200 and kind.startswith("application/json"), (status, kind)
        doc = json.loads(body)
        assert doc["openapi"].startswith("3.0")

        requests = [
            "/api/v1/scores", "/api/v1/scores?period=today", "/api/v1/scores?period=week&offset=1&limit=2",
            "/api/v1/scores?period=month", "/api/v1/scores?period=all&offset=100", "/api/v1/scores?limit=100",
            "/api/v1/scores?limit=101", "/api/v1/scores?offset=-1", "/api/v1/scores?period=year",
            "/api/v1/scores?sort=name", "/api/v1/rank?score=850", "/api/v1/rank?score=-2147483648&period=today",
            "/api/v1/rank", "/api/v1/rank?score=x", "/api/v1/rank?score=1&period=week&extra=1",
            "/api/v1/scores?verified=1", "/api/v1/scores?verified=maybe", "/api/v1/rank?score=1&verified=true",
            "/api/v1/version", "/api/v1/replays/" + "0" * 40,
            ("/api/v1/replays", b"not a replay"), ("/api/v1/replays", b"x" * 300000),
        ]
        for target in requests:
            target, upload = target if isinstance(target, tuple) else (target, None)
            path, _, query = target.partition("?")
            templated = re.sub(r"/[0-9a-f]{40}$", "/{id}", path)
            operation = doc["paths"].get(templated, {}).get("post" if upload is not None else "get")
            if operation is None:
                faults.append("%s is not described" % path)
                continue
            status, kind, body = get(base, target, upload)
            response = operation["responses"].get(str(status))
            if response is None:
                faults.append("%s: status %d is not described" % (target, status))
                continue
            response = resolve(doc, response)
            if not response.get("content"):
                continue
            media = kind.split(";")[0].strip()
            if media not in response.get("content", {}):
                faults.append("%s: %s is not described for %d" % (target, media, status))
                continue
            value = json.loads(body) if media == "application/json" else body.decode()
            faults += ["%s: %s" % (target, f) for f in validate(doc, response["content"][media]["schema"], value)]
            # The parameters given must be described, and a described one must be taken (200).
            described = {resolve(doc, p)["name"] for p in operation.get("parameters", []) if resolve(doc, p)["in"] == "query"}
            given = {pair.split("=")[0] for pair in query.split("&") if pair}
            if status == 200 and not given <= described:
                faults.append("%s: answered 200 to parameters not described: %s" % (target, given - described))
        # Every described parameter is one the server takes.
        for path, item in doc["paths"].items():
            for p in item.get("get", {}).get("parameters", []):
                p = resolve(doc, p)
                if p["in"] != "query":
                    continue
                example = {"integer": "1", "string": (p["schema"].get("enum") or ["x"])[0]}[p["schema"]["type"]]
                target = path + "?" + p["name"] + "=" + example + ("&score=1" if path.endswith("rank") and p["name"] != "score" else "")
                status, _, _ = get(base, target)
                if status != 200:
                    faults.append("%s: the described parameter %s is refused (%d)" % (path, p["name"], status))
    finally:
        server.terminate()
        server.wait(10)
    for fault in faults:
        print(fault)
    print("%d requests checked against the description; %d faults" % (len(requests), len(faults)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
