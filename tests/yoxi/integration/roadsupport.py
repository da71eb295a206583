"""What the whole-road tests share: the test doubles as child processes,
the server's request log and its signatures, and the program's X windows
driven with xdotool."""

import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
# The program's request key, read from the one place it is written.
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                       "api", "network", "signkey.h"), encoding="utf-8") as header:
    SIGN_KEY = re.search(r'requestSignKey\[\] = "([0-9a-f]+)"', header.read()).group(1)


class Failure(Exception):
    pass


def expected_sign(fields):
    """The program's signature: every field but "sign", by key, then the key."""
    text = "".join(key + fields[key] for key in sorted(fields) if key != "sign")
    return hashlib.md5((text + SIGN_KEY).encode("latin-1", "replace")).hexdigest()


def wait_for(what, predicate, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    raise Failure("timed out waiting for " + what)


def start_and_read(command, pattern, log_path):
    """Starts a tool whose first stdout lines announce its ports."""
    log = open(log_path, "w")
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=log, text=True)
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        line = process.stdout.readline()
        if not line:
            break
        match = re.search(pattern, line)
        if match:
            return process, match
    process.kill()
    raise Failure("%s did not report ready (see %s)" % (command[0], log_path))


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout


def visible_windows(pid):
    """Mapped X windows of the process, as {window: (x, y, width, height)}."""
    windows = {}
    for window in xdotool("search", "--onlyvisible", "--pid", str(pid)).split():
        shell = dict(
            line.split("=", 1)
            for line in xdotool("getwindowgeometry", "--shell", window).splitlines()
            if "=" in line
        )
        if {"X", "Y", "WIDTH", "HEIGHT"} <= shell.keys():
            windows[window] = tuple(int(shell[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))
    return windows


def click(x, y):
    xdotool("mousemove", "--sync", str(x), str(y))
    xdotool("click", "1")


def server_requests(log_path):
    if not os.path.exists(log_path):
        return []
    with open(log_path, encoding="utf-8") as log:
        return [json.loads(line) for line in log if line.strip()]


def find_exchange(log_path, exchange):
    return [r for r in server_requests(log_path) if r.get("exchange") == exchange]


def check_signed(request, what):
    fields = request.get("fields", {})
    if not request.get("sign_ok"):
        raise Failure("the server rejected the sign of the %s: %s" % (what, request))
    if fields.get("sign") != expected_sign(fields):
        raise Failure("the %s carries a wrong sign: %s" % (what, fields))



def stop_all(processes):
    for process in reversed(processes):
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


def print_logs(work, names):
    for name in names:
        path = os.path.join(work, name)
        if os.path.exists(path):
            with open(path, errors="replace") as log:
                print("---- %s (last lines)\n%s" % (name, "".join(log.readlines()[-40:])),
                      file=sys.stderr)


def run_road(prefix, road, log_names, failures=(Failure,)):
    """Runs road(work) in a new work folder, removed after a pass; after a
    failure the named logs are printed and the folder is kept. Skipped
    without an X display. Returns the exit status."""
    if not os.environ.get("DISPLAY"):
        print("skipped: no X display (run under scripts/test-session)")
        return SKIP
    work = tempfile.mkdtemp(prefix=prefix)
    try:
        road(work)
    except failures as failure:
        print("FAILED:", failure, file=sys.stderr)
        print_logs(work, log_names)
        print("outputs kept in", work, file=sys.stderr)
        return 1
    shutil.rmtree(work, ignore_errors=True)
    return 0
