"""Driving the installer window as a person would: the real program under
Wine on the prefix's display, found through X, clicked and typed into with
xdotool, and looked at through screenshots of the root window."""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app", "e2e"))

from e2e import BUILD, Prefix  # noqa: E402,F401

READER = os.path.join(BUILD, "tests", "window", "AccessibleTree.exe")

WIDTH, HEIGHT = 528, 348
PAGE_TOP = 48


def xdo(prefix, *args, check=True):
    r = subprocess.run(["xdotool"] + [str(a) for a in args], env=prefix.env, capture_output=True, text=True)
    if check and r.returncode != 0:
        raise RuntimeError("xdotool %s: %s" % (" ".join(map(str, args)), r.stderr.strip()))
    return r.stdout.strip()


def windows(prefix, name):
    """X windows whose title matches the regular expression `name`."""
    r = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], env=prefix.env, capture_output=True,
                       text=True)
    return [w for w in r.stdout.split() if w]


def geometry(prefix, window):
    out = xdo(prefix, "getwindowgeometry", "--shell", window)
    values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def wait_for(predicate, seconds=20, step=0.1):
    end = time.time() + seconds
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


class Screen:
    """A screenshot of the whole display, read as RGB bytes."""

    def __init__(self, prefix, path=None):
        raw = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"], env=prefix.env,
                             capture_output=True, check=True).stdout
        info = subprocess.run(["xdpyinfo"], env=prefix.env, capture_output=True, text=True).stdout
        dims = [l for l in info.splitlines() if "dimensions:" in l][0].split()[1]
        self.width, self.height = map(int, dims.split("x"))
        self.raw = raw
        if path:
            subprocess.run(["import", "-window", "root", path], env=prefix.env, check=True)

    def pixel(self, x, y):
        at = (y * self.width + x) * 3
        return tuple(self.raw[at:at + 3])


def save_window_shot(prefix, path, origin, margin=40):
    """The window and its shadow, cropped from the display."""
    x, y = origin
    subprocess.run(["import", "-window", "root", "-crop",
                    "%dx%d+%d+%d" % (WIDTH + 2 * margin, HEIGHT + 2 * margin, x - margin, y - margin), "+repage",
                    path], env=prefix.env, check=True)


class Installer:
    """One run of the setup program with its window on the display."""

    def __init__(self, prefix, program, args=(), env=None, attach=False, title="Pivset"):
        """Starts `program`, or with `attach` waits for a window that a
        program started elsewhere (an uninstaller's relaunched copy) shows,
        titled `title` (the product definition's "windowTitle")."""
        self.prefix = prefix
        self.title = "^%s$" % title
        self.process = None if attach else prefix.start([program] + list(args), env=env)
        found = wait_for(lambda: windows(prefix, self.title), seconds=30)
        if not found:
            raise AssertionError("the installer window did not appear")
        self.window = found[0]
        # Let the first paint and the shadows settle.
        time.sleep(1.0)
        self.x, self.y, w, h = geometry(prefix, self.window)
        assert (w, h) == (WIDTH, HEIGHT), (w, h)

    def point(self, x, y, page=True):
        """Screen point of a window point; page points count from the page."""
        return self.x + x, self.y + y + (PAGE_TOP if page else 0)

    def move(self, x, y, page=True):
        sx, sy = self.point(x, y, page)
        xdo(self.prefix, "mousemove", "--sync", sx, sy)

    def click(self, x, y, page=True, settle=0.6):
        self.move(x, y, page)
        time.sleep(0.15)
        xdo(self.prefix, "click", 1)
        time.sleep(settle)

    def double_click(self, x, y, page=True):
        self.move(x, y, page)
        time.sleep(0.15)
        xdo(self.prefix, "click", "--repeat", 2, "--delay", 80, 1)
        time.sleep(0.4)

    def type(self, text):
        xdo(self.prefix, "type", "--delay", 40, text)
        time.sleep(0.3)

    def screen(self, path=None):
        return Screen(self.prefix, path)

    def pixel(self, x, y, page=True, screen=None):
        s = screen or self.screen()
        return s.pixel(*self.point(x, y, page))

    def shot(self, path):
        save_window_shot(self.prefix, path, (self.x, self.y))

    def alive(self):
        if self.process is None:
            return bool(windows(self.prefix, self.title))
        return self.process.poll() is None

    def close(self):
        if self.process is not None and self.alive():
            self.process.kill()
        self.prefix.close_programs()


def window_icons(prefix, window):
    """The icons the window manager shows for a window (_NET_WM_ICON, which
    Wine fills from the window's class icons): {size: [(a, r, g, b), ...]}."""
    # As numbers: by default xprop draws the icons as text.
    out = subprocess.run(["xprop", "-id", window, "-notype", "-f", "_NET_WM_ICON", "32c", " = $0+", "_NET_WM_ICON"],
                         env=prefix.env, capture_output=True, text=True).stdout
    if "=" not in out:
        return {}
    values = [int(v) for v in out.split("=", 1)[1].replace("\n", " ").replace(",", " ").split()
              if v.strip().isdigit()]
    icons = {}
    while len(values) >= 2:
        width, height = values[0], values[1]
        pixels = values[2:2 + width * height]
        icons[width] = [((p >> 24) & 255, (p >> 16) & 255, (p >> 8) & 255, p & 255) for p in pixels]
        values = values[2 + width * height:]
    return icons


def icon_image(ico_path, size):
    """One bitmap image of an icon file as [(a, r, g, b), ...], top row first."""
    import struct
    with open(ico_path, "rb") as f:
        data = f.read()
    for i in range(struct.unpack_from("<H", data, 4)[0]):
        width, _, _, _, _, _, length, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        if width == size:
            image = data[offset + 40:offset + 40 + size * size * 4]
            rows = [image[y * size * 4:(y + 1) * size * 4] for y in range(size)][::-1]
            return [(row[x * 4 + 3], row[x * 4 + 2], row[x * 4 + 1], row[x * 4]) for row in rows for x in range(size)]
    raise AssertionError("no %d-pixel image in %s" % (size, ico_path))


class ReaderView:
    """What a screen reader finds in the window, through the accessibility
    interfaces (tests/window/helpers/AccessibleTree.cpp): the children as
    (role, name, states, value, action), the focused child id and, when
    asked to listen, the WinEvents heard as (event, child id)."""

    def __init__(self, prefix, do=None, listen_ms=None):
        out = os.path.join(prefix.root, "reader.txt")
        args = [READER, "Z:" + out.replace("/", "\\")]
        if do:
            args += ["--do", str(do)]
        if listen_ms:
            args += ["--events", str(listen_ms)]
        rc = prefix.run(args, timeout=60)
        with open(out, encoding="utf-8") as f:
            lines = f.read().splitlines()
        assert rc == 0, lines
        self.children, self.events, self.focus = [], [], None
        for line in lines:
            parts = line.split("|")
            if parts[0] == "event":
                self.events.append((parts[1], int(parts[2])))
            elif parts[0] == "focus":
                self.focus = int(parts[1])
            elif parts[0] not in ("client", "did"):
                self.children.append(tuple(parts))

    def names(self):
        return [c[1] for c in self.children]

    def child(self, name):
        """The child id (from 1) of the child of that name."""
        return self.names().index(name) + 1


def near(color, expected, tolerance=24):
    return all(abs(a - b) <= tolerance for a, b in zip(color, expected))
