#!/usr/bin/env python3
"""Writes fixtures/expected.txt from the fixtures' replays, re-run by the built game:

    python3 tests/replay/update_expected.py build

Run it after recording fixtures, and after any change to how a race looks: the last picture's
checksum is the game's own drawing. The results (score, level, lives, ticks) must not change
unless the race's rules do; the script says when they differ from what the replays claim.
"""

import glob
import json
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "fixtures")


def main(build):
    build = os.path.abspath(build)
    game = os.path.join(build, "src", "spraydash")
    lines = ["# name score level lives ticks end last-picture (written by update_expected.py)"]
    ok = True
    with tempfile.TemporaryDirectory() as work:
        os.makedirs(os.path.join(work, "Data"))
        os.symlink(os.path.join(build, "Data", "Res"), os.path.join(work, "Data", "Res"))
        for path in sorted(glob.glob(os.path.join(FIXTURES, "*.sdreplay"))):
            name = os.path.splitext(os.path.basename(path))[0]
            out = subprocess.run([game, "--verify-replay", path, "--pictures"], cwd=work, capture_output=True, text=True)
            if out.returncode == 2:
                sys.exit("%s: %s" % (name, out.stderr.strip()))
            v = json.loads(out.stdout)
            claimed = v["claimed"] or {}
            if any(v[k] != claimed.get(k) for k in ("score", "level", "lives", "ticks", "end")):
                print("%s: the re-run differs from the recorded race: %s" % (name, out.stdout.strip()))
                ok = False
            end = "game-over" if v["end"] == "game over" else "finished"
            lines.append("%s %d %d %d %d %s %s" % (name, v["score"], v["level"], v["lives"], v["ticks"], end,
                                                    v["picture"]))
            print("%s: %d bytes, %s" % (name, os.path.getsize(path), lines[-1]))
    with open(os.path.join(FIXTURES, "expected.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "build"))
