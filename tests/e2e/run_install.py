#!/usr/bin/env python3
"""Installs into a temporary prefix and plays through the launcher as two players: the
layout of the prefix, the desktop file, each player's own Data/Save, links to the installed
data that follow the install when it moves, and the game started from the launcher."""

import os
import shutil
import subprocess
import sys
import tempfile

import e2e_session as e2e

PREVIEWS = os.path.join(e2e.build_dir(), "previews")
COLUMN = (556, 114, 230, 361)
YES_NO = (197, 344, 202, 45)

INSTALLED = [
    "bin/spraydash",
    "lib/spraydash/spraydash",
    "share/spraydash/Data/Res/Res1.dxg",
    "share/spraydash/Data/Res/Res3.dxg",
    "share/spraydash/Data/Res/Sounds.dxw",
    "share/spraydash/Data/Music/Menu.xm",
    "share/spraydash/Data/Music/Race.xm",
    "share/applications/spraydash.desktop",
    "share/mime/packages/spraydash-replay.xml",
    "share/icons/hicolor/scalable/apps/spraydash.svg",
    "share/icons/hicolor/48x48/apps/spraydash.png",
    "share/icons/hicolor/256x256/apps/spraydash.png",
]


def install(prefix):
    cmake = os.environ.get("SPRAYDASH_CMAKE", "cmake")
    out = subprocess.run([cmake, "--install", e2e.build_dir(), "--prefix", prefix], capture_output=True, text=True)
    e2e.check(out.returncode == 0, "install failed:\n" + out.stdout + out.stderr)
    for path in INSTALLED:
        e2e.check(os.path.isfile(os.path.join(prefix, path)), "not installed: " + path)
    for path in ("bin/spraydash", "lib/spraydash/spraydash"):
        e2e.check(os.access(os.path.join(prefix, path), os.X_OK), path + " is not executable")


def check_desktop_file(prefix):
    path = os.path.join(prefix, "share/applications/spraydash.desktop")
    with open(path) as f:
        entry = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
    e2e.check(entry.get("Exec") == '"%s" %%f' % os.path.join(prefix, "bin/spraydash"),
              "the desktop file starts %r" % entry.get("Exec"))
    e2e.check(entry.get("Icon") == "spraydash" and entry.get("Name") == "Spraydash", "desktop file: %r" % entry)
    if shutil.which("desktop-file-validate"):
        out = subprocess.run(["desktop-file-validate", path], capture_output=True, text=True)
        e2e.check(out.returncode == 0 and not out.stdout.strip(), "desktop-file-validate: " + out.stdout + out.stderr)
    else:
        print("desktop-file-validate not installed (Debian desktop-file-utils): desktop file not validated")


def play(server, prefix, env, user_dir, answer_exit=True):
    """Starts the launcher as a player with env; returns once the game shows its menu (and,
    with answer_exit, has been left through "Exit the game?" → Y)."""
    launcher = os.path.join(prefix, "bin/spraydash")
    # The game's own working directory is the player's; this one only holds its output.
    scratch = tempfile.mkdtemp(prefix="spraydash-launch-")
    game = e2e.Game(server, scratch, argv=[launcher], env=env)
    try:
        game.wait_window()
        menu = e2e.Picture.from_file(os.path.join(PREVIEWS, "mainmenu_1.png"))
        game.wait_for(lambda s: s.match_fraction(menu, *COLUMN) >= 0.95, "the menu through the launcher", timeout=15)
        e2e.check(os.path.realpath("/proc/%d/cwd" % game.proc.pid) == os.path.realpath(user_dir),
                  "the game does not run in " + user_dir)
        if answer_exit:
            game.keys("Up", "Return")
            question = e2e.Picture.from_file(os.path.join(PREVIEWS, "exit_question.png"))
            game.wait_for(lambda s: s.match_fraction(question, *YES_NO) >= 0.9, "\"Exit the game?\"")
            game.keys("y")
            e2e.check(game.wait_exit() == 0, "the game did not end with status 0")
    except e2e.E2EFailure:
        print("launcher output:\n" + game.log_text())
        raise
    finally:
        game.stop()
        shutil.rmtree(scratch, ignore_errors=True)


def check_user_dir(user_dir, prefix):
    data = os.path.join(user_dir, "Data")
    e2e.check(os.path.isdir(os.path.join(data, "Save")) and not os.path.islink(os.path.join(data, "Save")),
              "Data/Save is not the player's own folder in " + user_dir)
    for sub in ("Res", "Music"):
        link = os.path.join(data, sub)
        e2e.check(os.path.islink(link) and os.readlink(link) == os.path.join(prefix, "share/spraydash/Data", sub),
                  "%s does not link to the installed data in %s" % (link, prefix))


def main():
    e2e.require_tools("Xvfb", "xdotool", "import", "convert")
    root = tempfile.mkdtemp(prefix="spraydash-install-")
    server = None
    ok = False
    try:
        prefix = os.path.join(root, "prefix")
        install(prefix)
        check_desktop_file(prefix)

        # Player one relies on HOME, player two on XDG_DATA_HOME.
        home1 = os.path.join(root, "home1")
        home2 = os.path.join(root, "home2")
        xdg2 = os.path.join(root, "xdg2")
        for d in (home1, home2):
            os.makedirs(d)
        env1 = {"HOME": home1, "XDG_DATA_HOME": ""}
        env2 = {"HOME": home2, "XDG_DATA_HOME": xdg2}
        user1 = os.path.join(home1, ".local/share/spraydash")
        user2 = os.path.join(xdg2, "spraydash")

        server = e2e.XServer()
        play(server, prefix, env1, user1)
        check_user_dir(user1, prefix)
        hs1 = os.path.join(user1, "Data/Save/hs")
        e2e.check(os.path.isfile(hs1) and os.path.isfile(os.path.join(user1, "Data/Save/options")),
                  "player one's save files were not written")
        # Player one's table differs from the default (in a field its check leaves out, so that it
        # still loads); player two must not see it.
        with open(hs1, "rb") as f:
            lines = f.read().split(b"\r\n")
        lines[2] = b"4242"
        with open(hs1, "wb") as f:
            f.write(b"\r\n".join(lines))

        play(server, prefix, env2, user2)
        check_user_dir(user2, prefix)
        with open(os.path.join(user2, "Data/Save/hs"), "rb") as f:
            e2e.check(f.read().split(b"\r\n")[2] == b"0", "player two got player one's table")
        with open(hs1, "rb") as f:
            e2e.check(f.read().split(b"\r\n")[2] == b"4242", "player two's run changed player one's table")
        e2e.check(not os.path.exists(os.path.join(prefix, "share/spraydash/Data/Save")),
                  "the game wrote into the installed data")

        # The install moves as a whole: player one's links follow it on the next start.
        moved = os.path.join(root, "moved")
        os.rename(prefix, moved)
        play(server, moved, env1, user1, answer_exit=False)
        check_user_dir(user1, moved)
        ok = True
    except e2e.E2EFailure as e:
        print("FAILED: %s" % e)
    finally:
        if server:
            server.close()
        if ok:
            shutil.rmtree(root, ignore_errors=True)
        else:
            print("kept: " + root)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
