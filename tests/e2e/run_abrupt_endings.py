#!/usr/bin/env python3
"""Endings the player does not choose lose nothing earned.

- The display server dies while the options screen is open with a switch changed and after a
  race put a name in the table: the game ends (status 1, the display named on stderr) and both
  the entry and the change are in the files.
- SIGHUP (the terminal closed) and SIGQUIT end the game with 128 + the signal, saved.
- A second game on the same save folder is turned away and the first one's table stays.
- Y held past the display's key-repeat delay after "Finish race?" types nothing into the name."""

import os
import shutil
import signal
import subprocess
import sys
import time

import e2e_session as e2e
import run_score_submission as scores

OPTIONS_BUTTON = (560, 180)  # the main menu's options button
MUSIC_ROW = (20, 246)        # the options screen's music row


def to_main_menu(game):
    menu = scores.preview("mainmenu_1")
    game.wait_for(lambda s: s.match_fraction(menu, *scores.COLUMN) >= 0.95, "the main menu", timeout=30)


def race_to_finish_question(game):
    scores.start_race(game)
    scores.tap(game, "Escape")
    time.sleep(0.5)


def click(game, x, y):
    game.xdotool("mousemove", "--window", str(game.window), str(x), str(y))
    time.sleep(0.3)
    game.xdotool("click", "1")


def open_options_and_switch_music(game):
    click(game, *OPTIONS_BUTTON)
    options = scores.preview("options_1")
    game.wait_for(lambda s: s.match_fraction(options, *scores.SUB_TITLE) >= 0.9, "the options screen")
    click(game, *MUSIC_ROW)
    time.sleep(0.5)


def read_options(workdir):
    with open(os.path.join(workdir, "Data", "Save", "options"), "rb") as f:
        return f.read().split(b"\r\n")


def new_names(workdir):
    known = {name for name, _ in scores.TABLE}
    return [n for n, _ in scores.read_table(workdir) if n not in known]


def with_game(body, xserver=None, workdir=None):
    own_server = xserver is None
    xserver = xserver or e2e.XServer()
    workdir = workdir or e2e.make_workdir("spraydash-e2e-abrupt-")
    scores.write_saves(workdir)
    game = None
    try:
        game = e2e.Game(xserver, workdir)
        game.wait_window()
        to_main_menu(game)
        body(game, xserver, workdir)
        shutil.rmtree(workdir, ignore_errors=True)
        return None
    except e2e.E2EFailure as e:
        return "%s (game output: %s; kept: %s)" % (e, game.log_text() if game else "", workdir)
    finally:
        if game:
            game.stop()
        if own_server:
            xserver.close()


def display_dies(game, xserver, workdir):
    race_to_finish_question(game)
    scores.tap(game, "y")
    time.sleep(0.5)
    game.xdotool("type", "--delay", "80", "LOST")
    scores.tap(game, "Return")
    time.sleep(0.5)
    scores.tap(game, "n")
    table = scores.preview("highscores")
    game.wait_for(lambda s: s.match_fraction(table, *scores.SUB_TITLE) >= 0.9, "the high-score table", timeout=30)
    scores.tap(game, "Escape")
    time.sleep(0.5)
    open_options_and_switch_music(game)
    xserver.proc.kill()
    xserver.proc.wait()
    status = game.wait_exit(10)
    e2e.check(status == 1, "exit status %s when the display went away" % status)
    e2e.check(xserver.display in game.log_text(), "stderr does not name the display: %r" % game.log_text())
    e2e.check(new_names(workdir) == ["LOST"], "the new entry is not in the table: %r" % new_names(workdir))
    e2e.check(read_options(workdir)[1] == b"1", "the music switch was lost: %r" % read_options(workdir))


def signal_ends(signum):
    def body(game, xserver, workdir):
        open_options_and_switch_music(game)
        game.proc.send_signal(signum)
        status = game.wait_exit(2)
        e2e.check(status == 128 + signum, "exit status %s after signal %d" % (status, signum))
        e2e.check(read_options(workdir)[1] == b"1", "the music switch was lost: %r" % read_options(workdir))
    return body


def second_game_turned_away(game, xserver, workdir):
    before = scores.read_table(workdir)
    log_path = os.path.join(workdir, "second.log")
    with open(log_path, "wb") as log:
        second = subprocess.Popen([os.path.join(e2e.build_dir(), "src", "spraydash")], cwd=workdir,
                                  env=xserver.env({"SDL_AUDIODRIVER": "dummy"}), stdout=log, stderr=subprocess.STDOUT)
    try:
        # The refusal is shown in a dialog, and the same text goes to stderr.
        deadline = time.time() + 15
        said = ""
        while time.time() < deadline and "Another Spraydash game" not in said:
            time.sleep(0.3)
            with open(log_path, "rb") as log:
                said = log.read().decode(errors="replace")
        e2e.check("Another Spraydash game" in said, "the second game was not turned away: %r" % said)
    finally:
        second.terminate()
        second.wait(10)
    e2e.check(game.alive(), "the first game ended")
    e2e.check(scores.read_table(workdir) == before, "the second game changed the table")


def held_y_types_nothing(game, xserver, workdir):
    race_to_finish_question(game)
    game.key_down("y")
    time.sleep(1.2)  # well past the display's repeat delay
    game.key_up("y")
    time.sleep(0.3)
    game.xdotool("type", "--delay", "80", "ACE")
    scores.tap(game, "Return")
    time.sleep(0.5)
    scores.tap(game, "n")
    time.sleep(1.0)
    e2e.check(new_names(workdir) == ["ACE"], "the held Y typed into the name: %r" % new_names(workdir))


def main():
    e2e.require_tools("Xvfb", "xdotool", "import", "convert")
    cases = [("display dies", display_dies),
             ("SIGHUP", signal_ends(signal.SIGHUP)),
             ("SIGQUIT", signal_ends(signal.SIGQUIT)),
             ("second game", second_game_turned_away),
             ("held Y", held_y_types_nothing)]
    failures = []
    for what, body in cases:
        failure = with_game(body)
        if failure:
            failures.append("%s: %s" % (what, failure))
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
