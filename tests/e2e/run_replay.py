#!/usr/bin/env python3
"""Replays on the real binary: --verify-replay's verdicts and exit codes; --replay plays a file
in the window under the "REPLAY" mark, P pauses it, Esc leaves for the high-score table, and
played to its end it comes out as recorded; a
right click on a table row with a kept replay watches it; a damaged file is refused before any
window opens."""

import glob
import json
import os
import shutil
import subprocess
import sys
import time

import e2e_session as e2e
from run_score_submission import table_check

FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "replay", "fixtures")
MARK = (300, 4, 200, 30)      # the mark, top middle of the river
ORANGE = (255, 180, 27)
RIVER = (177, 60, 432, 320)   # water under the mark
ROW_ONE = (214, 165)          # the table's first row
TABLE_TITLE = (14, 108, 520, 30)
WATCHER = ("WATCHER", 6000)


def game_binary():
    return os.path.join(e2e.build_dir(), "src", "spraydash")


def fixture():
    return sorted(glob.glob(os.path.join(FIXTURES, "*.sdreplay")))[0]


def verify(workdir, path):
    return subprocess.run([game_binary(), "--verify-replay", path], cwd=workdir, capture_output=True, text=True,
                          timeout=60)


def check_verify(workdir):
    good = verify(workdir, fixture())
    e2e.check(good.returncode == 0, "a recorded race does not verify: %s %s" % (good.stdout, good.stderr))
    verdict = json.loads(good.stdout)
    e2e.check(verdict["match"] is True and isinstance(verdict["score"], int), "verdict: " + good.stdout)

    with open(fixture(), "rb") as f:
        data = f.read()
    damaged = os.path.join(workdir, "damaged.sdreplay")
    with open(damaged, "wb") as f:
        f.write(data[:len(data) // 2])
    cut = verify(workdir, damaged)
    e2e.check(cut.returncode == 2 and "truncated" in cut.stderr and "damaged.sdreplay" in cut.stderr,
              "a truncated replay: %d %s" % (cut.returncode, cut.stderr))
    with open(damaged, "wb") as f:
        f.write(b"SDRP\x07" + data[5:])
    version = verify(workdir, damaged)
    e2e.check(version.returncode == 2 and "wrong format version 7" in version.stderr, version.stderr)
    refused = subprocess.run([game_binary(), "--replay", damaged], cwd=workdir, capture_output=True, text=True,
                             timeout=30, env=dict(os.environ, DISPLAY=""))
    e2e.check(refused.returncode == 2 and "wrong format version" in refused.stderr, refused.stderr)


def moving(game):
    a = game.shot()
    time.sleep(0.4)
    return a.match_fraction(game.shot(), *RIVER, tolerance=0) < 0.995


def watch_from_command_line(server, workdir):
    game = e2e.Game(server, workdir, argv=[game_binary(), "--replay", fixture()])
    try:
        game.wait_window()
        game.wait_for(lambda s: s.count_near(ORANGE, *MARK) > 40, "the REPLAY mark", timeout=15)
        game.wait_for(lambda s: moving(game), "the watched race to move")
        game.keys("p")
        time.sleep(0.3)
        e2e.check(not moving(game), "the watched race goes on while paused")
        game.keys("p")
        game.keys("Escape")
        table = e2e.Picture.from_file(os.path.join(e2e.build_dir(), "previews", "highscores.png"))
        game.wait_for(lambda s: s.match_fraction(table, *TABLE_TITLE) >= 0.9, "the table after the replay",
                      timeout=15)
    finally:
        game.stop()


def watch_to_the_end(server, workdir):
    """Played on the SDL back-end, fast forward, the race comes out as it did when recorded."""
    path = os.path.join(FIXTURES, "boat1_game_over.sdreplay")
    game = e2e.Game(server, workdir, argv=[game_binary(), "--replay", path])
    try:
        game.wait_window()
        game.wait_for(lambda s: s.count_near(ORANGE, *MARK) > 40, "the REPLAY mark", timeout=15)
        game.keys("f")
        deadline = time.time() + 90
        while "the replay came to" not in game.log_text() and time.time() < deadline:
            time.sleep(0.5)
        e2e.check("(as its claim)" in game.log_text(), "the watched race: " + game.log_text())
    finally:
        game.stop()


def watch_from_table(server, workdir):
    table = [WATCHER] + [("ANONYMOUS", 5500 - 500 * i) for i in range(2, 11)]
    save = os.path.join(workdir, "Data", "Save")
    with open(os.path.join(save, "hs"), "wb") as f:
        for name, score in table:
            f.write(b"%s\r\n%d\r\n0\r\n0\r\n" % (name.encode(), score))
    with open(os.path.join(save, "options"), "wb") as f:
        f.write(b"0\r\n0\r\n0\r\n_______\r\n" + table_check(table) + b"\r\n")
    os.makedirs(os.path.join(save, "replays"), exist_ok=True)
    kept = "%d-%s.sdreplay" % (WATCHER[1], WATCHER[0].encode().hex())
    shutil.copyfile(fixture(), os.path.join(save, "replays", kept))

    game = e2e.Game(server, workdir)
    try:
        game.wait_window()
        menu = e2e.Picture.from_file(os.path.join(e2e.build_dir(), "previews", "mainmenu_1.png"))
        game.wait_for(lambda s: s.match_fraction(menu, 556, 114, 230, 361) >= 0.95, "the main menu", timeout=20)
        game.keys("Down", "Down", "Return")
        time.sleep(1)
        x, y, _, _ = game.geometry()
        game.xdotool("mousemove", str(x + ROW_ONE[0]), str(y + ROW_ONE[1]))
        time.sleep(0.3)
        game.xdotool("click", "3")
        game.wait_for(lambda s: s.count_near(ORANGE, *MARK) > 40, "the REPLAY mark after a right click on a row",
                      timeout=15)
        game.shot(os.path.join(workdir, "watching-from-table.png"))
        game.keys("Escape")
        time.sleep(2)
        e2e.check(game.alive(), "the game ended with the replay")
    finally:
        game.stop()
    with open(os.path.join(save, "hs"), "rb") as f:
        e2e.check(f.read().startswith(b"WATCHER\r\n6000\r\n"), "the table changed")


def main():
    e2e.require_tools("Xvfb", "xdotool", "import", "convert")

    def test(session):
        check_verify(session.workdir)
        watch_from_command_line(session.server, session.workdir)
        watch_to_the_end(session.server, session.workdir)
        watch_from_table(session.server, session.workdir)

    return e2e.run_session(test)


if __name__ == "__main__":
    sys.exit(main())
