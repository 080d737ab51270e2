#!/usr/bin/env python3
"""The world-list submission with the real binary: a race ended by "Finish race?" beats a
hand-written table whose tenth score is very low, a name is typed (Backspace used, an eleventh
character ignored), Enter commits it, Y sends, and the request that reaches a server on
127.0.0.1 is decoded back to the typed name, the race's score and the options' free text; the
race's replay follows it to the same server.

The script binds its server to a free port and points the game at it through the environment
variable SPRAYDASH_SCORE_SERVER."""

import http.server
import os
import re
import sys
import threading
import time

import e2e_session as e2e

PREVIEWS = os.path.join(e2e.build_dir(), "previews")

SYMBOLS = "ABCDEFGHJKLMNPQRSTUVWXY123456789"
REQUEST_PREFIX = "/cgi/version.pl?hs&prg=Spraydash&inf="

# A table whose tenth score any race beats. Every name is at least as long as every score's
# decimal text, so the check string covers all of them.
TABLE = [("RIVER QUEEN", 5000), ("OLD SKIPPER", 4000), ("DUCK HUNTER", 3000), ("BLUE LAGOON", 2500),
         ("FAST EDDIE!", 2000), ("SALTY SALLY", 1500), ("MUDDY WATER", 1000), ("SLOW BOAT 7", 600),
         ("PADDLE POPS", 300), ("LAST PLACE!", -99999)]
ADD_INFO = "Lake crew"
# Typed as: "Ann|=Lex", Backspace, "e 7", then "Q", which is one too many.
NAME = "Ann|=Lee 7"

COLUMN = (556, 114, 230, 361)        # the main-menu buttons after the intro
SUB_TITLE = (14, 108, 520, 30)       # a sub-screen frame's title band
LEFT_PANEL = (0, 0, 127, 60)         # the race's left panel
BANNER = (250, 262, 300, 50)         # the level banner, yellow over the race
FINISH_BUTTONS = (307, 340, 202, 45)
SEND_BUTTONS = (315, 344, 202, 45)
WINDOW_TEXT = (216, 240, 368, 110)   # the overlay window's text lines
SENDING_LINE = (250, 277, 300, 40)
YELLOW = (255, 241, 0)


def preview(name):
    return e2e.Picture.from_file(os.path.join(PREVIEWS, name + ".png"))


def table_check(entries):
    """The table's check string, as the game computes it, as bytes."""
    names = [n.encode("cp1252") for n, _ in entries]
    check = [32] * max(len(n) for n in names)
    for name, (_, score) in zip(names, entries):
        for text in (name, str(score).encode()):
            for j, byte in enumerate(text[:len(check)]):
                check[j] = (check[j] + byte) % 224 + 32
    return bytes(check)


def decode(symbols):
    """The inverse of the game's text encoding: five bits per symbol, the front padding
    dropped, eight bits per byte."""
    bits = "".join(format(SYMBOLS.index(c), "05b") for c in symbols)
    pad = len(bits) % 8
    e2e.check("1" not in bits[:pad], "set bits in the encoding's front padding")
    bits = bits[pad:]
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))


# --- the score server --------------------------------------------------------------------------


class ScoreServer(http.server.ThreadingHTTPServer):
    """Records every request; holds each one until released, so the blocked game can be looked at."""

    def __init__(self, port=0):
        self.requests = []
        self.uploads = []  # (path, headers, body, score requests seen before it)
        self.arrived = threading.Event()
        self.release = threading.Event()
        super().__init__(("127.0.0.1", port), ScoreHandler)
        self.thread = threading.Thread(target=self.serve_forever, daemon=True)
        self.thread.start()

    @property
    def port(self):
        return self.server_address[1]

    def close(self):
        self.release.set()
        self.shutdown()
        self.server_close()


class ScoreHandler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.server.requests.append((self.requestline, dict(self.headers.items())))
        self.server.arrived.set()
        self.server.release.wait(10)
        body = b"OK"
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        self.server.uploads.append((self.path, dict(self.headers.items()), body, len(self.server.requests)))
        answer = b'{"status": "queued", "reason": "", "id": "00"}'
        self.send_response(202)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        self.wfile.write(answer)

    def log_message(self, *args):
        pass


def write_saves(workdir):
    save = os.path.join(workdir, "Data", "Save")
    lines = []
    for name, score in TABLE:
        lines += [name.encode("cp1252"), str(score).encode(), b"0", b"0"]
    with open(os.path.join(save, "hs"), "wb") as f:
        f.write(b"".join(line + b"\r\n" for line in lines))
    with open(os.path.join(save, "options"), "wb") as f:
        f.write(b"".join(line + b"\r\n" for line in [b"0", b"0", b"0", ADD_INFO.encode(), table_check(TABLE)]))


def read_table(workdir):
    with open(os.path.join(workdir, "Data", "Save", "hs"), "rb") as f:
        lines = f.read().split(b"\r\n")
    return [(lines[i].decode("cp1252"), int(lines[i + 1])) for i in range(0, 40, 4)]


def tap(game, key, hold=0.12):
    """A key the game polls once per tick: held over a few ticks, then released."""
    game.key_down(key)
    time.sleep(hold)
    game.key_up(key)
    time.sleep(0.1)


def start_race(game):
    """From the main menu with "Start game" lit: the first boat, and the race once its level banner
    has gone."""
    tap(game, "Return")
    boats = preview("boats_1")
    game.wait_for(lambda s: s.match_fraction(boats, *SUB_TITLE) >= 0.9, "the boat choice")
    tap(game, "Return")
    race = preview("race_1")
    game.wait_for(lambda s: s.match_fraction(race, *LEFT_PANEL) >= 0.9, "the race")
    game.wait_for(lambda s: s.count_near(YELLOW, *BANNER) > 150, "the level banner")
    game.wait_for(lambda s: s.count_near(YELLOW, *BANNER) < 20, "the level banner to close", timeout=6)


