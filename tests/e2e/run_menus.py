#!/usr/bin/env python3
"""Start-up to the main menu, the close box, every sub-screen by keyboard and back, then the
exit question: N keeps the game, Y ends it with status 0 and the two save files written."""

import os
import sys

import e2e_session as e2e

# The layout previews drawn from the archives at build time: what each screen must show.
PREVIEWS = os.path.join(e2e.build_dir(), "previews")

COLUMN = (556, 114, 230, 361)     # the six main-menu buttons after the intro
SUB_TITLE = (14, 108, 520, 30)    # a sub-screen frame's title band, different on each
YES_NO = (197, 344, 202, 45)      # the exit question's buttons


def preview(name):
    return e2e.Picture.from_file(os.path.join(PREVIEWS, name + ".png"))


def matches(name, box, at_least=0.9):
    expected = preview(name)
    return lambda shot: shot.match_fraction(expected, *box) >= at_least


def main_menu_with(active):
    """The button column with button `active` lit, and its caption beside it."""
    expected = preview("mainmenu_%d" % active)
    return lambda shot: (shot.match_fraction(expected, *COLUMN) >= 0.95
                         and shot.match_fraction(expected, 27, 190, 500, 150) >= 0.9)


def test(game):
    before = game.shot()
    # The column slides in from the right edge: at first its place shows no button.
    menu = preview("mainmenu_1")
    e2e.check(before.match_fraction(menu, *COLUMN) < 0.95, "the buttons were in place before the intro ran")
    game.wait_for(main_menu_with(1), "the button column at X 556 with \"Start game\" lit", timeout=15)

    # The close box asks first and the window stays.
    game.close_request()
    game.wait_for(matches("exit_question", YES_NO), "\"Exit the game?\" after the close box")
    game.keys("n")
    game.wait_for(main_menu_with(1), "the main menu after N")
    e2e.check(game.alive() and game.geometry()[2:] == (800, 600), "the close box closed the window")

    # Every sub-screen by Down/Enter, back by Esc with its own button still lit.
    for steps, active, screen in ((1, 2, "options_1"), (1, 3, "highscores"), (1, 4, "help1")):
        game.keys(*["Down"] * steps)
        game.wait_for(main_menu_with(active), "main-menu button %d lit" % active)
        game.keys("Return")
        game.wait_for(matches(screen, SUB_TITLE), "the %s screen" % screen)
        game.keys("Escape")
        game.wait_for(main_menu_with(active), "the main menu after Esc on %s" % screen)

    # Up wraps past the top; three steps up from Help reach "Start game" and its boat choice.
    game.keys("Up", "Up", "Up")
    game.wait_for(main_menu_with(1), "\"Start game\" lit")
    game.keys("Return")
    game.wait_for(matches("boats_1", SUB_TITLE), "the boat choice")
    game.keys("Escape")
    game.wait_for(main_menu_with(1), "the main menu after Esc on the boat choice")

    # Up from the first button wraps to Exit.
    game.keys("Up")
    game.wait_for(main_menu_with(6), "\"Exit\" lit")
    game.keys("Return")
    game.wait_for(matches("exit_question", YES_NO), "\"Exit the game?\"")
    game.keys("n")
    game.wait_for(main_menu_with(6), "the main menu after N")
    e2e.check(game.alive(), "N on \"Exit the game?\" ended the game")

    # Leaving the options screen put the options (and the table their check vouches for) on disk;
    # the lock file says this game holds the folder.
    save = os.path.join(game.workdir, "Data", "Save")
    e2e.check(sorted(os.listdir(save)) == ["hs", "lock", "options", "settings"],
              "the save folder holds %s after the options screen was left" % sorted(os.listdir(save)))
    game.keys("Return")
    game.wait_for(matches("exit_question", YES_NO), "\"Exit the game?\" again")
    game.keys("y")
    status = game.wait_exit()
    e2e.check(status == 0, "exit status %s after Y" % status)

    with open(os.path.join(save, "hs"), "rb") as f:
        hs = f.read().split(b"\r\n")
    e2e.check(len(hs) == 41 and hs[40] == b"" and hs[0:2] == [b"ANONYMOUS", b"5000"],
              "Data/Save/hs is not the default table of 40 lines: %r" % hs[:4])
    with open(os.path.join(save, "options"), "rb") as f:
        options = f.read().split(b"\r\n")
    e2e.check(len(options) == 6 and options[5] == b"" and options[0:3] == [b"0", b"1", b"1"],
              "Data/Save/options is not the five default lines: %r" % options)


if __name__ == "__main__":
    e2e.require_tools("Xvfb", "xdotool", "import", "convert")
    sys.exit(e2e.run(test))
