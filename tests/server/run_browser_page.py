#!/usr/bin/env python3
"""The world page in a real browser. A server is filled with 100 results, some of whose names
and crew texts are markup and script: short ones sent as the game sends them, long ones (which
no submission may carry) written straight into the database, so the page's own escaping is
what is tested. Headless Chromium parses the page; its DOM must hold every such text as text,
with no element, attribute or script of a player's making, and nothing may have run. Then it
takes screenshots of the page as a desktop and as a phone show it.

Usage: run_browser_page.py SPRAYDASH_SCORES_EXE OUTPUT_DIR"""

import html.parser
import os
import random
import re
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import urllib.request

SKIP = 77
SYMBOLS = "ABCDEFGHJKLMNPQRSTUVWXY123456789"
PAGE = "/cgi/version.pl?prg=Spraydash&show&type=0"
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--hide-scrollbars", "--force-device-scale-factor=1"]

# Sent through the game's request: at most ten characters each.
SENT = [("<script>", 9100, "<b>x</b>"), ("\"><img src", 9050, "'onload='"), ("</td><td>", 9000, "&amp;lt;"),
        ("<!--", 8950, "-->"), ("a&b<c>d", 8900, "]]>")]
# Written into the database directly: longer than any submission may be.
WRITTEN = [("<img src=x onerror=\"document.title='PWNED'\">", 8800, "<script>document.title='PWNED'</script>"),
           ("<style>body{display:none}</style>", 8700, "<iframe src=\"data:text/html,x\"></iframe>"),
           ("<svg onload=\"document.title='PWNED'\">", 8600, "<a href=\"javascript:alert(1)\">x</a>")]
REAL_NAMES = ["Mia", "Jonas", "RiverRat", "Lena K.", "Duck Hunt", "Skipper", "Ola", "Marta", "Tom", "Zoe",
              "Finn", "Aylin", "Paddles", "Kai", "Nora", "Ben", "Luca", "Emma", "Otto", "Ida", "Sam", "Yuki",
              "Bj\u00f6rn", "Chlo\u00e9", "Jos\u00e9", "Anja", "Max", "Lotte", "Rafa", "Greta"]
CREWS = ["_______", "Lake crew", "River Fox", "", "Team Blue", "Old salts", "solo", "Ducks"]


def encode(text):
    bits = "".join(format(b, "08b") for b in text)
    bits = "0" * ((5 - len(bits) % 5) % 5) + bits
    return "".join(SYMBOLS[int(bits[i:i + 5], 2)] for i in range(0, len(bits), 5))


def submission(name, score, crew):
    payload = b"type=0|name=" + name.encode("cp1252") + b"|score=" + str(score).encode() + b"|key=Q|p=|add=" + \
        crew.encode("cp1252") + b"|z="
    payload += b"0" * ((5 - len(payload) % 5) % 5)
    return "/cgi/version.pl?hs&prg=Spraydash&inf=" + encode(payload)


