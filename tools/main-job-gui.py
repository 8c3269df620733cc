#!/usr/bin/env python3
"""The main job's walk through the installer window: the packed installer is
opened on the display, installed through its custom page into the folder
given, the product started from the done page, and then removed through the
uninstaller's pages. Every page is saved as a screenshot.

Usage: main-job-gui.py install INSTALLER FOLDER SHOTS   (FOLDER as /D gives it)
       main-job-gui.py uninstall FOLDER SHOTS
Environment: WINEPREFIX, DISPLAY and the other Wine settings of the main job;
PIVSET_SOURCE_DIR and PIVSET_WIN_BUILD (the window tests' helpers read them).
"""
import os
import subprocess
import sys
import time

source = os.environ["PIVSET_SOURCE_DIR"]
sys.path.insert(0, os.path.join(source, "tests", "window"))

from gui import Installer, Prefix, windows, wait_for, xdo  # noqa: E402
from test_gui_install import CUSTOM_LINK, INSTALL, Pages  # noqa: E402


class Session:
    """The main job's prefix, as the window helpers expect a prefix."""

    def __init__(self):
        self.env = dict(os.environ)
        self.dir = self.env["WINEPREFIX"]

    def start(self, args, env=None):
        return subprocess.Popen(["wine"] + list(args), env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def close_programs(self):
        pass

    # The window tests' prefix finds its paths from the prefix folder alone.
    host = Prefix.host
    temp = Prefix.temp


def step(text):
    print("  " + text, flush=True)


def saver(shots):
    os.makedirs(shots, exist_ok=True)

    def shot(w, name):
        path = os.path.join(shots, name + ".png")
        w.shot(path)
    return shot


def accent(color):
    r, g, b = color
    return b > 200 and r < 60


def install_bar(w):
    return Pages.progress_fill(w) > 0


def uninstall_bar(w):
    return accent(w.pixel(56, 204))


def progress_shot(w, shot, name, shown, finished):
    """The progress page, once the slide has brought it in: a small product
    may be done before a screenshot can be taken, and then there is none."""
    time.sleep(0.25)
    while not finished():
        if shown(w):
            shot(w, name)
            step("progress page")
            return
        time.sleep(0.05)
    step("progress page: the work was done before it could be captured")


def install(installer, folder, shots):
    session = Session()
    shot = saver(shots)
    # The folder comes from /D: the path box takes no typed spaces, and
    # without /D a Wine prefix offers its biggest drive, the host's root.
    w = Installer(session, installer, ["/D", folder])
    folder += "\\Tervaset\\Orvane"
    target = session.host(folder)
    shot(w, "1-welcome")
    step("welcome page")
    w.click(*CUSTOM_LINK)
    if not wait_for(lambda: Pages.path_box_visible(w), 5):
        raise SystemExit("the custom page did not open")
    w.move(300, 20, page=False)
    time.sleep(0.3)
    shot(w, "2-custom")
    step("custom page, install folder " + folder)
    started = time.time()
    w.click(*INSTALL, settle=0.0)
    w.move(300, 20, page=False)  # off the buttons, so none shows its hover look
    progress_shot(w, shot, "3-progress", install_bar, lambda: os.path.exists(os.path.join(target, "unins000.exe")))
    if not wait_for(lambda: os.path.exists(os.path.join(target, "unins000.exe")), 60):
        raise SystemExit("the install did not finish")
    time.sleep(1.0)
    step("installed in %.1f s" % (time.time() - started))
    shot(w, "4-done")
    step("done page")

    w.click(*INSTALL, settle=0.5)  # "立即体验"
    product = wait_for(lambda: windows(session, "^Pellio$"), 20)
    if not product:
        raise SystemExit("the product's window did not appear")
    step("the product's window \"Pellio\" is open; the installer "
         + ("closed" if wait_for(lambda: not windows(session, "^Pivset$"), 10) else "is still open"))
    time.sleep(0.8)
    path = os.path.join(shots, "5-product.png")
    subprocess.run(["import", "-window", "root", path], env=session.env, check=True)
    # Close the product as its user would, so nothing holds the folder.
    xdo(session, "windowactivate", "--sync", product[0], check=False)
    xdo(session, "key", "--window", product[0], "alt+F4", check=False)
    if not wait_for(lambda: not windows(session, "^Pellio$"), 10):
        subprocess.run(["wine", "taskkill", "/f", "/im", "Orvane.exe"], env=session.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def uninstall(folder, shots):
    session = Session()
    target = session.host(folder)
    shot = saver(shots)
    # The uninstaller copies itself to the temporary folder and restarts from
    # there: the window belongs to that copy.
    session.start([folder + "\\unins000.exe"])
    w = Installer(session, None, attach=True)
    w.move(300, 20, page=False)  # the pointer may still rest where the last button was
    time.sleep(0.3)
    shot(w, "6-uninstall-confirm")
    step("confirm page")
    w.click(*INSTALL, settle=0.0)  # "卸载"
    w.move(300, 20, page=False)
    progress_shot(w, shot, "7-uninstall-progress", uninstall_bar, lambda: not os.path.exists(target))
    if not wait_for(lambda: not os.path.exists(target), 60):
        raise SystemExit("the product was not removed")
    time.sleep(1.0)
    shot(w, "8-uninstall-done")
    step("done page")
    w.click(*INSTALL, settle=0.5)  # "卸载完成"
    step("the uninstaller " + ("closed" if wait_for(lambda: not windows(session, "^Pivset$"), 10)
                               else "is still open"))


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "install":
        install(*sys.argv[2:])
    elif len(sys.argv) == 4 and sys.argv[1] == "uninstall":
        uninstall(*sys.argv[2:])
    else:
        sys.exit(__doc__)
