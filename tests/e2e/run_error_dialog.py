#!/usr/bin/env python3
"""A damaged sound archive ends the start-up with the error dialog. The message names the damaged
bytes escaped, on stderr as in the dialog. While the dialog is up, SIGTERM ends the game and the
dialog with it; a game killed outright (SIGKILL) leaves no dialog behind either."""

import os
import shutil
import signal
import subprocess
import sys
import time

import e2e_session as e2e

DAMAGED_NAME = b"\x1b[2J"  # a terminal's clear-screen sequence where a property name belongs
SHOWN = "Property \\x1B[2J does not exist"


def damaged_workdir():
    work = e2e.make_workdir("spraydash-e2e-dialog-")
    res = os.path.join(work, "Data", "Res")
    source = os.path.realpath(res)
    os.unlink(res)
    os.mkdir(res)
    for name in ("Res1.dxg", "Res3.dxg"):
        os.symlink(os.path.join(source, name), os.path.join(res, name))
    with open(os.path.join(source, "Sounds.dxw"), "rb") as f:
        sounds = bytearray(f.read())
    at = sounds.index(b"\x04List")
    sounds[at + 1:at + 5] = DAMAGED_NAME
    with open(os.path.join(res, "Sounds.dxw"), "wb") as f:
        f.write(sounds)
    return work


def dialogs(server):
    """Top-level windows titled Spraydash other than the 800 × 600 game window."""
    out = subprocess.run(["xwininfo", "-root", "-children"], env=server.env(), capture_output=True, text=True,
                         timeout=20).stdout
    return [line.strip() for line in out.splitlines() if '"Spraydash"' in line and "800x600+" not in line]


def processes_in(folder):
    """Processes whose working directory is folder: the game and anything it started."""
    found = []
    for pid in os.listdir("/proc"):
        if pid.isdigit():
            try:
                if os.readlink("/proc/%s/cwd" % pid) == folder:
                    found.append(int(pid))
            except OSError:
                pass
    return found


def wait_until(condition, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(0.1)
    return condition()


def run_case(server, ending_signal):
    work = damaged_workdir()
    game = e2e.Game(server, work)
    try:
        e2e.check(wait_until(lambda: dialogs(server) or not game.alive(), 60) and game.alive(),
                  "no error dialog appeared:\n" + game.log_text())
        log = game.log_text()
        e2e.check(SHOWN in log, "the message on stderr does not show the damaged name escaped: %r" % log)
        e2e.check("\x1b" not in log, "raw damaged bytes reached stderr: %r" % log)

        game.proc.send_signal(ending_signal)
        e2e.check(wait_until(lambda: not game.alive(), 5), "the game ignored %s while its dialog was up"
                  % signal.Signals(ending_signal).name)
        if ending_signal != signal.SIGKILL:
            e2e.check(game.proc.returncode != 0, "the game ended with status 0 after a fatal error")
        e2e.check(wait_until(lambda: not dialogs(server), 5), "the dialog stayed after the game ended: %s"
                  % dialogs(server))
        e2e.check(wait_until(lambda: not processes_in(work), 5), "processes left behind: %s" % processes_in(work))
    finally:
        for pid in processes_in(work):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        game.stop()
        shutil.rmtree(work, ignore_errors=True)


def main():
    e2e.require_tools("Xvfb", "xwininfo")
    server = e2e.XServer()
    failed = False
    try:
        for ending_signal in (signal.SIGTERM, signal.SIGKILL):
            try:
                run_case(server, ending_signal)
            except e2e.E2EFailure as e:
                print("FAILED (%s): %s" % (signal.Signals(ending_signal).name, e))
                failed = True
    finally:
        server.close()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
