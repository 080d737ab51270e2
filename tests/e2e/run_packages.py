#!/usr/bin/env python3
"""The Debian packages from end to end, on this machine: the metadata they carry validated, both
packages made by one `cpack -G DEB` and checked by lintian (errors fail, warnings are
printed), installed with apt-get, their files where they belong, the replay file type opening
the game, the server's system account made (and kept as it is by a reinstall), the installed
game played to its menu and left, the installed server answering as that account, then
removed (the results kept), purged, and nothing of theirs left but the account. Installs
system-wide, so it needs root and apt: skipped (77) otherwise, and when either package is
already installed (it is not ours to remove). It installs nothing else: a dependency missing
here fails the run with its name (scripts/setup.sh installs them all). Whatever it changed is
put back at the end, the account included."""

import glob
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

import e2e_session as e2e

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PREVIEWS = os.path.join(e2e.build_dir(), "previews")
COLUMN = (556, 114, 230, 361)
YES_NO = (197, 344, 202, 45)
APT_ENV = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
# Other work on the machine may hold dpkg's lock for a while; wait for it rather than fail.
APT = ["apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=300"]

GAME, SERVER = "spraydash", "spraydash-scores"
ACCOUNT = "spraydash-scores"
REPLAY_TYPE = "application/x-spraydash-replay"
ICON_SIZES = (16, 22, 24, 32, 48, 64, 96, 128, 256, 512)
LAUNCHER = "/usr/games/spraydash"


def expected_files(appstream_id):
    game = [
        LAUNCHER,
        "/usr/lib/spraydash/spraydash",
        "/usr/share/spraydash/Data/Res/Res1.dxg",
        "/usr/share/spraydash/Data/Res/Res3.dxg",
        "/usr/share/spraydash/Data/Res/Sounds.dxw",
        "/usr/share/spraydash/Data/Music/Menu.xm",
        "/usr/share/spraydash/Data/Music/Race.xm",
        "/usr/share/applications/spraydash.desktop",
        "/usr/share/mime/packages/spraydash-replay.xml",
        "/usr/share/metainfo/%s.metainfo.xml" % appstream_id,
        "/usr/share/man/man6/spraydash.6.gz",
        "/usr/share/icons/hicolor/scalable/apps/spraydash.svg",
        "/usr/share/doc/spraydash/copyright",
        "/usr/share/doc/spraydash/changelog.gz",
    ] + ["/usr/share/icons/hicolor/%dx%d/apps/spraydash.png" % (s, s) for s in ICON_SIZES]
    server = [
        "/usr/bin/spraydash-scores",
        "/usr/lib/systemd/system/spraydash-scores.service",
        "/usr/share/man/man8/spraydash-scores.8.gz",
        "/usr/share/doc/spraydash-scores/copyright",
        "/usr/share/doc/spraydash-scores/changelog.gz",
    ]
    return {GAME: game, SERVER: server}


# Folders of their own, and what the server's service and its scripts make outside the packages.
LEFT_BEHIND = [
    "/usr/lib/spraydash", "/usr/share/spraydash", "/usr/share/doc/spraydash", "/usr/share/doc/spraydash-scores",
    "/var/lib/spraydash-scores", "/var/lib/private/spraydash-scores",
    "/etc/systemd/system/multi-user.target.wants/spraydash-scores.service",
    "/etc/systemd/system/spraydash-scores.service",
]


def run(argv, **kwargs):
    return subprocess.run(argv, capture_output=True, text=True, **kwargs)


def installed(package):
    out = run(["dpkg-query", "-W", "-f=${Status}", package])
    return out.returncode == 0 and out.stdout.endswith(" installed")


def check_metadata(metainfo, appstream_id, version):
    for page in ("spraydash.6", "spraydash-scores.8"):
        out = run(["man", "--warnings", "-l", os.path.join(SOURCE, "packaging", page)], env=dict(os.environ, MANWIDTH="80"))
        e2e.check(out.returncode == 0 and not out.stderr.strip(), "man --warnings %s:\n%s" % (page, out.stderr))

    out = run(["appstreamcli", "validate", "--pedantic", "--no-net", metainfo])
    issues = [line for line in out.stdout.splitlines() if re.match(r"[EWIP]: ", line)]
    # The reserved .example domain of the placeholder id is no TLD the validator knows.
    unexpected = [line for line in issues if not (appstream_id.startswith("example.") and "cid-maybe-not-rdns" in line)]
    e2e.check(out.returncode == 0 and not unexpected, "appstreamcli validate --pedantic:\n" + out.stdout + out.stderr)

    with open(metainfo) as f:
        releases = re.findall(r'<release version="([^"]+)"', f.read())
    e2e.check(releases and releases[0] == version,
              "the newest release in the metainfo is %r, the project's version %s" % (releases[:1], version))
    with open(os.path.join(SOURCE, "packaging", "changelog")) as f:
        first = f.readline()
    e2e.check(first.startswith("spraydash (%s) " % version), "the change log starts %r, not version %s" % (first, version))


