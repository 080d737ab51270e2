#!/usr/bin/env python3
"""Screenshots of the presentation a player notices, for a person to look at: the questions over
the menus and the race, the options' Info field full of wide letters, the high-score table with
extreme scores and its clear question, the race's speed dial and the name entry.
Usage: SPRAYDASH_BUILD_DIR=build tests/e2e/shoot_presentation.py OUT_DIR"""

import os
import sys
import time

import e2e_session as e2e

COLUMN = (556, 114, 230, 361)

# Extreme scores, the widest names, and a last entry so low that any race enters the table.
TABLE = [("WWWWWWWWWW", 2147483647), ("Marguerite", 999999999), ("MMMMMMMMMM", 123456), ("ANONYMOUS", 4000),
         ("Jo", 3500), ("ANONYMOUS", 3000), ("ANONYMOUS", 2500), ("ANONYMOUS", 0), ("ANONYMOUS", -1),
         ("Bottom", -2147483648)]


def table_check(table):
    check = [32] * max(len(name) for name, _ in table)
    for name, score in table:
        for text in (name, str(score)):
            for j, ch in enumerate(text.encode("cp1252")[:len(check)]):
                check[j] = (check[j] + ch) % 224 + 32
    return bytes(check)


def seed_saves(workdir):
    save = os.path.join(workdir, "Data", "Save")
    os.makedirs(save, exist_ok=True)
    lines = []
    for name, score in TABLE:
        lines += [name.encode("cp1252"), str(score).encode(), b"0", b"0"]
    with open(os.path.join(save, "hs"), "wb") as f:
        f.write(b"".join(line + b"\r\n" for line in lines))
    with open(os.path.join(save, "options"), "wb") as f:
        f.write(b"".join(line + b"\r\n" for line in [b"0", b"1", b"1", b"_______", table_check(TABLE)]))


def main(out_dir):
    e2e.require_tools("Xvfb", "xdotool", "import", "convert")
    os.makedirs(out_dir, exist_ok=True)
    menu = e2e.Picture.from_file(os.path.join(e2e.build_dir(), "previews", "mainmenu_1.png"))
    server = e2e.XServer()
    workdir = e2e.make_workdir()
    seed_saves(workdir)
    game = e2e.Game(server, workdir)
    shot = lambda name: game.shot(os.path.join(out_dir, name + ".png"))
    try:
        game.wait_window()
        game.wait_for(lambda s: s.match_fraction(menu, *COLUMN) >= 0.95, "the main menu", timeout=20)
        game.close_request()
        time.sleep(1)
        shot("exit_question")
        game.keys("n")
        time.sleep(0.5)

        game.keys("Down", "Return")  # options
        time.sleep(0.5)
        game.keys("Down", "Down", "Down", "Return")  # the Info row, editing
        game.keys(*["BackSpace"] * 8)
        game.type_text("WWWWWWWWWW")
        time.sleep(0.4)
        shot("options_info_a")
        time.sleep(0.5)
        shot("options_info_b")
        game.keys("Return", "Escape")
        time.sleep(0.5)

        game.keys("Down", "Return")  # high scores
        time.sleep(0.8)
        shot("highscores")
        game.keys("Up", "Return")  # "Clear table"
        time.sleep(0.8)
        shot("highscores_clear")
        game.keys("n")
        time.sleep(0.5)
        game.keys("Escape")
        time.sleep(0.5)

        game.keys("Up", "Up", "Return")  # start game
        time.sleep(0.8)
        game.keys("Return")
        time.sleep(3.2)  # past the level banner
        game.key_down("Up")
        time.sleep(3)
        shot("race_speed_dial")
        game.key_up("Up")
        game.keys("Escape")
        time.sleep(0.8)
        shot("race_finish_question")
        game.keys("y")
        time.sleep(0.8)
        game.type_text("Marguerite")
        time.sleep(0.5)
        shot("race_name_entry")
        game.keys("Return")
        time.sleep(0.8)
        shot("race_send_question")
        game.keys("n")
        time.sleep(4)
        shot("highscores_after_race")
    finally:
        game.stop()
        server.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "shots"))
