#!/usr/bin/env python3
"""A screen smaller than the picture (640 × 480), with and without a window manager: the window
opens scaled down to fit the screen, showing the whole picture, full screen covers the screen with
the whole picture scaled and centred, and the window comes back to where and as large as it was."""

import os
import shutil
import sys
import time

import e2e_session as e2e

SCREEN = (640, 480)
PREVIEWS = os.path.join(e2e.build_dir(), "previews")
# Parts of the main menu that stand still, in 800 × 600 picture pixels: the title at the top left,
# the caption panel, the lit start button, the bottom-right badge.
STILL = ((60, 20, 120, 40), (40, 200, 460, 120), (600, 126, 150, 24), (620, 520, 160, 60))


def root_shot(game):
    out = e2e.subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=game.server.env(),
                             check=True, capture_output=True, timeout=20).stdout
    return e2e.Picture(out)


def wait_geometry(game, wanted, what, timeout=8):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if wanted(game.geometry()):
            return game.geometry()
        time.sleep(0.2)
    raise e2e.E2EFailure("%s: the window is at %d,%d, %dx%d" % ((what,) + game.geometry()))


def check_scaled_picture(game, menu):
    """The screen shows the whole menu at 0.8 of its size from the screen's top-left corner."""
    scale = SCREEN[0] / 800
    deadline = time.time() + 8
    while True:
        shot = root_shot(game)
        misses = []
        for x, y, w, h in STILL:
            expected = menu.mean(x, y, w, h)
            seen = shot.mean(int(x * scale), int(y * scale), int(w * scale), int(h * scale))
            if e2e.colour_distance(seen, expected) >= 30:
                misses.append("%s: %s instead of %s" % ((x, y, w, h), seen, expected))
        if not misses:
            return
        if time.time() > deadline:
            keep = os.path.join(game.workdir, "small_screen.png")
            e2e.subprocess.run(["import", "-window", "root", keep], env=game.server.env())
            raise e2e.E2EFailure("the full-screen picture is not the scaled menu (%s): %s" % (keep, "; ".join(misses)))
        time.sleep(0.3)


def menu_in_window(menu):
    """The whole menu after its intro, scaled to the window: the caption panel and the column."""
    def shown(shot):
        sx = shot.width / 800
        sy = shot.height / 600
        def seen(x, y, w, h):
            return shot.mean(int(x * sx), int(y * sy), max(1, int(w * sx)), max(1, int(h * sy)))
        return all(e2e.colour_distance(seen(*box), menu.mean(*box)) < 30 for box in STILL)
    return shown


def test(game):
    menu = e2e.Picture.from_file(os.path.join(PREVIEWS, "mainmenu_1.png"))
    x, y, w, h = game.geometry()
    e2e.check(x >= 0 and y >= 0 and x + w <= SCREEN[0] and y + h <= SCREEN[1] and w < 800,
              "the window opened at %d,%d, %dx%d: it does not fit the %dx%d screen" % ((x, y, w, h) + SCREEN))
    e2e.check(abs(w * 3 - h * 4) <= 4, "the window %dx%d does not keep the picture's 4:3" % (w, h))
    windowed = (x, y, w, h)
    game.wait_for(menu_in_window(menu), "the whole main menu scaled into the window", timeout=15)

    game.keys("alt+Return")
    wait_geometry(game, lambda g: g == (0, 0) + SCREEN, "full screen")
    check_scaled_picture(game, menu)

    game.keys("alt+Return")
    wait_geometry(game, lambda g: g == windowed, "back in a window")
    game.wait_for(menu_in_window(menu), "the menu in the window again")


def run(window_manager):
    server = e2e.XServer(*SCREEN, window_manager=window_manager)
    workdir = e2e.make_workdir()
    game = None
    try:
        game = e2e.Game(server, workdir)
        game.wait_window()
        test(game)
        shutil.rmtree(workdir, ignore_errors=True)
        return True
    except e2e.E2EFailure as e:
        print("FAILED (%s): %s" % ("window manager" if window_manager else "no window manager", e))
        if game:
            print("game output:\n" + game.log_text())
        print("working directory kept: " + workdir)
        return False
    finally:
        if game:
            game.stop()
        server.close()


if __name__ == "__main__":
    e2e.require_tools("Xvfb", "xdotool", "import", "convert", "openbox")
    results = [run(None), run(["openbox", "--sm-disable"])]
    sys.exit(0 if all(results) else 1)
