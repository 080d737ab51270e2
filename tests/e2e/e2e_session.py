"""Drives the real game binary under a private Xvfb server.

Each session gets a display of its own (Xvfb picks a free number), a fresh working
directory whose Data/Res and Data/Music point at the generated data and whose Data/Save
starts empty, and the dummy audio driver. Keys go in through XTEST (xdotool), pictures
come out through ImageMagick's import as PPM and are compared by region only.
"""

import ctypes
import ctypes.util
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77  # CTest's SKIP_RETURN_CODE for a tool that is not installed

WIDTH, HEIGHT = 800, 600


class E2EFailure(AssertionError):
    pass


def require_tools(*tools):
    missing = [t for t in tools if shutil.which(t) is None]
    if missing:
        print("skipped: not installed: " + ", ".join(missing))
        sys.exit(SKIP)


def check(condition, message):
    if not condition:
        raise E2EFailure(message)


# --- pictures -----------------------------------------------------------------------------


class Picture:
    """An RGB picture read from a binary PPM."""

    def __init__(self, data):
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos) + 1
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        if fields[0] != b"P6" or int(fields[3]) != 255:
            raise E2EFailure("not an 8-bit binary PPM")
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos + 1:pos + 1 + self.width * self.height * 3]

    @classmethod
    def from_file(cls, path):
        out = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True, capture_output=True).stdout
        return cls(out)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def mean(self, x, y, w, h):
        """Mean (R, G, B) of a box, top-left corner (x, y)."""
        total = [0, 0, 0]
        for yy in range(y, y + h):
            row = (yy * self.width + x) * 3
            chunk = self.pixels[row:row + w * 3]
            total[0] += sum(chunk[0::3])
            total[1] += sum(chunk[1::3])
            total[2] += sum(chunk[2::3])
        n = w * h
        return tuple(round(c / n) for c in total)

    def count_near(self, colour, x, y, w, h, tolerance=40):
        """Number of pixels of the box within tolerance of colour on every channel."""
        n = 0
        for yy in range(y, y + h):
            row = (yy * self.width + x) * 3
            chunk = self.pixels[row:row + w * 3]
            for i in range(0, w * 3, 3):
                if (abs(chunk[i] - colour[0]) <= tolerance and abs(chunk[i + 1] - colour[1]) <= tolerance
                        and abs(chunk[i + 2] - colour[2]) <= tolerance):
                    n += 1
        return n

    def match_fraction(self, other, x, y, w, h, tolerance=12):
        """Share of pixels of the box that equal the same pixels of other, channel by channel
        within tolerance (the display is 16-bit, so colours are rounded on the way)."""
        same = 0
        for yy in range(y, y + h):
            a = (yy * self.width + x) * 3
            b = (yy * other.width + x) * 3
            ra = self.pixels[a:a + w * 3]
            rb = other.pixels[b:b + w * 3]
            for i in range(0, w * 3, 3):
                if (abs(ra[i] - rb[i]) <= tolerance and abs(ra[i + 1] - rb[i + 1]) <= tolerance
                        and abs(ra[i + 2] - rb[i + 2]) <= tolerance):
                    same += 1
        return same / (w * h)


def colour_distance(a, b):
    return max(abs(x - y) for x, y in zip(a, b))


# --- the close box --------------------------------------------------------------------------


class _XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def send_close_request(display, window):
    """Sends the window the WM_DELETE_WINDOW message that a window manager sends when the
    close box is clicked; SDL turns it into its window-close event. Without a window manager
    there is no close box, and `wmctrl -c` (which asks the window manager) and
    `xdotool windowclose` (which destroys the window) do not produce that event."""
    name = ctypes.util.find_library("X11")
    if not name:
        raise E2EFailure("libX11 not found")
    x = ctypes.CDLL(name)
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                             ctypes.POINTER(_XEvent)]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x.XOpenDisplay(display.encode())
    if not dpy:
        raise E2EFailure("cannot open display " + display)
    try:
        event = _XEvent()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = x.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = x.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        event.xclient.data[1] = 0  # CurrentTime
        if not x.XSendEvent(dpy, window, 0, 0, ctypes.byref(event)):
            raise E2EFailure("XSendEvent failed")
        x.XFlush(dpy)
    finally:
        x.XCloseDisplay(dpy)


# --- the X server and the game --------------------------------------------------------------


