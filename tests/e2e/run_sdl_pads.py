#!/usr/bin/env python3
"""The SDL platform's controllers with its window open: the check program (GoogleTest) runs on
a private X server, where SDL's virtual joysticks stand in for a pad and a plain joystick."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_session as e2e  # noqa: E402


def main():
    e2e.require_tools("Xvfb", "xdpyinfo")
    exe = os.environ.get("SPRAYDASH_PAD_CHECK_EXE", "")
    if not os.path.isfile(exe):
        print("FAILED: the check program is missing: %r" % exe)
        return 1
    server = e2e.XServer()
    try:
        env = server.env({"SDL_AUDIODRIVER": "dummy"})
        return subprocess.run([exe], env=env, timeout=120).returncode
    finally:
        server.close()


if __name__ == "__main__":
    sys.exit(main())
