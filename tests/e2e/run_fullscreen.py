#!/usr/bin/env python3
"""Alt+Enter both ways under a window manager: the window takes the screen's size and comes
back to 800 × 600; the choice is in Data/Save/options after the exit and the next start
opens in full screen. The window manager's own close request opens "Exit the game?"."""

import os
import subprocess
import sys
import time

import e2e_session as e2e

PREVIEWS = os.path.join(e2e.build_dir(), "previews")
COLUMN = (556, 114, 230, 361)
YES_NO = (197, 344, 202, 45)


def preview(name):
    return e2e.Picture.from_file(os.path.join(PREVIEWS, name + ".png"))


def wait_size(game, size, what, timeout=8):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if game.geometry()[2:] == size:
            return
        time.sleep(0.2)
    raise e2e.E2EFailure("%s: the window is %dx%d" % ((what,) + game.geometry()[2:]))


def distinct_colours(picture, x, y, w, h):
    return len({picture.pixel(px, py) for py in range(y, y + h) for px in range(x, x + w)})


def options_lines(game):
    with open(os.path.join(game.workdir, "Data", "Save", "options"), "rb") as f:
        return f.read().split(b"\r\n")


def exit_by_keyboard(game):
    game.keys("Up")  # from "Start game" up to "Exit"
    game.keys("Return")
    question = preview("exit_question")
    game.wait_for(lambda s: game.geometry()[2:] != (800, 600)
                  or s.match_fraction(question, *YES_NO) >= 0.9, "\"Exit the game?\"")
    game.keys("y")
    e2e.check(game.wait_exit() == 0, "the game did not end with status 0")


def test(game):
    screen = game.server.size
    menu = preview("mainmenu_1")
    game.wait_for(lambda s: s.match_fraction(menu, *COLUMN) >= 0.95, "the main menu", timeout=15)

    subprocess.run(["wmctrl", "-c", "Spraydash"], env=game.server.env(), check=True)
    question = preview("exit_question")
    game.wait_for(lambda s: s.match_fraction(question, *YES_NO) >= 0.9, "\"Exit the game?\" from the window manager")
    game.keys("n")
    game.wait_for(lambda s: s.match_fraction(menu, *COLUMN) >= 0.95, "the main menu after N")

    game.keys("alt+Return")
    wait_size(game, screen, "full screen after Alt+Enter")
    shot = game.shot()
    e2e.check((shot.width, shot.height) == screen, "the picture does not fill the screen")
    # Sharp pixels by default: the largest whole factor, centred with bands; the lit start button
    # moves with the picture.
    lit = menu.mean(600, 130, 150, 20)
    k = max(1, min(screen[0] // 800, screen[1] // 600))
    ox, oy = (screen[0] - 800 * k) // 2, (screen[1] - 600 * k) // 2
    e2e.check(e2e.colour_distance(shot.mean(ox + 600 * k, oy + 130 * k, 150, 20), lit) < 40,
              "the sharp full-screen picture does not show the lit start button")
    # Alt+0: scaled to fill the screen's height instead.
    game.keys("alt+0")
    s = screen[1] / 600
    fx = (screen[0] - 800 * s) / 2
    game.wait_for(lambda shot: e2e.colour_distance(shot.mean(int(fx + 600 * s), int(130 * s), 150, 20), lit) < 40,
                  "the fitted full-screen picture with the lit start button")
    # The fit is filtered, not pixels repeated unevenly: the button column's edges and letters
    # take in-between colours that the picture itself does not have.
    fitted = game.shot(save_as=os.path.join(game.workdir, "fullscreen_fit.png"))
    x, y, w, h = COLUMN
    source_colours = distinct_colours(menu, x, y, w, h)
    fitted_colours = distinct_colours(fitted, int(fx + x * s), int(y * s), int(w * s), int(h * s))
    e2e.check(fitted_colours > 2 * source_colours,
              "the fitted picture is not smooth: %d colours where the picture has %d"
              % (fitted_colours, source_colours))
    game.keys("alt+0")

    game.keys("alt+Return")
    wait_size(game, (800, 600), "the window after the second Alt+Enter")
    game.wait_for(lambda s: s.match_fraction(menu, *COLUMN) >= 0.95, "the menu in the window again")

    game.keys("alt+Return")
    wait_size(game, screen, "full screen after the third Alt+Enter")
    exit_by_keyboard(game)
    e2e.check(options_lines(game)[0] == b"1", "full screen not saved: %r" % options_lines(game)[:1])

    again = e2e.Game(game.server, game.workdir)
    try:
        again.wait_window()
        wait_size(again, screen, "the next start")
        again.keys("alt+Return")
        wait_size(again, (800, 600), "the window after Alt+Enter on the next start")
        again.wait_for(lambda s: s.match_fraction(menu, *COLUMN) >= 0.95, "the menu after the next start", timeout=15)
        exit_by_keyboard(again)
    finally:
        again.stop()
    e2e.check(options_lines(game)[0] == b"0", "windowed mode not saved: %r" % options_lines(game)[:1])


if __name__ == "__main__":
    e2e.require_tools("Xvfb", "xdotool", "import", "convert", "openbox", "wmctrl")
    sys.exit(e2e.run(test, window_manager=["openbox", "--sm-disable"]))
