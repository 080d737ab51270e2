#!/usr/bin/env python3
"""Load run for the world score server, side by side with nginx on this machine.

With 100,000 results stored, wrk loads in turn: nginx serving a static file as large as the
world page, the world page, the JSON top 100, places of random scores (/api/v1/rank), the first
page alone and then beside a steady 100 requests a second of random places and pages past the
end, and durable submissions (each a new result). Prints requests per second, the
99th-percentile latency, the ratios to nginx's static rate, the server's memory, and whether
the goals hold:
  page >= nginx static with a p99 no worse, submissions >= 1/4 of it, page p99 < 5 ms,
  rank p99 < 5 ms, page 1's p99 beside the random reads within 1.5 x of its p99 alone,
  memory < 30 MB.

Usage: bench/server/run_wrk.py [--build build] [--duration 10] [--connections 32] [--threads 1] [--rounds 3]
Needs wrk and nginx (scripts/setup.sh installs both). Runs by hand, not in the test suite."""

import argparse
import http.client
import os
import random
import threading
import re
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.request

from local_net import free_port, wait_for

PAGE = "/cgi/version.pl?prg=Spraydash&show&type=0"
JSON = "/api/v1/scores?period=all&limit=100"

SUBMIT_LUA = """
local paths = {}
local n = 0
init = function(args)
  for line in io.lines(args[1]) do paths[#paths + 1] = line end
end
request = function()
  n = n + 1
  return wrk.format("GET", paths[(n % #paths) + 1])
end
"""

RANK_LUA = """
math.randomseed(7)
request = function()
  return wrk.format("GET", "/api/v1/rank?score=" .. math.random(-1000, 1000000))
end
"""

NGINX_CONF = """
worker_processes {workers};
daemon off;
pid {dir}/nginx.pid;
error_log {dir}/nginx-error.log;
events {{ worker_connections 4096; }}
http {{
    access_log off;
    client_body_temp_path {dir}/body;
    proxy_temp_path {dir}/proxy;
    fastcgi_temp_path {dir}/fastcgi;
    uwsgi_temp_path {dir}/uwsgi;
    scgi_temp_path {dir}/scgi;
    keepalive_requests 100000;
    default_type text/html;
    server {{
        listen 127.0.0.1:{port};
        root {dir}/www;
    }}
}}
"""


def to_ms(value, unit):
    return float(value) * {"us": 0.001, "ms": 1.0, "s": 1000.0}[unit]


def wrk(url, args, script=None, script_args=(), connections=None, duration=None):
    command = ["wrk", "-t1", "-c%d" % (connections or args.connections), "-d%ds" % (duration or args.duration),
               "--latency"]
    if script:
        command += ["-s", script]
    command.append(url)
    if script_args:
        command += ["--", *script_args]
    out = subprocess.run(command, capture_output=True, text=True, check=True).stdout
    rate = float(re.search(r"Requests/sec:\s+([\d.]+)", out).group(1))
    p99 = re.search(r"99%\s+([\d.]+)(us|ms|s)\b", out)
    errors = re.search(r"Non-2xx or 3xx responses: (\d+)", out)
    socket_errors = re.search(r"Socket errors: (.*)", out)
    return {"rate": rate, "p99": to_ms(*p99.groups()), "non2xx": int(errors.group(1)) if errors else 0,
            "socket": socket_errors.group(1) if socket_errors else ""}


class Background(threading.Thread):
    """A steady stream of reads a cache cannot hold: places of random scores and pages past the end."""

    def __init__(self, host, port, rate, rank_only=False):
        super().__init__(daemon=True)
        self.host, self.port, self.interval = host, port, 1.0 / rate
        self.rank_only = rank_only
        self.stop = threading.Event()
        self.sent = 0
        self.rank_ms = []

    def rank_p99(self):
        times = sorted(self.rank_ms)
        return times[min(len(times) - 1, int(len(times) * 0.99))] if times else float("nan")

    def run(self):
        conn = http.client.HTTPConnection(self.host, self.port, timeout=10)
        rng = random.Random(11)
        next_at = time.time()
        while not self.stop.is_set():
            rank = self.rank_only or rng.random() < 0.5
            if rank:
                target = "/api/v1/rank?score=%d" % rng.randint(-1000, 1000000)
            else:
                target = PAGE + "&page=%d" % rng.randint(1001, 1000000)
            started = time.perf_counter()
            try:
                conn.request("GET", target)
                conn.getresponse().read()
                if rank:
                    self.rank_ms.append((time.perf_counter() - started) * 1000.0)
            except (OSError, http.client.HTTPException):
                conn = http.client.HTTPConnection(self.host, self.port, timeout=10)
            self.sent += 1
            next_at += self.interval
            time.sleep(max(0.0, next_at - time.time()))