class XServer:
    """A private Xvfb on a display number of its own."""

    def __init__(self, width=1024, height=768, window_manager=None):
        self.size = (width, height)
        # A number drawn at random rather than the first free one: servers started side by side
        # (the suite runs two at once, other work on the machine more) would all reach for the
        # lowest number at the same moment, and the loser of that race can take the winner's
        # socket with it. Xvfb's lock refuses a number that is taken; then another is drawn.
        rng = random.SystemRandom()
        number = ""
        for _ in range(20):
            read_fd, write_fd = os.pipe()
            self.proc = subprocess.Popen(
                ["Xvfb", ":%d" % rng.randint(20, 4000), "-displayfd", str(write_fd), "-screen", "0",
                 "%dx%dx24" % (width, height), "-nolisten", "tcp"], pass_fds=(write_fd,),
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(write_fd)
            with os.fdopen(read_fd) as pipe:
                number = pipe.readline().strip()
            if number:
                break
            self.proc.wait()
        if not number:
            raise E2EFailure("Xvfb did not start")
        self.display = ":" + number
        # A display number just given up can refuse connections for a moment after a new server
        # takes it: wait until a client gets through, or the game would find no display.
        deadline = time.time() + 10
        while subprocess.run(["xdpyinfo", "-display", self.display], stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL).returncode != 0:
            if time.time() > deadline:
                self.proc.kill()
                raise E2EFailure("Xvfb on %s does not take connections" % self.display)
            time.sleep(0.1)
        self.wm = None
        if window_manager:
            self.wm = subprocess.Popen(window_manager, env=self.env(), stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            time.sleep(1.0)

    def env(self, extra=None):
        env = dict(os.environ)
        env["DISPLAY"] = self.display
        env.pop("WAYLAND_DISPLAY", None)
        if extra:
            env.update(extra)
        return env

    def close(self):
        for proc in (self.wm, self.proc):
            if proc and proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()


def build_dir():
    path = os.environ.get("SPRAYDASH_BUILD_DIR")
    if not path:
        raise E2EFailure("SPRAYDASH_BUILD_DIR is not set")
    return path


def make_workdir(prefix="spraydash-e2e-"):
    """A working directory with the generated read-only data and an empty Data/Save."""
    work = tempfile.mkdtemp(prefix=prefix)
    data = os.path.join(build_dir(), "Data")
    os.makedirs(os.path.join(work, "Data", "Save"))
    for sub in ("Res", "Music"):
        src = os.path.join(data, sub)
        if not os.path.isdir(src):
            raise E2EFailure("generated data missing: " + src)
        os.symlink(src, os.path.join(work, "Data", sub))
    return work


class Game:
    """The game binary running in a working directory on an XServer."""

    def __init__(self, server, workdir, argv=None, env=None):
        self.server = server
        self.workdir = workdir
        argv = argv or [os.path.join(build_dir(), "src", "spraydash")]
        self.log_path = os.path.join(workdir, "game.log")
        self.log = open(self.log_path, "wb")
        self._start = lambda: subprocess.Popen(argv, cwd=workdir, stdout=self.log, stderr=subprocess.STDOUT,
                                               env=server.env(dict({"SDL_AUDIODRIVER": "dummy"}, **(env or {}))))
        self.proc = self._start()
        self._restarted = False
        self.window = None

    def xdotool(self, *args, timeout=20):
        out = subprocess.run(["xdotool", *args], env=self.server.env(), capture_output=True, text=True,
                             timeout=timeout)
        return out.stdout.strip()

    def wait_window(self, timeout=60):  # generous: the suite starts several games at once
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.proc.poll() is not None and self._display_was_busy():
                # Under heavy load an X server now and then turns a connection away although it
                # serves the next: that is the machine's, not the game's, so the game gets one
                # more start (said in the output, in case it ever becomes the rule).
                print("note: the game could not reach a working display at its first start; started again:\n"
                      + self.log_text())
                self._restarted = True
                self.proc = self._start()
                continue
            check(self.proc.poll() is None, "the game ended at start-up:\n" + self.log_text())
            ids = self.xdotool("search", "--onlyvisible", "--name", "^Spraydash$").split()
            if ids:
                self.window = int(ids[0])
                return self.window
            time.sleep(0.2)
        raise E2EFailure("no window named Spraydash within %d s" % timeout)

    def _display_was_busy(self):
        return (not self._restarted and "could not be opened" in self.log_text()
                and subprocess.run(["xdpyinfo", "-display", self.server.display], stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL).returncode == 0)

    def geometry(self):
        """(x, y, width, height) of the game window on the screen."""
        out = self.xdotool("getwindowgeometry", "--shell", str(self.window))
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def keys(self, *names, gap=0.15):
        """Presses and releases each key in turn. The menus step one button per press and
        only re-arm after a tick without a direction held, so presses are spaced out."""
        for name in names:
            self.xdotool("key", "--clearmodifiers", name)
            time.sleep(gap)

    def key_down(self, name):
        self.xdotool("keydown", name)

    def key_up(self, name):
        self.xdotool("keyup", name)

    def type_text(self, text):
        self.xdotool("type", "--delay", "80", text)

    def shot(self, save_as=None):
        """The game window's picture (the window is 800 × 600 unless in full screen)."""
        out = subprocess.run(["import", "-window", str(self.window), "-depth", "8", "ppm:-"], env=self.server.env(),
                             check=True, capture_output=True, timeout=20).stdout
        if save_as:
            subprocess.run(["convert", "ppm:-", save_as], input=out, check=True)
        return Picture(out)

    def wait_for(self, predicate, what, timeout=10, interval=0.25):
        """Takes pictures until predicate(picture) holds; fails naming what was awaited."""
        deadline = time.time() + timeout
        picture = None
        while time.time() < deadline:
            check(self.proc.poll() is None, "the game ended while waiting for %s:\n%s" % (what, self.log_text()))
            picture = self.shot()
            if predicate(picture):
                return picture
            time.sleep(interval)
        keep = os.path.join(self.workdir, "failed.png")
        if picture is not None:
            self.shot(keep)
        raise E2EFailure("timed out waiting for %s (last picture: %s)" % (what, keep))

    def close_request(self):
        send_close_request(self.server.display, self.window)

    def wait_exit(self, timeout=10):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise E2EFailure("the game did not end within %d s" % timeout)

    def alive(self):
        return self.proc.poll() is None

    def log_text(self):
        self.log.flush()
        with open(self.log_path, "rb") as f:
            return f.read().decode(errors="replace")

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()


class Session:
    """What one e2e run holds: an X server, a working directory, the games started on them and
    whatever else the run starts (a score server, say), all stopped at the end; the working
    directory goes too unless the run failed."""

    def __init__(self, window_manager=None, workdir_parent=None, size=None):
        if workdir_parent:
            # Inside the script's own build directory rather than the shared temporary folder.
            os.makedirs(workdir_parent, exist_ok=True)
            tempfile.tempdir = workdir_parent
        self.workdir = make_workdir("run-" if workdir_parent else "spraydash-e2e-")
        self.games = []
        self._closers = []
        self.server = XServer(*(size or ()), window_manager=window_manager)

    def start_game(self, argv=None, env=None, wait=True):
        game = Game(self.server, self.workdir, argv=argv, env=env)
        self.games.append(game)
        if wait:
            game.wait_window()
        return game

    def closing(self, thing):
        """Has thing.close() called when the session ends; returns thing."""
        self._closers.append(thing)
        return thing

    def close(self, ok, keep_on_failure=True):
        for game in self.games:
            game.stop()
        for thing in reversed(self._closers):
            thing.close()
        self.server.close()
        if ok or not keep_on_failure:
            shutil.rmtree(self.workdir, ignore_errors=True)
        else:
            print("working directory kept: " + self.workdir)


def run_session(test, keep_on_failure=True, **session_args):
    """Runs test(session) on a fresh Session; exit status 0 on success, 1 with the reason (and the
    games' output) on failure."""
    session = Session(**session_args)
    ok = False
    try:
        test(session)
        ok = True
    except E2EFailure as e:
        print("FAILED: %s" % e)
        for game in session.games:
            print("game output:\n" + game.log_text())
    finally:
        session.close(ok, keep_on_failure)
    return 0 if ok else 1


def run(test, window_manager=None, keep_on_failure=True):
    """Runs test(game) against a fresh server, working directory and game; exit status 0 on
    success, 1 with the reason on failure. The working directory is kept when it fails."""
    return run_session(lambda session: test(session.start_game()), keep_on_failure=keep_on_failure,
                       window_manager=window_manager)
