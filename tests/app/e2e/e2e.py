"""Shared pieces of the end-to-end tests: the setup program and its
uninstaller run for real under Wine, each scenario group in a fresh prefix.

Environment (set by CTest): PIVSET_SOURCE_DIR, PIVSET_WIN_BUILD,
PIVSET_HOST_PIVPACK.
"""
import base64
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

SOURCE = os.environ["PIVSET_SOURCE_DIR"]
BUILD = os.environ["PIVSET_WIN_BUILD"]
PIVPACK = os.environ.get("PIVSET_HOST_PIVPACK", "")
TEMPLATE = os.path.join(BUILD, "wineprefix")
STUB = os.path.join(BUILD, "setup-stub.exe")
SAMPLE = os.path.join(BUILD, "sample-product")
HELPERS = os.path.join(BUILD, "tests", "app")
WORK = os.path.join(BUILD, "e2e")

SAMPLE_CONFIG = {
    "mode": 1,
    "lastrun": "Orvane.exe",
    "shortcut": {
        "desktop": [{"file": "Orvane.exe", "name": "Pellio"}],
        "taskbar": [{"file": "Orvane.exe", "name": "Pellio"}],
    },
}
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvane"
# Folders a Wine prefix holds so big that scenario prefixes link them
# instead of copying; Wine never writes into them.
SHARED_DIRS = ["drive_c/windows/system32", "drive_c/windows/syswow64", "drive_c/windows/winsxs"]


def ui_language(locale):
    """The environment of a user whose display language is `locale`
    ("en_US"): Wine takes it from LC_MESSAGES. The character type stays
    Chinese: of the host's locales only that one lets Wine write the
    product's Chinese file names (with another, creating them fails)."""
    return {"LANG": locale + ".UTF-8", "LC_ALL": "", "LC_CTYPE": "zh_CN.UTF-8", "LC_MESSAGES": locale + ".UTF-8"}


def sh(args, **kw):
    return subprocess.run(args, check=True, **kw)