def memory(pid):
    values = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                values[key] = int(rest.split()[0]) / 1024.0
    return values


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build")
    parser.add_argument("--duration", type=int, default=10)
    parser.add_argument("--connections", type=int, default=32)
    parser.add_argument("--threads", type=int, default=1, help="server threads and nginx workers")
    parser.add_argument("--entries", type=int, default=100000)
    parser.add_argument("--rounds", type=int, default=3, help="turns of nginx and the page")
    args = parser.parse_args()

    for tool in ("wrk", "nginx"):
        if shutil.which(tool) is None and not os.path.exists("/usr/sbin/" + tool):
            sys.exit("%s is not installed (scripts/setup.sh installs it)" % tool)
    server_exe = os.path.join(args.build, "src", "server", "spraydash-scores")
    data_exe = os.path.join(args.build, "bench", "server", "server_bench_data")
    for exe in (server_exe, data_exe):
        if not os.path.exists(exe):
            sys.exit("%s is missing: build first" % exe)

    work = tempfile.mkdtemp(prefix="spraydash-wrk-")
    os.chmod(work, 0o755)  # nginx's workers run as an unprivileged user
    server = nginx = None
    try:
        db = os.path.join(work, "scores.db")
        print("filling %s with %d results ..." % (db, args.entries), flush=True)
        subprocess.run([data_exe, "fill", db, str(args.entries)], check=True)
        urls = os.path.join(work, "submissions.txt")
        subprocess.run([data_exe, "urls", urls, str(max(200000, args.duration * 60000))], check=True)
        lua = os.path.join(work, "submit.lua")
        with open(lua, "w") as f:
            f.write(SUBMIT_LUA)

        server = subprocess.Popen([server_exe, "--listen", "127.0.0.1:0", "--db", db, "--rate-limit", "0",
                                   "--threads", str(args.threads), "--max-connections", "4096"],
                                  stdout=subprocess.PIPE)
        base = "http://" + re.search(r"listening on (\S+),", server.stdout.readline().decode()).group(1)
        page = wait_for(base + PAGE)

        os.makedirs(os.path.join(work, "www"))
        with open(os.path.join(work, "www", "page.html"), "wb") as f:
            f.write(page)
        nginx_port = free_port()
        conf = os.path.join(work, "nginx.conf")
        with open(conf, "w") as f:
            f.write(NGINX_CONF.format(workers=args.threads, dir=work, port=nginx_port))
        nginx = subprocess.Popen(["nginx", "-c", conf, "-p", work], stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
        static_url = "http://127.0.0.1:%d/page.html" % nginx_port
        try:
            static = wait_for(static_url)
        except RuntimeError:
            with open(os.path.join(work, "nginx-error.log")) as log:
                sys.exit("nginx does not serve the page:\n" + log.read())
        assert len(static) == len(page)

        print("page %d bytes; wrk -t1 -c%d -d%ds; server threads and nginx workers: %d\n"
              % (len(page), args.connections, args.duration, args.threads), flush=True)
        rank_lua = os.path.join(work, "rank.lua")
        with open(rank_lua, "w") as f:
            f.write(RANK_LUA)
        results = {}
        # The machine is shared: nginx and the page take turns, and each is judged by its median.
        rounds = {"nginx": [], "page": []}
        for _ in range(args.rounds):
            rounds["nginx"].append(wrk(static_url, args))
            rounds["page"].append(wrk(base + PAGE, args))
        def median(runs):
            return {"rate": sorted(r["rate"] for r in runs)[len(runs) // 2],
                    "p99": sorted(r["p99"] for r in runs)[len(runs) // 2],
                    "non2xx": sum(r["non2xx"] for r in runs), "socket": ""}
        for i in range(args.rounds):
            print("round %d: nginx %.0f/s p99 %.2f ms; world page %.0f/s p99 %.2f ms (%.2fx)"
                  % (i + 1, rounds["nginx"][i]["rate"], rounds["nginx"][i]["p99"], rounds["page"][i]["rate"],
                     rounds["page"][i]["p99"], rounds["page"][i]["rate"] / rounds["nginx"][i]["rate"]))
        results["nginx static file"] = median(rounds["nginx"])
        results["world page"] = median(rounds["page"])
        results["JSON top 100"] = wrk(base + JSON, args)
        results["rank, random"] = wrk(base + "/", args, rank_lua)
        host, port = base[len("http://"):].rsplit(":", 1)
        # Places of random scores at 100 a second on an otherwise idle server, timed by the client.
        paced = Background(host, int(port), 100, rank_only=True)
        paced.start()
        time.sleep(args.duration)
        paced.stop.set()
        paced.join()
        print("rank at 100/s, random scores: p99 %.2f ms over %d requests (timed by the client)"
              % (paced.rank_p99(), len(paced.rank_ms)))
        # Latencies at a moderate load (4 connections), where queueing does not hide them.
        results["page 1 alone (-c4)"] = wrk(base + PAGE, args, connections=4)
        background = Background(host, int(port), 100)
        background.start()
        results["page 1 + 100/s random (-c4)"] = wrk(base + PAGE, args, connections=4)
        background.stop.set()
        background.join()
        print("background: %.0f random places and pages past the end a second; their places' p99 %.2f ms"
              % (background.sent / args.duration, background.rank_p99()))
        after_reads = memory(server.pid)
        results["submissions (durable)"] = wrk(base + "/", args, lua, [urls])
        after_writes = memory(server.pid)
        with urllib.request.urlopen(base + "/api/v1/scores?limit=1", timeout=10) as reply:
            total = int(re.search(rb'"total":(\d+)', reply.read()).group(1))

        static_rate = results["nginx static file"]["rate"]
        print("%-24s %12s %10s %10s %8s" % ("", "requests/s", "p99 ms", "vs nginx", "non-2xx"))
        for name, r in results.items():
            print("%-24s %12.0f %10.2f %9.2fx %8d %s" % (name, r["rate"], r["p99"], r["rate"] / static_rate,
                                                           r["non2xx"], r["socket"]))
        print("\nserver memory with %d stored results: %.1f MB resident (peak %.1f MB)"
              % (args.entries, after_reads["VmRSS"], after_reads["VmHWM"]))
        print("after the submission run (%d results stored): %.1f MB resident (peak %.1f MB)"
              % (total, after_writes["VmRSS"], after_writes["VmHWM"]))

        goals = [
            ("page >= nginx static (medians)", results["world page"]["rate"] >= static_rate),
            ("page p99 <= nginx static's (medians)", results["world page"]["p99"] <= results["nginx static file"]["p99"]),
            ("submissions >= 1/4 of nginx static", results["submissions (durable)"]["rate"] >= static_rate / 4),
            ("page p99 < 5 ms", results["world page"]["p99"] < 5.0),
            ("rank p99 < 5 ms (100/s, timed by the client)", paced.rank_p99() < 5.0),
            ("page 1 p99 beside random reads <= 1.5 x alone",
             results["page 1 + 100/s random (-c4)"]["p99"] <= 1.5 * results["page 1 alone (-c4)"]["p99"]),
            ("memory < 30 MB with %d results" % args.entries, after_reads["VmHWM"] < 30.0),
        ]
        print()
        for text, met in goals:
            print("%-44s %s" % (text, "met" if met else "MISSED"))
        return 0
    finally:
        for proc in (nginx, server):
            if proc and proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(10)
                except subprocess.TimeoutExpired:
                    proc.kill()
        if server:
            server.stdout.close()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