# --- the run ---------------------------------------------------------------------------------


def play(game, server):
    menu = preview("mainmenu_1")
    game.wait_for(lambda s: s.match_fraction(menu, *COLUMN) >= 0.95, "the main menu", timeout=20)
    start_race(game)

    finish = preview("race_finish_question")
    tap(game, "Escape")
    game.wait_for(lambda s: s.match_fraction(finish, *FINISH_BUTTONS) >= 0.9, "\"Finish race?\"")
    tap(game, "y")
    send = preview("race_send_result")
    asking_to_send = lambda s: s.match_fraction(send, *SEND_BUTTONS) >= 0.9
    game.wait_for(lambda s: s.count_near(YELLOW, *WINDOW_TEXT, tolerance=20) > 300
                  and s.match_fraction(finish, *FINISH_BUTTONS) < 0.9 and not asking_to_send(s),
                  "the name entry")

    game.type_text("Ann|=Lex")
    tap(game, "BackSpace")
    game.type_text("e 7")
    game.type_text("Q")
    time.sleep(0.3)
    tap(game, "Return")
    game.wait_for(asking_to_send, "the send question")
    e2e.check(not server.requests, "a request went out before the answer")

    tap(game, "y")
    e2e.check(server.arrived.wait(15), "no request reached the score server")
    # The game is blocked in the request: its window shows the "Sending..." frame.
    sending = game.shot()
    server.release.set()
    e2e.check(sending.count_near(YELLOW, *SENDING_LINE, tolerance=20) > 150 and not asking_to_send(sending),
              "the window does not show \"Sending...\" while the request runs")

    table = preview("highscores")
    game.wait_for(lambda s: s.match_fraction(table, *SUB_TITLE) >= 0.9
                  and s.match_fraction(menu, 556, 114, 230, 50) < 0.9,
                  "the high-score table after sending", timeout=20)

    # Leave by the exit question, so that the table reaches its file.
    game.close_request()
    time.sleep(0.5)
    tap(game, "y")
    e2e.check(game.wait_exit(10) == 0, "the game did not end with status 0")


def verify(server, workdir):
    e2e.check(len(server.requests) == 1, "%d requests instead of one" % len(server.requests))
    requestline, headers = server.requests[0]
    match = re.fullmatch(r"GET (\S+) HTTP/1\.1", requestline)
    e2e.check(match is not None, "request line: " + requestline)
    target = match.group(1)
    e2e.check(target.startswith(REQUEST_PREFIX), "request target: " + target)
    symbols = target[len(REQUEST_PREFIX):]
    e2e.check(symbols and all(c in SYMBOLS for c in symbols) and len(symbols) % 8 == 0,
              "encoded payload: " + symbols)
    payload = decode(symbols)
    print("decoded payload: %r" % payload)
    found = re.fullmatch(rb"type=0\|name=(.*)\|score=(-?\d+)\|key=Q\|p=\|add=(.*)\|z=(0*)", payload, re.S)
    e2e.check(found is not None, "payload layout: %r" % payload)
    name, score, add_info, zeros = found.groups()
    e2e.check(name == NAME.encode(), "name %r instead of %r" % (name, NAME))
    e2e.check(add_info == ADD_INFO.encode(), "free text %r instead of %r" % (add_info, ADD_INFO))
    e2e.check(len(payload) % 5 == 0 and len(zeros) < 5, "padding: %r" % payload)
    e2e.check(headers.get("Host") == "127.0.0.1:%d" % server.port, "Host: %r" % headers.get("Host"))
    e2e.check(headers.get("User-Agent") == "Mozilla/3.0 (compatible; Spraydash)",
              "User-Agent: %r" % headers.get("User-Agent"))

    # The score sent is the one the game stored with the name when it ended.
    table = read_table(workdir)
    stored = [s for n, s in table if n == NAME]
    e2e.check(stored == [int(score)], "table %r has no %r with score %s" % (table, NAME, score.decode()))
    e2e.check(int(score) > TABLE[-1][1], "score %s does not beat the tenth entry" % score.decode())
    print("request checked: name %r, score %s, free text %r" % (NAME, score.decode(), ADD_INFO))

    # The race's replay followed the request to the same server, as the game keeps it.
    e2e.check(len(server.uploads) == 1, "%d replay uploads instead of one" % len(server.uploads))
    path, headers, body, before = server.uploads[0]
    e2e.check(path == "/api/v1/replays", "upload path: " + path)
    e2e.check(before == 1, "the replay went before the score request")
    e2e.check(headers.get("Content-Type") == "application/octet-stream",
              "upload Content-Type: %r" % headers.get("Content-Type"))
    with open(os.path.join(workdir, "Data", "Save", "replays", "last.sdreplay"), "rb") as f:
        e2e.check(body == f.read(), "the uploaded bytes are not the race's replay")
    queued = [n for n in os.listdir(os.path.join(workdir, "Data", "Save", "uploads")) if n.endswith(".sdreplay")]
    e2e.check(not queued, "replays left queued: %r" % queued)
    print("replay upload checked: %d bytes" % len(body))


def main():
    e2e.require_tools("Xvfb", "xdotool", "import", "convert")

    def test(session):
        server = session.closing(ScoreServer())
        write_saves(session.workdir)
        game = session.start_game(env={"SPRAYDASH_SCORE_SERVER": "http://127.0.0.1:%d" % server.port})
        play(game, server)
        verify(server, session.workdir)

    return e2e.run_session(test, workdir_parent=os.path.join(e2e.build_dir(), "e2e-score-submission"))


if __name__ == "__main__":
    sys.exit(main())
