#!/usr/bin/env python3
"""A race that enters the table: "Finish race?" → Y with a score that beats the table,
the name typed, the result sent to a score server on this machine, the new entry first in
the table shown afterwards and in Data/Save/hs after the exit.

A race that runs out of time takes three full levels (minutes), so the race is ended by
the player instead; a table whose scores are all below zero lets its score of 0 qualify."""

import http.server
import os
import re
import shutil
import sys
import threading

import e2e_session as e2e

PREVIEWS = os.path.join(e2e.build_dir(), "previews")
COLUMN = (556, 114, 230, 361)
SUB_TITLE = (14, 108, 520, 30)
LEFT_PANEL = (0, 0, 127, 60)
BANNER = (250, 262, 300, 50)
WINDOW_TOP = (215, 205, 370, 25)       # the question window's frame above its texts
SEND_BUTTONS = (315, 344, 202, 45)
YELLOW = (255, 241, 0)
NAME = "TESTER"


def preview(name):
    return e2e.Picture.from_file(os.path.join(PREVIEWS, name + ".png"))


def mix(check, text):
    n = min(len(text), len(check))
    for j in range(n):
        check[j] = (check[j] + text[j]) % 224 + 32


def write_low_table(save_dir):
    """Ten entries below zero, with the check string that makes the game accept them."""
    entries = [(b"LOW%d" % i, b"%d" % -i) for i in range(1, 11)]
    check = bytearray(b" " * max(len(name) for name, _ in entries))
    for name, score in entries:
        mix(check, name)
        mix(check, score)
    with open(os.path.join(save_dir, "hs"), "wb") as f:
        f.write(b"".join(name + b"\r\n" + score + b"\r\n0\r\n0\r\n" for name, score in entries))
    with open(os.path.join(save_dir, "options"), "wb") as f:
        f.write(b"0\r\n1\r\n1\r\n_______\r\n" + bytes(check) + b"\r\n")


class ScoreServer(http.server.BaseHTTPRequestHandler):
    requests = []

    def do_GET(self):
        ScoreServer.requests.append(self.path)
        body = b"ok"
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main():
    e2e.require_tools("Xvfb", "xdotool", "import", "convert")
    port = int(os.environ["SPRAYDASH_E2E_SCORE_PORT"])
    try:
        server = http.server.HTTPServer(("127.0.0.1", port), ScoreServer)
    except OSError as e:
        print("FAILED: the score server cannot listen on port %d: %s" % (port, e))
        return 1
    threading.Thread(target=server.serve_forever, daemon=True).start()

    xserver = e2e.XServer()
    workdir = e2e.make_workdir()
    write_low_table(os.path.join(workdir, "Data", "Save"))
    game = e2e.Game(xserver, workdir, argv=[os.environ["SPRAYDASH_E2E_GAME"]])
    ok = False
    try:
        game.wait_window()
        menu = preview("mainmenu_1")
        game.wait_for(lambda s: s.match_fraction(menu, *COLUMN) >= 0.95, "the main menu", timeout=15)
        game.keys("Return")
        game.wait_for(lambda s: s.match_fraction(preview("boats_1"), *SUB_TITLE) >= 0.9, "the boat choice")
        game.keys("Return")
        race = preview("race_1")
        game.wait_for(lambda s: s.match_fraction(race, *LEFT_PANEL) >= 0.9, "the race")
        game.wait_for(lambda s: s.count_near(YELLOW, *BANNER) < 20, "the level banner to close", timeout=8)

        game.keys("Escape")
        finish = preview("race_finish_question")
        game.wait_for(lambda s: s.match_fraction(finish, 307, 340, 202, 45) >= 0.9, "\"Finish race?\"")
        game.keys("y")
        # Name entry: the window without buttons, the yellow question in it.
        entering = preview("race_enter_name")
        game.wait_for(lambda s: s.match_fraction(entering, *WINDOW_TOP) >= 0.9
                      and s.count_near(YELLOW, 220, 285, 360, 35) > 150
                      and s.match_fraction(finish, 307, 340, 202, 45) < 0.5, "the name entry")
        game.type_text(NAME)
        game.keys("Return")
        sending = preview("race_send_result")
        game.wait_for(lambda s: s.match_fraction(sending, *SEND_BUTTONS) >= 0.9, "\"Send the result\"")
        game.keys("Return")  # yes is highlighted

        table = preview("highscores")
        game.wait_for(lambda s: s.match_fraction(table, *SUB_TITLE) >= 0.9
                             and s.match_fraction(menu, 556, 114, 230, 50) < 0.9,
                             "the high-score table after sending", timeout=20)
        e2e.check(len(ScoreServer.requests) == 1, "score requests: %r" % ScoreServer.requests)
        path = ScoreServer.requests[0]
        e2e.check(re.fullmatch(r"/cgi/version\.pl\?hs&prg=Spraydash&inf=[0-9A-Za-z]+", path) is not None,
                  "unexpected score request %r" % path)

        game.keys("Escape")
        game.wait_for(lambda s: s.match_fraction(preview("mainmenu_3"), *COLUMN) >= 0.95, "the main menu")
        game.keys("Down", "Down", "Down", "Return")
        game.wait_for(lambda s: s.match_fraction(preview("exit_question"), 315, 344, 202, 45) >= 0.9,
                      "\"Exit the game?\"")
        game.keys("y")
        e2e.check(game.wait_exit() == 0, "the game did not end with status 0")
        with open(os.path.join(workdir, "Data", "Save", "hs"), "rb") as f:
            lines = f.read().split(b"\r\n")
        e2e.check(lines[0:2] == [NAME.encode(), b"0"] and lines[4] == b"LOW1",
                  "the new entry is not first in Data/Save/hs: %r" % lines[:6])
        ok = True
    except e2e.E2EFailure as e:
        print("FAILED: %s" % e)
        print("game output:\n" + game.log_text())
    finally:
        game.stop()
        xserver.close()
        server.shutdown()
        if ok:
            shutil.rmtree(workdir, ignore_errors=True)
        else:
            print("working directory kept: " + workdir)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
