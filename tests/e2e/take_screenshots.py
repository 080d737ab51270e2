#!/usr/bin/env python3
"""Refreshes the README's screenshots: the main menu and a race a few seconds in.
Usage: SPRAYDASH_BUILD_DIR=build tests/e2e/take_screenshots.py docs/"""

import os
import sys
import time

import e2e_session as e2e


def main(out_dir):
    e2e.require_tools("Xvfb", "xdotool", "import", "convert")
    menu = e2e.Picture.from_file(os.path.join(e2e.build_dir(), "previews", "mainmenu_1.png"))

    def shoot(game):
        game.wait_for(lambda s: s.match_fraction(menu, 556, 114, 230, 361) >= 0.95, "the main menu", timeout=15)
        game.shot(os.path.join(out_dir, "menu.png"))
        game.keys("Return")
        time.sleep(1)
        game.keys("Return")
        time.sleep(3)  # past the level banner
        game.key_down("Up")
        time.sleep(4)
        game.shot(os.path.join(out_dir, "race.png"))
        game.key_up("Up")

    return e2e.run(shoot)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "docs"))
