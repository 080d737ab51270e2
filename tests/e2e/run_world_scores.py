#!/usr/bin/env python3
"""The game and the world score server together: a real spraydash-scores on 127.0.0.1 with a
fresh database, and the game pointed at it only through the environment variable
SPRAYDASH_SCORE_SERVER. A race ended by "Finish race?" beats the table, a name with markup,
"|" and "=" is typed, Y sends the result; the world page then lists the name (as text) with the
race's score and the options' crew text. Afterwards the high-score screen's "World high scores"
button opens that same server's page in the browser (a stand-in that writes the address down)."""

import html
import json
import os
import re
import stat
import subprocess
import sys
import time
import urllib.request

import e2e_session as e2e
import run_score_submission as flow

NAME = "<i>Ann|=7"
PAGE_PATH = "/cgi/version.pl?prg=Spraydash&show&type=0"
VIEW_HS = (148 + 125, 530 + 18)   # the middle of the high-score screen's world-list button
REPLAY_MARK = (300, 4, 200, 30)  # the REPLAY mark, top middle of the river
REPLAY_ORANGE = (255, 180, 27)
FINISH_YES = (307 + 40, 340 + 22)  # the middle of "Finish race?"'s yes button


def click(game, point):
    """Points at a place of the game window, then clicks there."""
    x, y = point
    game.xdotool("mousemove", "--window", str(game.window), str(x), str(y))
    time.sleep(0.3)
    game.xdotool("click", "1")


class ScoreServer:
    """spraydash-scores on a port of its own choosing, with a database in workdir."""

    def __init__(self, workdir):
        exe = os.environ.get("SPRAYDASH_SCORES_EXE") or os.path.join(e2e.build_dir(), "src", "server",
                                                                    "spraydash-scores")
        self.log = open(os.path.join(workdir, "server.log"), "wb")
        self.proc = subprocess.Popen([exe, "--listen", "127.0.0.1:0", "--db", os.path.join(workdir, "scores.db")],
                                     stdout=subprocess.PIPE, stderr=self.log)
        line = self.proc.stdout.readline().decode()
        match = re.search(r"listening on (127\.0\.0\.1:\d+)", line)
        if not match:
            self.close()
            raise e2e.E2EFailure("spraydash-scores did not start: %r" % line)
        self.base = "http://" + match.group(1)

    def get(self, path):
        with urllib.request.urlopen(self.base + path, timeout=10) as reply:
            return reply.read().decode("utf-8")

    def log_text(self):
        self.log.flush()
        with open(self.log.name, "rb") as f:
            return f.read().decode(errors="replace")

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stdout.close()
        self.log.close()


def browser_stand_in(workdir):
    """An environment in which the game's "open in the browser" ends in a script that writes the
    address to a file: xdg-open finds no desktop's handler in the empty XDG folders and falls
    back to $BROWSER."""
    opened = os.path.join(workdir, "opened.txt")
    script = os.path.join(workdir, "browser.sh")
    with open(script, "w") as f:
        f.write("#!/bin/sh\nprintf '%%s\\n' \"$1\" >> '%s'\n" % opened)
    os.chmod(script, os.stat(script).st_mode | stat.S_IXUSR)
    xdg = os.path.join(workdir, "xdg")
    env = {"BROWSER": script}
    for name in ("XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS"):
        path = os.path.join(xdg, name.lower())
        os.makedirs(path, exist_ok=True)
        env[name] = path
    return env, opened


def play(game, server):
    menu = flow.preview("mainmenu_1")
    game.wait_for(lambda s: s.match_fraction(menu, *flow.COLUMN) >= 0.95, "the main menu", timeout=20)
    flow.tap(game, "Return")
    boats = flow.preview("boats_1")
    game.wait_for(lambda s: s.match_fraction(boats, *flow.SUB_TITLE) >= 0.9, "the boat choice")
    flow.tap(game, "Return")
    race = flow.preview("race_1")
    game.wait_for(lambda s: s.match_fraction(race, *flow.LEFT_PANEL) >= 0.9, "the race")
    game.wait_for(lambda s: s.count_near(flow.YELLOW, *flow.BANNER) > 150, "the level banner")
    game.wait_for(lambda s: s.count_near(flow.YELLOW, *flow.BANNER) < 20, "the level banner to close", timeout=6)

    finish = flow.preview("race_finish_question")
    flow.tap(game, "Escape")
    game.wait_for(lambda s: s.match_fraction(finish, *flow.FINISH_BUTTONS) >= 0.9, "\"Finish race?\"")
    # Answered with the mouse: no key of the answer can end up in the name.
    click(game, FINISH_YES)
    send = flow.preview("race_send_result")
    asking_to_send = lambda s: s.match_fraction(send, *flow.SEND_BUTTONS) >= 0.9
    game.wait_for(lambda s: s.count_near(flow.YELLOW, *flow.WINDOW_TEXT, tolerance=20) > 300
                  and s.match_fraction(finish, *flow.FINISH_BUTTONS) < 0.9 and not asking_to_send(s),
                  "the name entry")
    game.type_text(NAME)
    time.sleep(0.3)
    flow.tap(game, "Return")
    game.wait_for(asking_to_send, "the send question")
    e2e.check("entries\":[]" in server.get("/api/v1/scores"), "a result arrived before the answer")

    flow.tap(game, "y")
    table = flow.preview("highscores")
    game.wait_for(lambda s: s.match_fraction(table, *flow.SUB_TITLE) >= 0.9
                  and s.match_fraction(menu, 556, 114, 230, 50) < 0.9,
                  "the high-score table after sending", timeout=20)


