#!/usr/bin/env python3
"""Plays the replay fixtures' races on the real binary under Xvfb with scripted keys and keeps
the replay each race leaves in Data/Save/replays as tests/replay/fixtures/NAME.sdreplay.

    SPRAYDASH_BUILD_DIR=build python3 tests/replay/record_fixtures.py [NAME...]

The keys are timed in real time, so every recording is a different race; the fixtures are what
one run gave. After recording, update the expected results (tests/replay/update_expected.sh).
"""

import os
import random
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import e2e_session as e2e  # noqa: E402

FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fixtures")
MENU_COLUMN = (556, 114, 230, 361)


def replay_path(game):
    return os.path.join(game.workdir, "Data", "Save", "replays", "last.sdreplay")


def start_race(game, boat):
    menu = e2e.Picture.from_file(os.path.join(e2e.build_dir(), "previews", "mainmenu_1.png"))
    game.wait_for(lambda s: s.match_fraction(menu, *MENU_COLUMN) >= 0.95, "the main menu", timeout=20)
    game.keys("Return")
    time.sleep(0.5)
    game.keys(*(["Right"] * (boat - 1)))
    game.keys("Return")
    time.sleep(2.5)  # the level banner


def wait_race_over(game, timeout):
    deadline = time.time() + timeout
    while time.time() < deadline:
        e2e.check(game.alive(), "the game ended during the race:\n" + game.log_text())
        if os.path.exists(replay_path(game)):
            return True
        time.sleep(0.2)
    return False


def zigzag(game, seconds, fire):
    """Full throttle, steering left and right in turn, the gun held when asked."""
    game.key_down("Up")
    if fire:
        game.key_down("space")
    end = time.time() + seconds
    side = "Left"
    try:
        while time.time() < end and not os.path.exists(replay_path(game)):
            game.key_down(side)
            time.sleep(0.35)
            game.key_up(side)
            time.sleep(0.5)
            side = "Right" if side == "Left" else "Left"
    finally:
        if fire:
            game.key_up("space")
        game.key_up("Up")


def game_over_race(game):
    start_race(game, 1)
    while not wait_race_over(game, 0.1):
        zigzag(game, 600, fire=True)
    time.sleep(4)


def wander(game, seconds):
    """Throttle in long pulses, short steering taps at random, the gun held: a calmer course that
    lives long enough for a gun box to come the boat's way now and then."""
    rng = random.Random()
    game.key_down("space")
    end = time.time() + seconds
    try:
        while time.time() < end and not os.path.exists(replay_path(game)):
            game.key_down("Up")
            time.sleep(rng.uniform(0.4, 1.2))
            game.key_up("Up")
            side = rng.choice(["Left", "Right"])
            game.key_down(side)
            time.sleep(rng.uniform(0.1, 0.3))
            game.key_up(side)
            time.sleep(rng.uniform(0.1, 0.4))
    finally:
        game.key_up("space")


def finish(game):
    """Esc and yes, unless the race has ended by itself."""
    if not os.path.exists(replay_path(game)):
        game.keys("Escape")
        time.sleep(1)
        game.keys("y")
    e2e.check(wait_race_over(game, 10), "no replay after \"Finish race?\" answered yes")
    time.sleep(4)


def shot_and_jump_race(game):
    """Zigzag with the gun held: ramps come often; a gun box in the boat's way is luck, so record
    until replay_game_tests finds ticks with the gun on board and fire held."""
    start_race(game, 2)
    zigzag(game, 150, fire=True)
    finish(game)


def three_levels_race(game):
    """The calmer course: it lives long enough to reach level 2 or 3 now and then."""
    start_race(game, 2)
    wander(game, 150)
    finish(game)


def paused_race(game):
    """Pause, the close box answered no, a click beside the buttons, then yes by mouse."""
    start_race(game, 3)
    zigzag(game, 8, fire=False)
    game.keys("p")
    time.sleep(1)
    game.keys("p")
    zigzag(game, 5, fire=False)
    game.close_request()
    time.sleep(1)
    game.keys("n")
    zigzag(game, 6, fire=True)
    game.keys("Escape")
    time.sleep(1)
    x, y, _, _ = game.geometry()
    game.xdotool("mousemove", str(x + 330), str(y + 360))  # the yes button
    time.sleep(0.5)
    game.xdotool("click", "1")
    e2e.check(wait_race_over(game, 10), "no replay after the yes button")
    time.sleep(4)


RACES = {
    "boat1_game_over": game_over_race,
    "boat2_shot_jump": shot_and_jump_race,
    "boat2_three_levels": three_levels_race,
    "boat3_pause_and_questions": paused_race,
}


def record(name, keep_as=None):
    def test(game):
        RACES[name](game)
        e2e.check(os.path.exists(replay_path(game)), "the race left no replay")
        time.sleep(1)
        shutil.copyfile(replay_path(game), os.path.join(FIXTURES, (keep_as or name) + ".sdreplay"))
        print("recorded %s: %d bytes" % (name, os.path.getsize(replay_path(game))))
    return e2e.run(test)


if __name__ == "__main__":
    e2e.require_tools("Xvfb", "xdotool", "import", "convert")
    os.makedirs(FIXTURES, exist_ok=True)
    names = sys.argv[1:] or list(RACES)
    sys.exit(max(record(n) for n in names))