class Dom(html.parser.HTMLParser):
    """The elements of the DOM Chromium printed, and the texts of the name and crew cells."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags = []
        self.attributes = []
        self.cells = {"name": [], "crew": []}
        self.title = ""
        self._cell = None
        self._in_title = False

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        self.attributes += [name for name, _ in attrs]
        cls = dict(attrs).get("class")
        if tag == "td" and cls in self.cells:
            self._cell = cls
            self.cells[cls].append("")
        self._in_title = tag == "title"

    def handle_endtag(self, tag):
        if tag == "td":
            self._cell = None
        if tag == "title":
            self._in_title = False

    def handle_data(self, data):
        if self._cell:
            self.cells[self._cell][-1] += data
        if self._in_title:
            self.title += data


def chromium(*args):
    profile = tempfile.mkdtemp(prefix="chromium-profile-")
    try:
        out = subprocess.run(["chromium", *CHROMIUM_FLAGS, "--user-data-dir=" + profile, *args],
                             capture_output=True, timeout=120)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    if out.returncode != 0:
        raise AssertionError("chromium failed (%d): %s" % (out.returncode, out.stderr.decode(errors="replace")[-2000:]))
    return out.stdout.decode("utf-8")


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n":
        raise AssertionError(path + " is not a PNG")
    return int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")


def fill(base, db):
    for name, score, crew in SENT:
        with urllib.request.urlopen(base + submission(name, score, crew), timeout=10) as reply:
            assert reply.status == 200, name
    rng = random.Random(7)
    for i in range(100 - len(SENT) - len(WRITTEN)):
        name = REAL_NAMES[i % len(REAL_NAMES)] + ("" if i < len(REAL_NAMES) else str(i // len(REAL_NAMES) + 1))
        score = 8500 - i * 61 - rng.randrange(40)
        if i in (11, 12):
            score = 7700  # a tie: two results share a place
        with urllib.request.urlopen(base + submission(name[:10], score, CREWS[i % len(CREWS)]), timeout=10) as r:
            assert r.status == 200
    con = sqlite3.connect(db)
    with con:
        for n, (name, score, crew) in enumerate(WRITTEN):
            con.execute("INSERT INTO scores (name, score, crew, received, client, digest, state) "
                        "VALUES (?, ?, ?, strftime('%s','now'), '192.0.2.1', ?, 0)", (name, score, crew, n + 1))
    con.close()


def main():
    if shutil.which("chromium") is None:
        print("skipped: chromium is not installed")
        return SKIP
    exe, out_dir = sys.argv[1], sys.argv[2]
    os.makedirs(out_dir, exist_ok=True)
    work = tempfile.mkdtemp(prefix="spraydash-browser-")
    db = os.path.join(work, "scores.db")
    server = subprocess.Popen([exe, "--listen", "127.0.0.1:0", "--db", db, "--rate-limit", "0"],
                              stdout=subprocess.PIPE)
    ok = False
    try:
        line = server.stdout.readline().decode()
        match = re.search(r"listening on (127\.0\.0\.1:\d+)", line)
        assert match, "the server did not start: %r" % line
        base = "http://" + match.group(1)
        fill(base, db)
        url = base + PAGE

        dom = Dom()
        dom.feed(chromium("--dump-dom", url))
        for tag in ("script", "img", "iframe", "object", "embed"):
            assert tag not in dom.tags, "a <%s> element reached the DOM" % tag
        assert dom.tags.count("style") == 1, "a <style> of a player's made it into the page"
        assert dom.tags.count("svg") == 2, "a player's <svg> made it into the page"
        assert not [a for a in dom.attributes if a.startswith("on")], "an event handler attribute reached the DOM"
        assert "PWNED" not in dom.title, "a player's script ran: the title is %r" % dom.title
        names, crews = dom.cells["name"], dom.cells["crew"]
        assert len(names) == 100, "%d rows instead of 100" % len(names)
        for name, _, crew in SENT + WRITTEN:
            assert name in names, "the name %r is not on the page as text (names: %r)" % (name, names[:12])
            assert crew in crews, "the crew text %r is not on the page as text" % crew
        print("DOM holds %d rows; every hostile text is text only" % len(names))

        desktop = os.path.join(out_dir, "world-page-desktop.png")
        phone = os.path.join(out_dir, "world-page-phone.png")
        chromium("--window-size=1000,4300", "--screenshot=" + desktop, url)
        chromium("--window-size=412,915", "--screenshot=" + phone, url)
        for path, width in ((desktop, 1000), (phone, 412)):
            size = png_size(path)
            assert size[0] == width, "%s is %r" % (path, size)
            print("screenshot: %s %dx%d" % (path, size[0], size[1]))
        ok = True
    except (AssertionError, OSError) as e:
        print("FAILED: %s" % e)
    finally:
        server.terminate()
        server.wait(10)
        server.stdout.close()
        if ok:
            shutil.rmtree(work, ignore_errors=True)
        else:
            print("working directory kept: " + work)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
