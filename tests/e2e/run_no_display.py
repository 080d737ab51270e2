#!/usr/bin/env python3
"""Started where no display can be reached, the game must not run unseen: whatever video driver
SDL falls back on (its memory-only ones included), it ends at once with status 1 and says why."""

import os
import subprocess
import sys

import e2e_session as e2e

# (what, environment changes, words the message must hold); None removes a variable.
NO_DESKTOP = {"DISPLAY": None, "WAYLAND_DISPLAY": None}
CASES = [
    ("no display, SDL's own choice", dict(NO_DESKTOP, SDL_VIDEODRIVER=None), ["DISPLAY"]),
    ("no display, offscreen driver", dict(NO_DESKTOP, SDL_VIDEODRIVER="offscreen"), ["offscreen", "DISPLAY"]),
    ("no display, dummy driver", dict(NO_DESKTOP, SDL_VIDEODRIVER="dummy"), ["dummy", "DISPLAY"]),
    ("no display, evdev driver", dict(NO_DESKTOP, SDL_VIDEODRIVER="evdev"), ["evdev", "DISPLAY"]),
    ("a display that is not there", {"DISPLAY": ":65123", "WAYLAND_DISPLAY": None, "SDL_VIDEODRIVER": None},
     ['":65123"']),
    ("a display, but the offscreen driver",
     {"DISPLAY": ":65123", "WAYLAND_DISPLAY": None, "SDL_VIDEODRIVER": "offscreen"}, ["offscreen"]),
]


def run(work, what, changes, words):
    env = dict(os.environ, SDL_AUDIODRIVER="dummy")
    for name, value in changes.items():
        if value is None:
            env.pop(name, None)
        else:
            env[name] = value
    game = os.path.join(e2e.build_dir(), "src", "spraydash")
    try:
        done = subprocess.run([game], cwd=work, env=env, capture_output=True, timeout=10)
    except subprocess.TimeoutExpired:
        return "%s: still running after 10 s, unseen" % what
    message = done.stderr.decode(errors="replace")
    lines = [line for line in message.splitlines() if line.startswith("Spraydash: ")]
    if done.returncode != 1:
        return "%s: exit status %d, not 1" % (what, done.returncode)
    if not lines:
        return "%s: no message on stderr: %r" % (what, message)
    missing = [w for w in words if w not in lines[0]]
    if missing:
        return "%s: the message does not mention %s: %r" % (what, ", ".join(missing), lines[0])
    return None


def main():
    work = e2e.make_workdir("spraydash-e2e-nodisplay-")
    try:
        failures = [f for f in (run(work, *case) for case in CASES) if f]
    finally:
        e2e.shutil.rmtree(work, ignore_errors=True)
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
