#!/usr/bin/env python3
"""On a 3840 × 2160 screen the window opens at a size that reads well (2 ×), Alt+1 / Alt+2 / Alt+3
switch it to 1 ×, 2 × and 3 × and back, every size shows the whole menu, and a click lands on the
same button at every size."""

import os
import sys
import time

import e2e_session as e2e

SCREEN = (3840, 2160)
PREVIEWS = os.path.join(e2e.build_dir(), "previews")
# Parts of the main menu that stand still whichever button is lit, in 800 × 600 picture pixels: the
# title and the bottom-right badge.
STILL = ((60, 20, 120, 40), (620, 520, 160, 60))
COLUMN = (556, 114, 230, 361)  # the six main-menu buttons after the intro
OPTIONS_BUTTON = (560, 180)
SUB_TITLE = (14, 108, 520, 30)


def shows(reference, boxes):
    """The picture fills the window at its scale; each box matches the reference scaled."""
    def shown(shot):
        sx, sy = shot.width / 800, shot.height / 600
        for x, y, w, h in boxes:
            seen = shot.mean(int(x * sx), int(y * sy), max(1, int(w * sx)), max(1, int(h * sy)))
            if e2e.colour_distance(seen, reference.mean(x, y, w, h)) >= 30:
                return False
        return True
    return shown


def wait_size(game, size, what):
    deadline = time.time() + 8
    while time.time() < deadline:
        if game.geometry()[2:] == size:
            return
        time.sleep(0.2)
    raise e2e.E2EFailure("%s: the window is %dx%d" % ((what,) + game.geometry()[2:]))


def click(game, scale, point):
    game.xdotool("mousemove", "--window", str(game.window), str(point[0] * scale), str(point[1] * scale))
    time.sleep(0.3)
    game.xdotool("click", "1")


def test(game):
    menu = e2e.Picture.from_file(os.path.join(PREVIEWS, "mainmenu_1.png"))
    options = e2e.Picture.from_file(os.path.join(PREVIEWS, "options_1.png"))
    wait_size(game, (1600, 1200), "opening on a 4K screen")
    # Clicks count once the buttons have arrived.
    game.wait_for(shows(menu, [COLUMN]), "the menu's buttons in place", timeout=20)
    for scale in (1, 3, 2):
        game.keys("alt+%d" % scale)
        wait_size(game, (800 * scale, 600 * scale), "Alt+%d" % scale)
        game.wait_for(shows(menu, STILL), "the whole menu at %d x" % scale, timeout=15)
        click(game, scale, OPTIONS_BUTTON)
        game.wait_for(shows(options, [SUB_TITLE]), "the options screen after a click at %d x" % scale)
        game.keys("Escape")
        game.wait_for(shows(menu, STILL), "the menu again at %d x" % scale)
    shot = game.shot()
    e2e.check(shot.width == 1600, "the last size was not kept")


if __name__ == "__main__":
    e2e.require_tools("Xvfb", "xdotool", "import", "convert")
    server = e2e.XServer(*SCREEN)
    workdir = e2e.make_workdir()
    game = None
    ok = False
    try:
        game = e2e.Game(server, workdir)
        game.wait_window()
        test(game)
        ok = True
    except e2e.E2EFailure as e:
        print("FAILED: %s" % e)
        if game:
            print("game output:\n" + game.log_text())
        print("working directory kept: " + workdir)
    finally:
        if game:
            game.stop()
        server.close()
        if ok:
            e2e.shutil.rmtree(workdir, ignore_errors=True)
    sys.exit(0 if ok else 1)
