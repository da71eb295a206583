#!/usr/bin/env python3
"""The Windows program as a user meets it, under wine64 on the X screen.

In a fresh copy of the Wine prefix: the installer installs silently; the
installed yoxi.exe shows its main window and its Chinese texts; a cast code
typed into the window pairs through cast-server and casts the screen through
GDI to cast-receiver (both running on Linux), with the sound warning 1005
(Wine cannot loop sound back), until the casting window's quit button ends it
with a disconnect; the day's log holds the
road; an https server with a self-signed certificate is refused in the TLS
handshake; an announced upgrade downloads this very installer, which the
program opens before it quits and which waits for it, then installs over it
keeping the user's settings; the uninstaller leaves nothing of ours.

Usage: tst_installed_program.py SETUP_EXE WINE_RUN CAST_SERVER CAST_RECEIVER
Exits 77 (skipped) without an X display. YOXI_SCREENSHOT_DIR keeps the
screenshots.
"""

import datetime
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "yoxi", "integration"))
from roadsupport import (Failure, check_signed, click, find_exchange, run_road,  # noqa: E402
                         start_and_read, stop_all, wait_for, xdotool)

from PIL import Image  # noqa: E402

TITLE = "岚栖投屏"
CAST_CODE = "AB12CD"
INSTALLED_VERSION = "1.0.0"
CASTING_WINDOW = (210, 38)
BOX_WIDTH = 380
UNINSTALL_KEY = r"[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\yoxi]"
WINESERVER = "/usr/lib/wine/wineserver64"
SHIPPED = ["yoxi.exe", "pixpipe.dll", "Qt5Core.dll", "Qt5Gui.dll", "Qt5Widgets.dll",
           "Qt5Network.dll", "platforms/qwindows.dll",
           "libssl-3-x64.dll", "libcrypto-3-x64.dll", "uninstall.exe"]


class Wine:
    """A fresh copy of the tests' Wine prefix and the programs run in it."""

    def __init__(self, wine_run, work):
        self.wine_run = wine_run
        # Makes sure the shared prefix exists, then copies it: nothing of ours
        # has ever been installed in the copy.
        # A wineserver of the prefix that is just shutting down can refuse the
        # first program, so a few tries are allowed.
        for attempt in range(3):
            if subprocess.run([wine_run, "cmd", "/c", "exit"], capture_output=True).returncode == 0:
                break
            time.sleep(3)
        else:
            raise Failure("Wine cannot start a program in its prefix")
        shared = os.environ.get("YOXI_WINEPREFIX") or os.path.join(
            os.environ.get("YOXI_WINDOWS_DEPS_CACHE", "/var/cache/yoxi-windows-deps"), "wineprefix")
        self.prefix = os.path.join(work, "prefix")
        shutil.copytree(shared, self.prefix, symlinks=True)
        self.env = dict(os.environ, YOXI_WINEPREFIX=self.prefix,
                        WINE_RUN_DISPLAY=os.environ["DISPLAY"])
        users = [d for d in glob.glob(os.path.join(self.prefix, "drive_c", "users", "*"))
                 if os.path.basename(d) != "Public"]
        self.user = os.path.basename(users[0])
        self.home = users[0]
        # Wine links the user's Downloads, Desktop and other folders to the
        # Linux home; the copy gets folders of its own, so that a package
        # downloaded by one run is not found by the next.
        for entry in os.listdir(self.home):
            path = os.path.join(self.home, entry)
            if os.path.islink(path):
                os.unlink(path)
                os.mkdir(path)
        self.install_dir = os.path.join(self.home, "AppData", "Local", "Programs", "yoxi")
        self.shortcut = os.path.join(self.home, "AppData", "Roaming", "Microsoft", "Windows",
                                     "Start Menu", "Programs", TITLE + ".lnk")
        self.windows_install_dir = "C:\\users\\%s\\AppData\\Local\\Programs\\yoxi" % self.user

    def run(self, *args, timeout=180):
        return subprocess.run([self.wine_run, *args], env=self.env, timeout=timeout,
                              capture_output=True, text=True, errors="replace")

    def start(self, log_path, *args):
        return subprocess.Popen([self.wine_run, *args], env=self.env, stdout=open(log_path, "w"),
                                stderr=subprocess.STDOUT)

    def wait_idle(self):
        """Waits until every process of the prefix has ended; the registry is
        then written out."""
        subprocess.run([WINESERVER, "--wait"], env=dict(self.env, WINEPREFIX=self.prefix),
                       timeout=120)

    def kill_all(self):
        subprocess.run([WINESERVER, "--kill"], env=dict(self.env, WINEPREFIX=self.prefix))
        self.wait_idle()

    def uninstall_entry(self):
        """The values of our Uninstall key in the user's registry, decoded."""
        with open(os.path.join(self.prefix, "user.reg"), encoding="utf-8",
                  errors="replace") as registry:
            text = registry.read()
        start = text.find(UNINSTALL_KEY)
        if start < 0:
            return None
        section = text[start:].split("\n\n", 1)[0]
        values = {}
        for name, value in re.findall(r'^"([^"]+)"="((?:[^"\\]|\\.)*)"', section, re.M):
            values[name] = re.sub(r"\\x([0-9a-fA-F]{4})", lambda m: chr(int(m.group(1), 16)),
                                  value).replace("\\\\", "\\")
        return values

    def write_config(self, **values):
        with open(os.path.join(self.install_dir, "lumora.config"), "w", newline="\r\n") as config:
            config.write("[config]\n" + "".join("%s=%s\n" % kv for kv in values.items()))

    def config(self):
        with open(os.path.join(self.install_dir, "lumora.config"), errors="replace") as config:
            return dict(re.findall(r"^(\w+)=(.*?)\r?$", config.read(), re.M))