def build_packages(work):
    cpack = os.path.join(os.path.dirname(os.environ.get("SPRAYDASH_CMAKE", shutil.which("cmake"))), "cpack")
    out = run([cpack, "-G", "DEB", "--config", os.path.join(e2e.build_dir(), "CPackConfig.cmake"), "-B", work])
    e2e.check(out.returncode == 0, "cpack -G DEB failed:\n" + out.stdout + out.stderr)
    debs = {}
    for path in glob.glob(os.path.join(work, "*.deb")):
        debs[run(["dpkg-deb", "-f", path, "Package"]).stdout.strip()] = path
    e2e.check(sorted(debs) == [GAME, SERVER], "cpack made %s" % sorted(debs))

    # Computed from the programs: the libraries they link, not a hand-kept list; adduser for
    # the server's postinst.
    for package, needed in ((GAME, "libsdl2-2.0-0"), (SERVER, "libsqlite3-0"), (SERVER, "adduser")):
        depends = run(["dpkg-deb", "-f", debs[package], "Depends"]).stdout
        e2e.check(needed in depends, "%s does not depend on %s: %s" % (package, needed, depends))

    # Both may be installed together only if no file is in both (folders may be shared).
    contents = {}
    for package, path in debs.items():
        listing = run(["dpkg-deb", "-c", path]).stdout.splitlines()
        contents[package] = {line.split(None, 5)[5].split(" -> ")[0] for line in listing if not line.startswith("d")}
    shared = sorted(contents[GAME] & contents[SERVER])
    e2e.check(not shared, "files in both packages: " + ", ".join(shared))
    return debs


def extra_packages_needed(debs):
    """What apt would install besides the two packages (it must be nothing: this test installs
    and removes only its own)."""
    out = run([*APT, "install", "-s", "--no-install-recommends", *debs.values()], env=APT_ENV)
    e2e.check(out.returncode == 0, "apt-get cannot install the packages here:\n" + out.stdout + out.stderr)
    names = [line.split()[1] for line in out.stdout.splitlines() if line.startswith("Inst ")]
    return [n for n in names if n not in (GAME, SERVER)]


def check_lintian(debs):
    out = run(["lintian", "--tag-display-limit", "0", "--display-info", *debs.values()])
    tags = [line for line in out.stdout.splitlines() if re.match(r"[EWIPXO]: ", line)]
    print("lintian:\n  " + "\n  ".join(tags or ["(nothing)"]))
    errors = [line for line in tags if line.startswith("E: ")]
    e2e.check(out.returncode in (0, 1) and not errors and "error" not in out.stderr.lower(),
              "lintian found errors:\n" + "\n".join(errors) + out.stderr)


def check_installed(files, appstream_id):
    for package, paths in files.items():
        listed = set(run(["dpkg", "-L", package]).stdout.splitlines())
        for path in paths:
            e2e.check(path in listed and os.path.isfile(path), "%s does not install %s" % (package, path))
    for path in (LAUNCHER, "/usr/lib/spraydash/spraydash", "/usr/bin/spraydash-scores"):
        e2e.check(os.access(path, os.X_OK), path + " is not executable")

    desktop = "/usr/share/applications/spraydash.desktop"
    with open(desktop) as f:
        entry = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
    e2e.check(entry.get("Exec") == '"%s" %%f' % LAUNCHER, "the desktop file starts %r" % entry.get("Exec"))
    out = run(["desktop-file-validate", desktop])
    e2e.check(out.returncode == 0 and not out.stdout.strip(), "desktop-file-validate: " + out.stdout + out.stderr)
    out = run(["appstreamcli", "validate", "--pedantic", "--no-net", "/usr/share/metainfo/%s.metainfo.xml" % appstream_id])
    e2e.check(out.returncode == 0, "the installed metainfo does not validate:\n" + out.stdout)
    with open("/usr/lib/systemd/system/spraydash-scores.service") as f:
        e2e.check("ExecStart=/usr/bin/spraydash-scores " in f.read(), "the unit does not start /usr/bin/spraydash-scores")
    for section, page in (("6", "spraydash"), ("8", "spraydash-scores")):
        out = run(["man", "-w", section, page])
        e2e.check(out.stdout.strip() == "/usr/share/man/man%s/%s.%s.gz" % (section, page, section),
                  "man finds %s(%s) at %r" % (page, section, out.stdout.strip() or out.stderr))
    if shutil.which("systemd-analyze"):
        out = run(["systemd-analyze", "verify", "/usr/lib/systemd/system/spraydash-scores.service"])
        e2e.check(out.returncode == 0 and "spraydash-scores.service" not in out.stderr,
                  "systemd-analyze verify:\n" + out.stdout + out.stderr)


