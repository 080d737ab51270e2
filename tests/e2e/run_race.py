#!/usr/bin/env python3
"""A race from the boat choice: it runs, P pauses and resumes it, the close box and Esc
open "Finish race?", N resumes, Y ends it and the menu comes back with the high-score table."""

import os
import sys
import time

import e2e_session as e2e

PREVIEWS = os.path.join(e2e.build_dir(), "previews")
COLUMN = (556, 114, 230, 361)
SUB_TITLE = (14, 108, 520, 30)
LEFT_PANEL = (0, 0, 127, 60)         # the race's left panel, above the read-outs
RIVER = (177, 0, 432, 380)           # water above the player's boat
FINISH_BUTTONS = (307, 340, 202, 45)
BANNER = (250, 262, 300, 50)         # "Pause" and the level banner, yellow over the race
YELLOW = (255, 241, 0)


def preview(name):
    return e2e.Picture.from_file(os.path.join(PREVIEWS, name + ".png"))


def moving(game, pause=0.4):
    """Whether the river scrolls: two pictures a little apart differ in the water. Its wave
    lines are thin, so a slow scroll changes only a few per cent; a frozen race changes none."""
    a = game.shot()
    time.sleep(pause)
    b = game.shot()
    return a.match_fraction(b, *RIVER, tolerance=0) < 0.995


def wait_moving(game, want, what, timeout=10):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if moving(game) == want:
            return
    raise e2e.E2EFailure(what)


def test(game):
    menu = preview("mainmenu_1")
    game.wait_for(lambda s: s.match_fraction(menu, *COLUMN) >= 0.95, "the main menu", timeout=15)
    game.keys("Return")
    boats = preview("boats_1")
    game.wait_for(lambda s: s.match_fraction(boats, *SUB_TITLE) >= 0.9, "the boat choice")
    game.keys("Return")
    race = preview("race_1")
    game.wait_for(lambda s: s.match_fraction(race, *LEFT_PANEL) >= 0.9, "the race's left panel")
    game.wait_for(lambda s: s.count_near(YELLOW, *BANNER) > 150, "the level banner")
    game.wait_for(lambda s: s.count_near(YELLOW, *BANNER) < 20, "the level banner to close", timeout=6)

    game.key_down("Up")  # full throttle for the rest of the race
    try:
        wait_moving(game, True, "the river does not scroll under full throttle")

        game.keys("p")
        game.wait_for(lambda s: s.count_near(YELLOW, *BANNER) > 150, "\"Pause\"")
        e2e.check(not moving(game), "the race goes on while paused")
        game.keys("p")
        game.wait_for(lambda s: s.count_near(YELLOW, *BANNER) < 20, "\"Pause\" to close")
        wait_moving(game, True, "the race did not resume after P")

        finish = preview("race_finish_question")
        asking = lambda s: s.match_fraction(finish, *FINISH_BUTTONS) >= 0.9
        game.close_request()
        game.wait_for(asking, "\"Finish race?\" after the close box")
        e2e.check(not moving(game), "the race goes on under \"Finish race?\"")
        game.keys("n")
        wait_moving(game, True, "the race did not resume after N")
        e2e.check(game.alive(), "the close box ended the game")

        game.keys("Escape")
        game.wait_for(asking, "\"Finish race?\" after Esc")
        game.keys("y")
    finally:
        game.key_up("Up")
    # A score of 0 does not enter the table: straight back to the menu, whose intro ends
    # on the high-score table by itself.
    table = preview("highscores")
    game.wait_for(lambda s: s.match_fraction(table, *SUB_TITLE) >= 0.9
                  and s.match_fraction(menu, 556, 114, 230, 50) < 0.9,
                  "the high-score table after the race", timeout=15)
    e2e.check(game.alive(), "the game ended with the race")


if __name__ == "__main__":
    e2e.require_tools("Xvfb", "xdotool", "import", "convert")
    sys.exit(e2e.run(test))