def program_windows():
    """Visible X windows of yoxi.exe, as {window: (x, y, width, height)}."""
    windows = {}
    for window in xdotool("search", "--onlyvisible", "--class", "yoxi.exe").split():
        shell = dict(line.split("=", 1) for line in
                     xdotool("getwindowgeometry", "--shell", window).splitlines() if "=" in line)
        if {"X", "Y", "WIDTH", "HEIGHT"} <= shell.keys():
            windows[window] = tuple(int(shell[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
    return windows


def window_of_size(width, height):
    found = [g for g in program_windows().values() if g[2:] == (width, height)]
    return found[0] if found else None


def screenshot(work, name):
    path = os.path.join(work, name + ".png")
    subprocess.run(["import", "-window", "root", path], check=True)
    folder = os.environ.get("YOXI_SCREENSHOT_DIR")
    if folder:
        os.makedirs(folder, exist_ok=True)
        shutil.copy(path, os.path.join(folder, "wine-" + name + ".png"))
    return Image.open(path).convert("RGB")


def glyph_shapes(picture, box):
    """The distinct ink shapes of a line of text, cut at blank columns. Text
    whose font is missing is drawn as one and the same box per character."""
    crop = picture.crop(box)
    colours = crop.getcolors(crop.width * crop.height)
    background = max(colours)[1]
    ink = [[sum(abs(a - b) for a, b in zip(crop.getpixel((x, y)), background)) > 120
            for y in range(crop.height)] for x in range(crop.width)]
    shapes, current = set(), []
    for column in ink + [[False] * crop.height]:
        if any(column):
            current.append(tuple(column))
        elif current:
            shapes.add(tuple(current))
            current = []
    return shapes


def code_field_centre(main):
    x, y, width, height = main
    return (x + width // 2,
            y + height // 7 * 5 + (height - width // 7 * 4) // 4 + 30 + 24)


def install(wine, setup):
    result = wine.run(setup, "/S")
    if result.returncode != 0:
        raise Failure("the silent install ended with %d" % result.returncode)
    wine.wait_idle()
    missing = [f for f in SHIPPED if not os.path.isfile(os.path.join(wine.install_dir, f))]
    if missing or not glob.glob(os.path.join(wine.install_dir, "licenses", "*.txt")):
        raise Failure("not installed: %s (or no licence texts)" % missing)
    if wine.config().get("versionCode") != INSTALLED_VERSION:
        raise Failure("the installed lumora.config reads %s" % wine.config())
    if not os.path.isfile(wine.shortcut):
        raise Failure("no start-menu shortcut %s" % wine.shortcut)
    entry = wine.uninstall_entry() or {}
    expected = {"DisplayName": TITLE, "DisplayVersion": INSTALLED_VERSION, "Publisher": "岚栖无限"}
    if any(entry.get(k) != v for k, v in expected.items()) or \
            "uninstall.exe" not in entry.get("UninstallString", ""):
        raise Failure("the Uninstall key holds %s" % entry)
    print("installed into %s: %d files, shortcut and Uninstall key" % (
        wine.windows_install_dir, len(SHIPPED)))


def start_program(wine, work, name):
    program = wine.start(os.path.join(work, name + ".log"),
                         wine.windows_install_dir + "\\yoxi.exe")
    main = wait_for("the main window", lambda: window_of_size(768, 540), 60)
    return program, main


def main_window_and_road(wine, work, bins):
    receiver, match = start_and_read(
        [bins["receiver"], "--port", "0", "--out", os.path.join(work, "received")],
        r"cast-receiver listening control=(\d+)", os.path.join(work, "receiver.log"))
    processes = [receiver]
    try:
        server_log = os.path.join(work, "server.jsonl")
        server, match = start_and_read(
            [bins["server"], "--port", "0", "--log", server_log, "--receiver",
             "%s=127.0.0.1:%s:1280x720" % (CAST_CODE, match.group(1))],
            r"cast-server ready port=(\d+) base=(\S+)", os.path.join(work, "server.out"))
        processes.append(server)
        wine.write_config(serverUrl=match.group(2), termsIsRead="true", isDebug="true",
                          versionCode=INSTALLED_VERSION)
        program, main = start_program(wine, work, "road")
        processes.append(program)

        # Two fifths of the 1920x1080 screen's width and half its height, centred.
        if main != (576, 270, 768, 540):
            raise Failure("the main window lies at %s" % (main,))
        time.sleep(2)
        centre = code_field_centre(main)
        shapes = glyph_shapes(screenshot(work, "main-window"),
                              (centre[0] - 140, centre[1] - 14, centre[0] + 140, centre[1] + 14))
        if len(shapes) < 6:
            raise Failure("the code field's placeholder shows %d distinct shapes: its font "
                          "does not resolve" % len(shapes))

        click(*centre)
        xdotool("type", "--delay", "80", CAST_CODE.lower())
        xdotool("key", "Return")
        connect = wait_for("the connect request", lambda: find_exchange(server_log, "connect"),
                           20)[0]
        check_signed(connect, "connect")
        if connect["fields"].get("code") != CAST_CODE:
            raise Failure("the connect request carries %s" % connect["fields"])

        # Wine has no DirectShow source: the picture comes through GDI, and
        # the sound, which Wine cannot loop back, ends in the 1005 warning
        # while the cast goes on.
        casting = wait_for("the casting window", lambda: window_of_size(*CASTING_WINDOW), 30)
        box = wait_for("the sound warning", lambda: [
            g for g in program_windows().values() if g[2] == BOX_WIDTH], 30)[0]
        time.sleep(3)  # some video reaches the receiver
        screenshot(work, "casting-1005")
        click(box[0] + box[2] - 60, box[1] + box[3] - 29)  # its button
        wait_for("the warning to close", lambda: not [
            g for g in program_windows().values() if g[2] == BOX_WIDTH], 10)
        click(casting[0] + 165, casting[1] + casting[3] // 2)  # "退出投屏"
        disconnect = wait_for("the disconnect request",
                              lambda: find_exchange(server_log, "disconnect"), 30)[0]
        check_signed(disconnect, "disconnect")
        if disconnect["fields"].get("errorCode") != "0":
            raise Failure("the disconnect carries %s" % disconnect["fields"])
        receiver.wait(timeout=30)
        with open(os.path.join(work, "received", "stats.json")) as stats_file:
            stats = json.load(stats_file)
        if stats.get("start_code") != CAST_CODE or stats["video"]["messages"] < 5:
            raise Failure("the receiver got the start code %r and %d video messages" % (
                stats.get("start_code"), stats["video"]["messages"]))

        # Back at code entry, with no message left over from the cast.
        wait_for("the main window back", lambda: window_of_size(768, 540), 20)
        time.sleep(1)
        if len(program_windows()) != 1:
            raise Failure("after the cast the program shows %s" % program_windows())
        log = read_day_log(wine)
        for line in ("voteScreen:click:status:", "MainWindow cancelResult: 1005",
                     "MainWindow cancelResult: 0"):
            if line not in log:
                raise Failure("the day's log lacks %r" % line)
        print("road: connect and disconnect signed, start code %s and %d video messages at "
              "the receiver, the 1005 warning, errorCode 0, the day's log holds the road" % (
                  stats["start_code"], stats["video"]["messages"]))
    finally:
        stop_all(processes)
        wine.kill_all()


def read_day_log(wine):
    path = os.path.join(wine.install_dir, "logs",
                        datetime.date.today().strftime("log-%Y-%m-%d.log"))
    if not os.path.exists(path):
        raise Failure("no log file %s" % path)
    with open(path, encoding="gbk", errors="replace") as log:
        return log.read()


def https_refused_for_its_certificate(wine, work):
    key, certificate = os.path.join(work, "key.pem"), os.path.join(work, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", certificate],
                   check=True, capture_output=True)
    tls_log = os.path.join(work, "tls-server.log")
    tls = subprocess.Popen(["openssl", "s_server", "-accept", "127.0.0.1:0", "-key", key,
                            "-cert", certificate, "-www"], stdout=open(tls_log, "w"),
                           stderr=subprocess.STDOUT, text=True)
    try:
        port = wait_for("the TLS server", lambda: re.findall(
            r"ACCEPT 127\.0\.0\.1:(\d+)", open(tls_log).read()), 10)[0]
        wine.write_config(serverUrl="https://127.0.0.1:%s/prod-api/" % port,
                          termsIsRead="true", isDebug="true", versionCode=INSTALLED_VERSION)
        start_program(wine, work, "https")
        wait_for("the handshake", lambda: re.search(r"alert|error", open(tls_log).read(), re.I),
                 30)
        # 6: QNetworkReply::SslHandshakeFailedError, the certificate refused.
        wait_for("the refused upgrade check",
                 lambda: "upgrade result error .... code: 6" in read_day_log(wine), 20)
        if "TLS initialization failed" in read_day_log(wine):
            raise Failure("Qt found no TLS library")
        print("https: the handshake reached the server and failed on the certificate (%s)" %
              " ".join(l.strip() for l in open(tls_log) if "error" in l.lower())[:120])
    finally:
        tls.terminate()
        wine.kill_all()


def upgrade_with_this_installer(wine, work, bins, setup):
    files = os.path.join(work, "files")
    os.makedirs(files)
    shutil.copy(setup, os.path.join(files, "yoxi-setup.exe"))
    server_log = os.path.join(work, "upgrade-server.jsonl")
    server, match = start_and_read(
        [bins["server"], "--port", "0", "--log", server_log, "--files", files,
         "--upgrade-version", "9.9.9", "--upgrade-name", "yoxi-setup.exe"],
        r"cast-server ready port=(\d+) base=(\S+)", os.path.join(work, "upgrade-server.out"))
    try:
        wine.write_config(serverUrl=match.group(2), termsIsRead="true", isOrigin="true", isDebug="true",
                          versionCode=INSTALLED_VERSION)
        replaced = [os.path.join(wine.install_dir, name) for name in ("yoxi.exe", "uninstall.exe")]
        before = [file_identity(path) for path in replaced]
        program, _ = start_program(wine, work, "upgrade")
        prompt = wait_for("the upgrade prompt", lambda: window_of_size(380, 180) or
                          [g for g in program_windows().values() if g[2] == 380], 30)
        prompt = prompt if isinstance(prompt, tuple) else prompt[0]
        click(prompt[0] + prompt[2] - 40, prompt[1] + prompt[3] - 26)
        dialog = wait_for("the download dialog", lambda: window_of_size(380, 150), 30)
        wait_for("the download", lambda: find_exchange(server_log, "download"), 60)
        time.sleep(3)  # the dialog's last repaint
        screenshot(work, "download-complete")
        click(dialog[0] + dialog[2] - 40, dialog[1] + dialog[3] - 26)
        wait_for("the program to quit", lambda: program.poll() is not None, 30)
        # The installer it opened waited for it and then replaced its files,
        # the uninstaller last; it then waits on its finish page.
        wait_for("the installed files to be replaced", lambda: all(
            file_identity(path) not in (old, None) for path, old in zip(replaced, before)) and
            not os.path.exists(os.path.join(wine.install_dir, ".setup-new")), 90)
        time.sleep(2)  # its last registry writes
        kept = wine.config()
        if kept.get("termsIsRead") != "true" or kept.get("isOrigin") != "true" or \
                kept.get("serverUrl") != match.group(2):
            raise Failure("the upgrade did not keep the user's settings: %s" % kept)
        if not find_exchange(server_log, "upgrade"):
            raise Failure("no upgrade check reached the server")
        print("upgrade: downloaded, opened, the program quit, the installer replaced it and "
              "kept lumora.config")
    finally:
        stop_all([server])
        wine.kill_all()


def file_identity(path):
    """The file's inode: the installer renames new files into place, keeping
    their build times. None while the installer has it moved away."""
    try:
        return os.stat(path).st_ino
    except FileNotFoundError:
        return None


def uninstall(wine):
    result = wine.run(os.path.join(wine.install_dir, "uninstall.exe"), "/S")
    if result.returncode != 0:
        raise Failure("the silent uninstall ended with %d" % result.returncode)
    wine.wait_idle()  # the uninstaller runs on from a copy of itself
    names = {"yoxi.exe", "pixpipe.dll", "lumora.config", "uninstall.exe", TITLE + ".lnk"}
    left = [os.path.join(d, f) for d, _, fs in os.walk(os.path.join(wine.prefix, "drive_c"))
            for f in fs if f in names or f.startswith("log-") or f == "qwindows.dll"]
    left += [wine.install_dir] if os.path.exists(wine.install_dir) else []
    if left or wine.uninstall_entry() is not None:
        raise Failure("the uninstall left %s (Uninstall key: %s)" % (left,
                                                                    wine.uninstall_entry()))
    print("uninstalled: no file, shortcut or key of ours is left")


def main():
    if len(sys.argv) != 5:
        print(__doc__, file=sys.stderr)
        return 2
    setup, wine_run = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    bins = {"server": sys.argv[3], "receiver": sys.argv[4]}

    def whole_road(work):
        wine = Wine(wine_run, work)
        try:
            install(wine, setup)
            main_window_and_road(wine, work, bins)
            https_refused_for_its_certificate(wine, work)
            upgrade_with_this_installer(wine, work, bins, setup)
            uninstall(wine)
        finally:
            wine.kill_all()

    return run_road("yoxi-wine-", whole_road, ("road.log", "https.log", "upgrade.log",
                                               "receiver.log", "server.jsonl", "tls-server.log"),
                    (Failure, subprocess.TimeoutExpired))


if __name__ == "__main__":
    sys.exit(main())
