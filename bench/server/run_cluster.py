#!/usr/bin/env python3
"""Load run of two score servers behind haproxy, on 127.0.0.1 only, for each store.

For each store (a SQLite file both servers share, and a private PostgreSQL server started for
the run): fills it with results, starts two spraydash-scores behind haproxy (configured from
deploy/haproxy.cfg), and loads haproxy with wrk for --duration seconds: one new result for every
--ratio page reads. Prints requests per second, the 99th-percentile latency (overall from wrk,
per route from the servers' /metrics), and each server's resident memory at the start, every
minute, and at the end (it must stay flat).

Usage: bench/server/run_cluster.py [--build build] [--store sqlite|postgresql|both]
                                   [--duration 600] [--connections 64] [--ratio 20]
Needs wrk, haproxy and PostgreSQL 15 (scripts/setup.sh installs them). Runs by hand, not in the
test suite; takes --duration seconds per store plus about half a minute."""

import argparse
import os
import pwd
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

from local_net import free_port, wait_for

PG_BIN = "/usr/lib/postgresql/15/bin"
PAGES = [
    "/cgi/version.pl?prg=Spraydash&show&type=0",
    "/cgi/version.pl?prg=Spraydash&show&type=0&period=week",
    "/cgi/version.pl?prg=Spraydash&show&type=0&page=2",
    "/api/v1/scores?period=today&limit=10",
]

# One submission (a new result each) for every `ratio` page reads, spread over the threads.
MIX_LUA = """
local paths = {}
local pages = {%s}
local n = 0
local ratio = 20
local counter = 1
setup = function(thread)
  thread:set("thread_id", counter)
  counter = counter + 1
end
init = function(args)
  ratio = tonumber(args[2])
  local i = 0
  for line in io.lines(args[1]) do
    i = i + 1
    -- Each thread takes its own share of the addresses, so every result is new.
    if i %% tonumber(args[3]) == thread_id - 1 then paths[#paths + 1] = line end
  end
end
request = function()
  n = n + 1
  if n %% (ratio + 1) == 0 then
    return wrk.format("GET", paths[(n / (ratio + 1)) %% #paths + 1])
  end
  return wrk.format("GET", pages[n %% #pages + 1])
end
""" % ", ".join('"%s"' % p for p in PAGES)


def rss_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def to_ms(value, unit):
    return float(value) * {"us": 0.001, "ms": 1.0, "s": 1000.0}[unit]


def as_postgres(command):
    return ["runuser", "-u", "postgres", "--"] + command if os.geteuid() == 0 else command


class Postgres:
    """A private PostgreSQL server in a folder of its own, with its default (durable) settings."""

    def __init__(self, work):
        self.dir = os.path.join(work, "pg")
        os.makedirs(self.dir)
        if os.geteuid() == 0:
            user = pwd.getpwnam("postgres")
            os.chown(self.dir, user.pw_uid, user.pw_gid)
        self.port = free_port()
        data = os.path.join(self.dir, "data")
        subprocess.run(as_postgres([PG_BIN + "/initdb", "-D", data, "-A", "trust", "-U", "postgres",
                                    "-E", "UTF8", "--locale=C.UTF-8"]), check=True, stdout=subprocess.DEVNULL)
        subprocess.run(as_postgres([PG_BIN + "/pg_ctl", "-D", data, "-w", "-l", os.path.join(self.dir, "log"),
                                    "-o", "-p %d -k %s -c listen_addresses='' -c max_connections=100"
                                    % (self.port, self.dir), "start"]), check=True, stdout=subprocess.DEVNULL)
        subprocess.run(as_postgres([PG_BIN + "/createdb", "-h", self.dir, "-p", str(self.port), "scores"]),
                       check=True)
        self.url = "postgresql://postgres@/scores?host=%s&port=%d" % (self.dir, self.port)

    def stop(self):
        subprocess.run(as_postgres([PG_BIN + "/pg_ctl", "-D", os.path.join(self.dir, "data"), "-w", "-m", "fast",
                                    "stop"]), stdout=subprocess.DEVNULL)


def haproxy_config(example, port, servers):
    """deploy/haproxy.cfg with this run's addresses."""
    with open(example) as f:
        text = f.read()
    text = text.replace("bind :80", "bind 127.0.0.1:%d" % port)
    lines = []
    for line in text.splitlines():
        match = re.match(r"(\s*)server scores(\d+) ", line)
        if match:
            index = int(match.group(2)) - 1
            if index < len(servers):
                lines.append("%sserver scores%d 127.0.0.1:%d" % (match.group(1), index + 1, servers[index]))
            continue
        lines.append(line)
    return "\n".join(lines) + "\n"


