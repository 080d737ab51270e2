#!/usr/bin/env python3
"""The window is sent only what changes: with nothing moving nothing is sent (a picture drawn
over the window from outside stays), and what the window shows after partial updates is, pixel
for pixel, what a whole repaint of the same frame shows, on screens reached by pointing and keys."""

import ctypes
import ctypes.util
import sys
import time

import e2e_session as e2e

SETTLE = 0.8  # seconds: several ticks for the game to send what it has to


class _XGCValues(ctypes.Structure):
    _fields_ = [("pad", ctypes.c_long * 32)]


def _xlib(display):
    name = ctypes.util.find_library("X11")
    if not name:
        raise e2e.E2EFailure("libX11 not found")
    x = ctypes.CDLL(name)
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XCreateGC.restype = ctypes.c_void_p
    x.XCreateGC.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_void_p]
    x.XSetForeground.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_ulong]
    x.XFillRectangle.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                 ctypes.c_uint, ctypes.c_uint]
    x.XClearArea.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                             ctypes.c_uint, ctypes.c_int]
    x.XFreeGC.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x.XOpenDisplay(display.encode())
    if not dpy:
        raise e2e.E2EFailure("cannot open display " + display)
    return x, dpy


def paint_over(game, box, rgb=0xFF00FF):
    """Another client paints a box straight into the game's window."""
    x, dpy = _xlib(game.server.display)
    try:
        gc = x.XCreateGC(dpy, game.window, 0, None)
        x.XSetForeground(dpy, gc, rgb)
        x.XFillRectangle(dpy, game.window, gc, *box)
        x.XFreeGC(dpy, gc)
        x.XSync(dpy, 0)
    finally:
        x.XCloseDisplay(dpy)


def expose(game):
    """Has the server tell the game its whole window needs painting again."""
    x, dpy = _xlib(game.server.display)
    try:
        x.XClearArea(dpy, game.window, 0, 0, 0, 0, 1)
        x.XSync(dpy, 0)
    finally:
        x.XCloseDisplay(dpy)


def differing(a, b):
    """Pixels that differ between two pictures of the same size, and the first of them."""
    count, first = 0, None
    for y in range(a.height):
        row = y * a.width * 3
        if a.pixels[row:row + a.width * 3] == b.pixels[row:row + a.width * 3]:
            continue
        for x in range(a.width):
            if a.pixel(x, y) != b.pixel(x, y):
                count += 1
                first = first or (x, y)
    return count, first


def same_as_whole_repaint(game, what):
    time.sleep(SETTLE)
    partial = game.shot()
    expose(game)
    time.sleep(SETTLE)
    whole = game.shot()
    count, first = differing(partial, whole)
    e2e.check(count == 0, "%s: %d pixels shown after partial updates differ from a whole repaint, "
                          "the first at %s" % (what, count, first))


def test(game):
    time.sleep(4)  # the intro: panels, then the column sliding in
    menu = game.shot()

    # Nothing moves on the main menu at rest: nothing is sent, so a box painted over the window
    # from outside stays until the window is exposed, and then the menu is whole again.
    box = (200, 420, 120, 60)
    paint_over(game, box)
    time.sleep(SETTLE)
    e2e.check(game.shot().pixel(250, 440) == (255, 0, 255), "the window was sent a frame that had not changed")
    expose(game)
    time.sleep(SETTLE)
    count, first = differing(menu, game.shot())
    e2e.check(count == 0, "after an expose the menu differs in %d pixels, the first at %s" % (count, first))

    same_as_whole_repaint(game, "the main menu at rest")
    game.keys("Down", "Down")
    same_as_whole_repaint(game, "the highlight moved by keys")
    game.xdotool("mousemove", "--window", str(game.window), "600", "390")
    same_as_whole_repaint(game, "the highlight moved by the pointer")
    game.keys("Up", "Up", "Return")
    same_as_whole_repaint(game, "the options screen")
    game.keys("Escape", "Down", "Return")
    same_as_whole_repaint(game, "the high-score table")
    game.keys("Escape", "Down", "Return", "Right")
    same_as_whole_repaint(game, "the second help page")
    game.keys("Escape", "Up", "Up", "Up", "Return")
    same_as_whole_repaint(game, "the boats")


if __name__ == "__main__":
    e2e.require_tools("Xvfb", "xdotool", "import")
    sys.exit(e2e.run(test))