def check_replay_type(root):
    """A replay in a file manager is a Spraydash replay, and opens with the game."""
    if not shutil.which("xdg-mime"):
        print("xdg-mime not installed (Debian xdg-utils): the replay file type not checked")
        return
    replay = os.path.join(root, "race.sdreplay")
    with open(replay, "wb") as f:
        f.write(b"SDRP" + bytes(60))
    env = dict(os.environ, HOME=os.path.join(root, "mime-home"), XDG_CURRENT_DESKTOP="X-Generic")
    out = run(["xdg-mime", "query", "filetype", replay], env=env)
    e2e.check(out.stdout.strip() == REPLAY_TYPE, "a .sdreplay file is %r" % (out.stdout.strip() or out.stderr))
    out = run(["xdg-mime", "query", "default", REPLAY_TYPE], env=env)
    e2e.check(out.stdout.strip() == "spraydash.desktop", "replays open with %r" % (out.stdout.strip() or out.stderr))


def check_account():
    """Returns the account's line from the password database."""
    out = run(["getent", "passwd", ACCOUNT])
    e2e.check(out.returncode == 0, "the server's account %s was not made" % ACCOUNT)
    fields = out.stdout.strip().split(":")
    e2e.check(int(fields[2]) < 1000 and fields[6] in ("/usr/sbin/nologin", "/bin/false"),
              "%s is not a system account without a login: %s" % (ACCOUNT, out.stdout.strip()))
    return out.stdout.strip()


def reinstall_server(deb, account):
    """An upgrade runs the postinst again, with the account already there: it must go through
    and keep that account as it is."""
    out = run([*APT, "install", "--reinstall", "--no-install-recommends", deb], env=APT_ENV)
    e2e.check(out.returncode == 0, "reinstalling the server failed:\n" + out.stdout + out.stderr)
    e2e.check(check_account() == account, "reinstalling changed the account: " + check_account())