def open_world_list(game, opened):
    click(game, VIEW_HS)
    deadline = time.time() + 15
    while time.time() < deadline and not os.path.exists(opened):
        time.sleep(0.2)
    e2e.check(os.path.exists(opened), "the world-list button opened nothing in the browser")
    time.sleep(0.3)
    with open(opened) as f:
        return [line.strip() for line in f if line.strip()]


def verify_page(server, workdir):
    scores = json.loads(server.get("/api/v1/scores"))
    e2e.check(scores["total"] == 1, "the server holds %d results instead of one" % scores["total"])
    entry = scores["entries"][0]
    e2e.check(entry["name"] == NAME, "stored name %r instead of %r" % (entry["name"], NAME))
    e2e.check(entry["crew"] == flow.ADD_INFO, "stored crew text %r" % entry["crew"])

    # The score on the page is the one the game put into its own table with the name.
    table = flow.read_table(workdir)
    local = [s for n, s in table if n == NAME]
    e2e.check(local == [entry["score"]], "local table %r, server score %d" % (table, entry["score"]))

    page = server.get(PAGE_PATH)
    row = re.search(r"<td class=\"name\">(.*?)</td><td class=\"score\">(-?\d+)</td><td class=\"crew\">(.*?)</td>",
                    page)
    e2e.check(row is not None, "no row on the world page")
    e2e.check(row.group(1) == html.escape(NAME, quote=True).replace("&#x27;", "&#39;"),
              "the page shows the name as %r" % row.group(1))
    e2e.check(int(row.group(2)) == entry["score"] and row.group(3) == flow.ADD_INFO,
              "the page row is %r" % (row.groups(),))
    e2e.check("<i>" not in page, "the name's markup reached the page unescaped")
    print("world page lists %r with %d (crew %r)" % (NAME, entry["score"], flow.ADD_INFO))


def wait_verified(server, workdir):
    """The replay the game uploaded after its score request verifies the entry within seconds;
    the page marks it and links the replay, which downloads as the game's own file."""
    deadline = time.time() + 20
    entry = None
    while time.time() < deadline:
        entry = json.loads(server.get("/api/v1/scores"))["entries"][0]
        if entry["verification"] != "none":
            break
        time.sleep(0.25)
    e2e.check(entry["verified"] is True, "the entry is not verified: %r\n%s" % (entry, server.log_text()))
    e2e.check(entry["replay"], "a verified entry with no replay address: %r" % entry)
    only = json.loads(server.get("/api/v1/scores?verified=1"))
    e2e.check([e["name"] for e in only["entries"]] == [NAME], "verified only: %r" % only)
    page = server.get(PAGE_PATH)
    e2e.check(entry["replay"] in page, "the world page does not link the replay %s" % entry["replay"])
    with urllib.request.urlopen(server.base + entry["replay"], timeout=10) as reply:
        body = reply.read()
        disposition = reply.headers.get("Content-Disposition", "")
    with open(os.path.join(workdir, "Data", "Save", "replays", "last.sdreplay"), "rb") as f:
        e2e.check(body == f.read(), "the downloaded replay is not the race's")
    e2e.check(".sdreplay" in disposition, "Content-Disposition: %r" % disposition)
    path = os.path.join(workdir, "downloaded.sdreplay")
    with open(path, "wb") as f:
        f.write(body)
    print("verified: %s (%d bytes)" % (entry["replay"], len(body)))
    return path


def watch_downloaded(session, replay):
    """The replay as downloaded plays in spraydash --replay."""
    game = session.start_game(argv=[os.path.join(e2e.build_dir(), "src", "spraydash"), "--replay", replay])
    game.wait_for(lambda s: s.count_near(REPLAY_ORANGE, *REPLAY_MARK) > 40, "the REPLAY mark", timeout=15)
    game.keys("Escape")


def main():
    e2e.require_tools("Xvfb", "xdotool", "import", "convert", "xdg-open")

    def test(session):
        workdir = session.workdir
        flow.write_saves(workdir)
        server = session.closing(ScoreServer(workdir))
        env, opened = browser_stand_in(workdir)
        env["SPRAYDASH_SCORE_SERVER"] = server.base
        game = session.start_game(env=env)
        play(game, server)
        urls = open_world_list(game, opened)
        e2e.check(urls == [server.base + PAGE_PATH], "the browser was sent to %r" % urls)
        game.close_request()
        time.sleep(0.5)
        flow.tap(game, "y")
        e2e.check(game.wait_exit(10) == 0, "the game did not end with status 0")
        verify_page(server, workdir)
        replay = wait_verified(server, workdir)
        watch_downloaded(session, replay)

    return e2e.run_session(test, workdir_parent=os.path.join(e2e.build_dir(), "e2e-world-scores"))


if __name__ == "__main__":
    sys.exit(main())