def route_p99(metrics_texts, route):
    """The 99th percentile of a route from the servers' histograms (a bucket's upper bound)."""
    buckets = {}
    for text in metrics_texts:
        for m in re.finditer(r'spraydash_http_request_duration_seconds_bucket\{route="%s",le="([^"]+)"\} (\d+)'
                             % route, text):
            buckets[m.group(1)] = buckets.get(m.group(1), 0) + int(m.group(2))
    if not buckets or buckets.get("+Inf", 0) == 0:
        return None, 0
    total = buckets["+Inf"]
    for le, count in sorted(((k, v) for k, v in buckets.items() if k != "+Inf"), key=lambda kv: float(kv[0])):
        if count >= 0.99 * total:
            return float(le) * 1000.0, total
    return float("inf"), total


def database_bytes(store, db, postgres):
    if store == "sqlite":
        wal = os.path.getsize(db + "-wal") if os.path.exists(db + "-wal") else 0
        print("  SQLite file %.1f MB, write-ahead log %.1f MB" % (os.path.getsize(db) / 1e6, wal / 1e6))
        return os.path.getsize(db)
    out = subprocess.run(as_postgres([PG_BIN + "/psql", "-X", "-A", "-t", "-h", postgres.dir, "-p",
                                      str(postgres.port), "-d", "scores", "-c",
                                      "SELECT pg_total_relation_size('scores') + pg_total_relation_size('score_counts')"]),
                         capture_output=True, text=True, check=True).stdout
    return int(out.strip())