class Prefix:
    """A fresh copy of the build tree's prefix for one scenario group."""

    def __init__(self, name, version=None, display=True):
        """`display=False`: the prefix runs headless, as build servers run
        Wine; none of its programs gets a display, since a prefix's desktop
        takes the display of whichever program started it."""
        sh([os.path.join(SOURCE, "cmake", "wine-prefix.sh"), TEMPLATE])
        self.root = os.path.join(WORK, name)
        shutil.rmtree(self.root, ignore_errors=True)
        os.makedirs(self.root)
        self.dir = os.path.join(self.root, "prefix")
        excludes = []
        for d in SHARED_DIRS:
            excludes += ["--exclude=./" + d]
        os.makedirs(self.dir)
        subprocess.run("tar -C '%s' %s -cf - . | tar -C '%s' -xf -" % (TEMPLATE, " ".join(excludes), self.dir),
                       shell=True, check=True)
        for d in SHARED_DIRS:
            if os.path.isdir(os.path.join(TEMPLATE, d)):
                sh(["cp", "-al", os.path.join(TEMPLATE, d), os.path.dirname(os.path.join(self.dir, d))])
        for stale in (".pivset-version",):
            if os.path.exists(os.path.join(self.dir, stale)):
                os.remove(os.path.join(self.dir, stale))
        # A display of the prefix's own: programs of other prefixes, and the
        # pointer that window tests move, stay out of this one's windows.
        self.display = None
        if display:
            self.display = subprocess.run([os.path.join(SOURCE, "cmake", "wine-display.sh"), self.dir],
                                          check=True, capture_output=True, text=True).stdout.strip()
        self.env = dict(os.environ)
        for variable in ("DISPLAY", "WAYLAND_DISPLAY"):
            self.env.pop(variable, None)
        if self.display:
            self.env["DISPLAY"] = self.display
        self.env.update({
            "WINEPREFIX": self.dir, "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d",
            # The product's users run code page 936; Wine takes the ANSI
            # code page from the locale (a test may set another).
            "LANG": "zh_CN.UTF-8", "LC_ALL": "zh_CN.UTF-8",
        })
        if version:
            sh(["winecfg", "-v", version], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.wait()

    # --- running programs -------------------------------------------------
    def run(self, args, timeout=180, env=None, cwd=None):
        """Runs a program; `cwd` (a C: path) becomes its current folder."""
        e = dict(self.env)
        if env:
            e.update(env)
        # No pipes: a wineserver or service that this call happens to start
        # would inherit them and keep the call waiting for their end.
        return subprocess.run(["wine"] + list(args), env=e, timeout=timeout, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, cwd=self.host(cwd) if cwd else None).returncode

    def start(self, args, env=None):
        e = dict(self.env)
        if env:
            e.update(env)
        return subprocess.Popen(["wine"] + list(args), env=e, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)

    def run_full_code(self, args, limit_ms=60000):
        """Runs a program through ExitReport.exe: its whole 32-bit exit code
        (the host sees only the low byte), or None when it did not end in
        `limit_ms` or did not start."""
        report = os.path.join(self.root, "exit-report.txt")
        if os.path.exists(report):
            os.remove(report)
        rc = self.run([os.path.join(HELPERS, "ExitReport.exe"), "Z:" + report.replace("/", "\\"), str(limit_ms)] +
                      list(args), timeout=limit_ms // 1000 + 60)
        assert rc == 0, "ExitReport itself failed"
        with open(report) as f:
            lines = dict((line.split(" ", 1) + [""])[:2] for line in f.read().splitlines())
        return int(lines["exit"], 16) if "exit" in lines else None

    def wait(self, timeout=180):
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=timeout)

    def close_programs(self):
        """Ends every program of the prefix."""
        subprocess.run(["wineserver", "-k"], env=self.env)
        time.sleep(0.5)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env)
        subprocess.run([os.path.join(SOURCE, "cmake", "wine-display.sh"), self.dir, "stop"])
        time.sleep(0.5)
        shutil.rmtree(self.root, ignore_errors=True)

    # --- paths ------------------------------------------------------------
    def host(self, winpath):
        """The host path of a C: path of the prefix."""
        assert winpath[1:3] == ":\\", winpath
        drive = os.path.join(self.dir, "dosdevices", winpath[0].lower() + ":")
        return os.path.join(os.path.realpath(drive), *[p for p in winpath[3:].split("\\") if p])

    def temp(self):
        """The host path of the prefix user's temporary folder."""
        users = os.path.join(self.dir, "drive_c", "users")
        for user in os.listdir(users):
            t = os.path.join(users, user, "Temp")
            if user != "Public" and os.path.isdir(t):
                return t
        raise AssertionError("no temporary folder in the prefix")

    def profile(self):
        return os.path.dirname(self.temp())

    def windows_path(self, host_path):
        drive_c = os.path.join(self.dir, "drive_c")
        rel = os.path.relpath(host_path, drive_c)
        assert not rel.startswith(".."), host_path
        return "C:\\" + rel.replace("/", "\\")

    # --- registry ---------------------------------------------------------
    def reg_values(self, key, view="32", encoding="utf-8"):
        """Values of a key as {name: (type, data)}; None when it is missing.
        reg writes to a file in the console's code page: "gbk" reads the
        Chinese texts of a zh_CN prefix."""
        # Through a file, not a pipe (see run).
        with tempfile.TemporaryFile() as out:
            r = subprocess.run(["wine", "reg", "query", key, "/reg:" + view], env=self.env, stdout=out,
                               stderr=subprocess.DEVNULL)
            out.seek(0)
            text = out.read()
        if r.returncode != 0:
            return None
        values = {}
        for line in text.decode(encoding, "replace").replace("\r", "").split("\n"):
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = (parts[1], parts[2] if len(parts) > 2 else "")
        return values

    def reg_add(self, key, name, kind, data, view="32"):
        sh(["wine", "reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f", "/reg:" + view], env=self.env,
           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    # --- state of the drive ------------------------------------------------
    def snapshot(self, skip=()):
        """Every file and folder on C: with size and hash (links not followed)."""
        drive_c = os.path.join(self.dir, "drive_c")
        state = {}
        shared = [os.path.join(self.dir, d) for d in SHARED_DIRS]
        for base, dirs, files in os.walk(drive_c):
            dirs[:] = [d for d in dirs if os.path.join(base, d) not in shared]
            rel = os.path.relpath(base, drive_c)
            if any(rel == s or rel.startswith(s + os.sep) for s in skip):
                continue
            state[rel + "/"] = "dir"
            for f in files:
                p = os.path.join(base, f)
                if os.path.islink(p):
                    state[os.path.join(rel, f)] = "link"
                    continue
                with open(p, "rb") as fh:
                    state[os.path.join(rel, f)] = hashlib.sha256(fh.read()).hexdigest()
        return state


def diff(before, after):
    added = sorted(set(after) - set(before))
    removed = sorted(set(before) - set(after))
    changed = sorted(k for k in set(before) & set(after) if before[k] != after[k])
    return added, removed, changed


def build_installer(path, config, folder=None, zip_bytes=None, raw_config=None, stub=STUB):
    """Packs an installer with the host package builder."""
    d = os.path.dirname(path)
    os.makedirs(d, exist_ok=True)
    cfg = path + ".json"
    with open(cfg, "w", encoding="utf-8") as f:
        f.write(raw_config if raw_config is not None else json.dumps(config, ensure_ascii=False))
    args = [PIVPACK, "build", "--stub", stub, "--config", cfg, "--out", path]
    if folder:
        args += ["--folder", folder]
    elif zip_bytes is not None:
        z = path + ".zip"
        with open(z, "wb") as f:
            f.write(zip_bytes)
        args += ["--zip", z]
    else:
        args += ["--no-archive"]
    sh(args, stdout=subprocess.DEVNULL)
    return path


def raw_installer(path, config_text, zip_bytes):
    """An installer assembled here, byte by byte, for packages the builder
    would refuse (damaged archives)."""
    import struct
    with open(STUB, "rb") as f:
        image = bytearray(f.read())
    lfanew = struct.unpack_from("<I", image, 60)[0]
    struct.pack_into("<I", image, lfanew - 4, len(image))
    config = config_text.encode("utf-8")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(bytes(image) + struct.pack("<I", len(config)) + config + struct.pack("<I", len(zip_bytes)) + zip_bytes)
    return path


def read_package_config(path):
    """The configuration text of a package, read the way the program does."""
    with open(path, "rb") as f:
        data = f.read()
    lfanew = int.from_bytes(data[60:64], "little")
    p = int.from_bytes(data[lfanew - 4:lfanew], "little")
    length = int.from_bytes(data[p:p + 4], "little")
    return p, length, data[p + 4:p + 4 + length].decode("utf-8")


def decode_paths(elements):
    return [base64.b64decode(e).decode("utf-8") for e in elements]


def make_zip(entries):
    """A ZIP from [(name, bytes or None for a folder, method)] in that order;
    names are written as given (already in the archive's code page)."""
    path = tempfile.mktemp(suffix=".zip")
    with zipfile.ZipFile(path, "w") as z:
        for name, data, *rest in entries:
            method = rest[0] if rest else zipfile.ZIP_DEFLATED
            info = zipfile.ZipInfo(name)
            info.compress_type = method if data is not None else zipfile.ZIP_STORED
            info.external_attr = 0x10 if data is None else 0x20
            z.writestr(info, data if data is not None else b"")
    with open(path, "rb") as f:
        raw = f.read()
    os.remove(path)
    return raw


def sample_files():
    """The sample product's files as {relative path with backslashes: bytes}."""
    out = {}
    for base, dirs, files in os.walk(SAMPLE):
        for f in files:
            p = os.path.join(base, f)
            rel = os.path.relpath(p, SAMPLE).replace("/", "\\")
            with open(p, "rb") as fh:
                out[rel] = fh.read()
    return out


def main():
    if not PIVPACK or not os.path.exists(PIVPACK):
        print("the host package builder is missing: build the native tree first")
        sys.exit(1)
    unittest.main(verbosity=2)