def play_installed_game(root):
    e2e.require_tools("Xvfb", "xdotool", "import", "convert")
    home = os.path.join(root, "home")
    os.makedirs(home)
    scratch = os.path.join(root, "scratch")
    os.makedirs(scratch)
    server = e2e.XServer()
    game = e2e.Game(server, scratch, argv=[LAUNCHER], env={"HOME": home, "XDG_DATA_HOME": ""})
    try:
        game.wait_window()
        menu = e2e.Picture.from_file(os.path.join(PREVIEWS, "mainmenu_1.png"))
        game.wait_for(lambda s: s.match_fraction(menu, *COLUMN) >= 0.95, "the installed game's menu", timeout=20)
        game.keys("Up", "Return")
        question = e2e.Picture.from_file(os.path.join(PREVIEWS, "exit_question.png"))
        game.wait_for(lambda s: s.match_fraction(question, *YES_NO) >= 0.9, "\"Exit the game?\"")
        game.keys("y")
        e2e.check(game.wait_exit() == 0, "the installed game did not end with status 0:\n" + game.log_text())
        data = os.path.join(home, ".local/share/spraydash/Data")
        for name in ("hs", "options"):
            e2e.check(os.path.isfile(os.path.join(data, "Save", name)), "the installed game did not write " + name)
        for sub in ("Res", "Music"):
            target = os.readlink(os.path.join(data, sub))
            e2e.check(target == "/usr/share/spraydash/Data/" + sub, "the player's Data/%s leads to %s" % (sub, target))
    finally:
        game.stop()
        server.close()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def run_installed_server(root):
    """Started as the service would start it (no systemd here): as its account, writing only
    its own folder."""
    state = os.path.join(root, "state")
    os.makedirs(state, mode=0o700)
    shutil.chown(state, ACCOUNT, ACCOUNT)
    port = free_port()
    proc = subprocess.Popen(["runuser", "-u", ACCOUNT, "--", "/usr/bin/spraydash-scores", "--listen",
                             "127.0.0.1:%d" % port, "--db", os.path.join(state, "scores.db")],
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    try:
        deadline = time.time() + 15
        while True:
            e2e.check(proc.poll() is None, "the installed server ended with status %s:\n%s"
                      % (proc.returncode, proc.stderr.read() if proc.returncode is not None else ""))
            try:
                with urllib.request.urlopen("http://127.0.0.1:%d/healthz" % port, timeout=2) as reply:
                    e2e.check(reply.status == 200, "/healthz answered %d" % reply.status)
                    break
            except OSError:
                e2e.check(time.time() < deadline, "the installed server did not answer on port %d" % port)
                time.sleep(0.2)
    finally:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(30)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def fake_service_state():
    """What the service leaves once it has run (its state behind DynamicUser's link, owned by
    its account); this machine has no systemd to run it."""
    made_private = not os.path.isdir("/var/lib/private")
    os.makedirs("/var/lib/private/spraydash-scores", mode=0o700)
    with open("/var/lib/private/spraydash-scores/scores.db", "wb") as f:
        f.write(b"results")
    for path in ("/var/lib/private/spraydash-scores", "/var/lib/private/spraydash-scores/scores.db"):
        shutil.chown(path, ACCOUNT, ACCOUNT)
    os.symlink("private/spraydash-scores", "/var/lib/spraydash-scores")
    return made_private


def remove_and_purge(files):
    out = run([*APT, "remove", GAME, SERVER], env=APT_ENV)
    e2e.check(out.returncode == 0, "apt-get remove failed:\n" + out.stdout + out.stderr)
    e2e.check(os.path.isfile("/var/lib/spraydash-scores/scores.db"), "removing the server lost its results")
    # The game has nothing left to purge once removed; the server keeps its state until purged.
    out = run([*APT, "purge", *known_to_dpkg()], env=APT_ENV)
    e2e.check(out.returncode == 0, "apt-get purge failed:\n" + out.stdout + out.stderr)
    for package in files:
        e2e.check(not installed(package) and run(["dpkg", "-L", package]).returncode != 0,
                  package + " is still known to dpkg after the purge")
    left = [p for p in sum(files.values(), []) + LEFT_BEHIND if os.path.lexists(p)]
    e2e.check(not left, "left behind after the purge: " + ", ".join(left))
    # Debian keeps system accounts on a purge, so that no later account inherits their files.
    e2e.check(run(["getent", "passwd", ACCOUNT]).returncode == 0, "the purge deleted the account " + ACCOUNT)


def known_to_dpkg():
    return [p for p in (GAME, SERVER) if run(["dpkg-query", "-W", p]).returncode == 0]


def account_exists():
    return run(["getent", "passwd", ACCOUNT]).returncode == 0


def main():
    started = time.monotonic()
    if os.geteuid() != 0:
        print("skipped: installs packages system-wide, which needs root")
        return e2e.SKIP
    e2e.require_tools("apt-get", "dpkg-deb", "dpkg-shlibdeps", "lintian", "appstreamcli", "desktop-file-validate",
                      "man", "runuser", "getent")
    already = [p for p in (GAME, SERVER) if installed(p)]
    already += [p for p in ("/var/lib/spraydash-scores", "/var/lib/private/spraydash-scores") if os.path.lexists(p)]
    if already:
        print("skipped: already here, and not this test's to remove: " + ", ".join(already))
        return e2e.SKIP
    had_account = account_exists()

    metainfo = os.environ["SPRAYDASH_METAINFO"]
    appstream_id = os.path.basename(metainfo)[: -len(".metainfo.xml")]
    files = expected_files(appstream_id)
    root = tempfile.mkdtemp(prefix="spraydash-packages-")
    os.chmod(root, 0o755)  # apt reads the packages as its own unprivileged user
    ok = False
    made_private = False
    try:
        check_metadata(metainfo, appstream_id, os.environ["SPRAYDASH_VERSION"])
        debs = build_packages(os.path.join(root, "debs"))
        check_lintian(debs)
        extra = extra_packages_needed(debs)
        e2e.check(not extra, "installing would also bring in %s; install them first (scripts/setup.sh does)"
                  % ", ".join(extra))
        out = run([*APT, "install", "--no-install-recommends", *debs.values()], env=APT_ENV)
        e2e.check(out.returncode == 0, "apt-get install failed:\n" + out.stdout + out.stderr)
        check_installed(files, appstream_id)
        account = check_account()
        check_replay_type(root)
        play_installed_game(root)
        run_installed_server(root)
        reinstall_server(debs[SERVER], account)
        made_private = fake_service_state()
        remove_and_purge(files)
        ok = True
    except e2e.E2EFailure as e:
        print("FAILED: %s" % e)
    finally:
        leftovers = known_to_dpkg()
        if leftovers:
            run([*APT, "purge", *leftovers], env=APT_ENV)
        if os.path.islink("/var/lib/spraydash-scores"):
            os.unlink("/var/lib/spraydash-scores")
        shutil.rmtree("/var/lib/private/spraydash-scores", ignore_errors=True)
        if made_private:
            shutil.rmtree("/var/lib/private", ignore_errors=True)
        # The account is the package's to keep, but this machine was not ours to change.
        if not had_account and account_exists():
            run(["deluser", "--system", "--quiet", ACCOUNT])
            if run(["getent", "group", ACCOUNT]).returncode == 0:
                run(["delgroup", "--system", "--quiet", ACCOUNT])
        if ok:
            shutil.rmtree(root, ignore_errors=True)
        else:
            print("kept: " + root)
    print("ran in %.0f s" % (time.monotonic() - started))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