def run_store(store, args, work):
    server_exe = os.path.join(args.build, "src", "server", "spraydash-scores")
    data_exe = os.path.join(args.build, "bench", "server", "server_bench_data")
    example = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "deploy", "haproxy.cfg")
    folder = os.path.join(work, store)
    os.makedirs(folder)
    postgres = servers = haproxy = None
    try:
        if store == "postgresql":
            postgres = Postgres(folder)
            db = postgres.url
        else:
            db = os.path.join(folder, "scores.db")
        print("\n=== %s: filling with %d results ..." % (store, args.entries), flush=True)
        subprocess.run([data_exe, "fill", db, str(args.entries)], check=True)
        urls = os.path.join(folder, "submissions.txt")
        # Enough new results for the whole run (a result sent twice is only a resend).
        per_second = 25000 // (args.ratio + 1)
        subprocess.run([data_exe, "urls", urls, str(max(100000, args.duration * per_second))], check=True)
        lua = os.path.join(folder, "mix.lua")
        with open(lua, "w") as f:
            f.write(MIX_LUA)

        ports = [free_port(), free_port()]
        servers = []
        for port in ports:
            servers.append(subprocess.Popen(
                [server_exe, "--listen", "127.0.0.1:%d" % port, "--db", db, "--threads", str(args.threads),
                 "--rate-limit", "0", "--trusted-proxy", "127.0.0.1"],
                stdout=subprocess.DEVNULL, stderr=open(os.path.join(folder, "server-%d.log" % port), "w")))
        for port in ports:
            wait_for("http://127.0.0.1:%d/healthz" % port, timeout=30)
        front = free_port()
        config = os.path.join(folder, "haproxy.cfg")
        with open(config, "w") as f:
            f.write(haproxy_config(example, front, ports))
        haproxy = subprocess.Popen(["haproxy", "-db", "-f", config], stdout=subprocess.DEVNULL,
                                   stderr=open(os.path.join(folder, "haproxy.log"), "w"))
        base = "http://127.0.0.1:%d" % front
        time.sleep(3)  # haproxy's first health checks
        wait_for(base + PAGES[0], timeout=30)

        start_rss = [rss_mb(s.pid) for s in servers]
        print("servers' memory at the start: %s" % ", ".join("%.1f MB" % m for m in start_rss), flush=True)
        samples = []
        stop = threading.Event()

        def sample():
            began = time.time()
            while not stop.wait(60):
                rss = [rss_mb(s.pid) for s in servers]
                samples.append(rss)
                print("  after %3.0f s: %s" % (time.time() - began, ", ".join("%.1f MB" % m for m in rss)),
                      flush=True)

        sampler = threading.Thread(target=sample)
        sampler.start()
        command = ["wrk", "-t%d" % args.wrk_threads, "-c%d" % args.connections, "-d%ds" % args.duration,
                   "--timeout", "10s", "--latency", "-s", lua, base + "/", "--", urls, str(args.ratio),
                   str(args.wrk_threads)]
        out = subprocess.run(command, capture_output=True, text=True, check=True).stdout
        stop.set()
        sampler.join()
        time.sleep(1)  # the results wrk left in flight are committed and counted
        end_rss = [rss_mb(s.pid) for s in servers]

        rate = float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1))
        total = int(re.search(r"(\d+) requests in", out).group(1))
        p99 = re.search(r"99%\s+([\d.]+)(us|ms|s)\b", out)
        p50 = re.search(r"50%\s+([\d.]+)(us|ms|s)\b", out)
        errors = re.search(r"Non-2xx or 3xx responses: (\d+)", out)
        socket_errors = re.search(r"Socket errors: (.*)", out)
        metrics = []
        for port in ports:
            with urllib.request.urlopen("http://127.0.0.1:%d/metrics" % port, timeout=10) as reply:
                metrics.append(reply.read().decode())
        stored = sum(int(m.group(1)) for text in metrics
                     for m in re.finditer(r"^spraydash_submissions_stored_total (\d+)$", text, re.M))
        with urllib.request.urlopen(base + "/api/v1/scores?limit=1", timeout=10) as reply:
            listed = int(re.search(rb'"total":(\d+)', reply.read()).group(1))

        print("%s, two servers behind haproxy, wrk -t%d -c%d for %d s, 1 result : %d page reads"
              % (store, args.wrk_threads, args.connections, args.duration, args.ratio))
        print("  requests/s:           %.0f (%d requests; %d results stored, %.0f per second)"
              % (rate, total, stored, stored / args.duration))
        print("  latency p50 / p99:    %.2f ms / %.2f ms (all requests, through haproxy)"
              % (to_ms(*p50.groups()), to_ms(*p99.groups())))
        for route in ("submit", "page", "api_scores"):
            value, count = route_p99(metrics, route)
            if count:
                print("  p99 at the servers:   %-10s <= %.1f ms (%d requests)" % (route, value, count))
        print("  non-2xx answers:      %d %s" % (int(errors.group(1)) if errors else 0,
                                                  socket_errors.group(1) if socket_errors else ""))
        size = database_bytes(store, db, postgres)
        print("  entries listed after: %d; database %.1f MB (%.0f bytes an entry)" % (listed, size / 1e6, size / listed))
        for i in range(len(servers)):
            print("  server %d memory:      %.1f MB at start, %.1f MB after %d s (minutes: %s)"
                  % (i + 1, start_rss[i], end_rss[i], args.duration,
                     " ".join("%.1f" % s[i] for s in samples) or "-"))
        return 0
    finally:
        for proc in [haproxy] + (servers or []):
            if proc and proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(15)
                except subprocess.TimeoutExpired:
                    proc.kill()
        if postgres:
            postgres.stop()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build")
    parser.add_argument("--store", choices=["sqlite", "postgresql", "both"], default="both")
    parser.add_argument("--duration", type=int, default=600, help="seconds of load per store")
    parser.add_argument("--connections", type=int, default=64)
    parser.add_argument("--wrk-threads", type=int, default=1)
    parser.add_argument("--threads", type=int, default=2, help="threads of each server")
    parser.add_argument("--ratio", type=int, default=20, help="page reads per submission")
    parser.add_argument("--entries", type=int, default=100000, help="results stored before the run")
    args = parser.parse_args()

    for tool in ("wrk", "haproxy"):
        if shutil.which(tool) is None and not os.path.exists("/usr/sbin/" + tool):
            sys.exit("%s is not installed (scripts/setup.sh installs it)" % tool)
    stores = ["sqlite", "postgresql"] if args.store == "both" else [args.store]
    if "postgresql" in stores and not os.path.exists(PG_BIN + "/pg_ctl"):
        sys.exit("PostgreSQL 15 is not installed (scripts/setup.sh installs it)")
    for exe in ("src/server/spraydash-scores", "bench/server/server_bench_data"):
        if not os.path.exists(os.path.join(args.build, exe)):
            sys.exit("%s is missing: build first" % os.path.join(args.build, exe))

    work = tempfile.mkdtemp(prefix="spraydash-cluster-")
    os.chmod(work, 0o755)  # PostgreSQL runs as its own user
    try:
        for store in stores:
            run_store(store, args, work)
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
