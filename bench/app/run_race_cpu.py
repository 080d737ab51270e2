#!/usr/bin/env python3
"""A full-throttle race's CPU (or, with --idle, the main menu's) at 1 ×, 2 × and 3 ×, side by side in one run: the real game under Xvfb
on a 3840 × 2160 screen (so that 3 × fits), the window scale set in the comforts file, the first
boat, Up held for the measured stretch. The figure is the game process's user and system time over
wall time, in % of one core; the scales take turns (1, 2, 3, 1, 2, 3, ...) so that other load on
the machine weighs on all alike. Run from anywhere after a build:

    SPRAYDASH_BUILD_DIR=build python3 bench/app/run_race_cpu.py [--turns N] [--seconds S]
"""

import argparse
import os
import shutil
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
import e2e_session as e2e  # noqa: E402

SCREEN = (3840, 2160)
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS  # utime, stime


def measure(server, scale, seconds, idle=False):
    workdir = e2e.make_workdir("spraydash-race-cpu-")
    with open(os.path.join(workdir, "Data", "Save", "settings"), "w") as f:
        f.write("window-scale = %d\n" % scale)
    game = e2e.Game(server, workdir)
    try:
        game.wait_window()
        deadline = time.time() + 10
        while game.geometry()[2:] != (800 * scale, 600 * scale):
            e2e.check(time.time() < deadline, "the window is %dx%d at %d ×" % (game.geometry()[2:] + (scale,)))
            time.sleep(0.2)
        time.sleep(8)  # the intro
        if not idle:
            game.keys("Return")  # "Start game"
            time.sleep(1.5)
            game.keys("Return")  # the first boat
            time.sleep(3.5)  # the level banner
            game.key_down("Up")
            time.sleep(1)
        cpu0, wall0 = cpu_seconds(game.proc.pid), time.monotonic()
        time.sleep(seconds)
        cpu = cpu_seconds(game.proc.pid) - cpu0
        wall = time.monotonic() - wall0
        if not idle:
            game.key_up("Up")
        e2e.check(game.alive(), "the game ended during the run:\n" + game.log_text())
        return 100.0 * cpu / wall
    finally:
        game.stop()
        shutil.rmtree(workdir, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--turns", type=int, default=2)
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--idle", action="store_true", help="the main menu after the intro instead of a race")
    args = parser.parse_args()
    if os.environ.get("SPRAYDASH_BUILD_DIR"):
        os.environ["SPRAYDASH_BUILD_DIR"] = os.path.abspath(os.environ["SPRAYDASH_BUILD_DIR"])
    e2e.require_tools("Xvfb", "xdotool")
    server = e2e.XServer(*SCREEN)
    figures = {1: [], 2: [], 3: []}
    try:
        for _ in range(args.turns):
            for scale in figures:
                figures[scale].append(measure(server, scale, args.seconds, args.idle))
    finally:
        server.close()
    what = "idle on the main menu" if args.idle else "full-throttle race"
    print("%s, %% of one core (%d turns of %g s each):" % (what, args.turns, args.seconds))
    for scale, values in figures.items():
        print("  %d ×: %.2f  (turns: %s)" % (scale, sum(values) / len(values),
                                            ", ".join("%.2f" % v for v in values)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
