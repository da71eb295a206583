#!/usr/bin/env python3
"""One whole cast on a real X screen: cast-server, cast-receiver and yoxi.

yoxi runs from a temporary folder beside a copy of the engine library, with a
lumora.config that points at the test server and marks the agreement as read.
The code is typed with xdotool, the cast runs a few seconds, and the casting
window's quit button is clicked. Then:
  - the receiver got the start command with the typed code, and video;
  - the server logged a correctly signed connect for that code;
  - the server logged a correctly signed disconnect with "errorCode" "0".

Usage: tst_cast_end_to_end.py BIN_DIR   (BIN_DIR holds yoxi, libpixpipe.so,
cast-server and cast-receiver). Exits 77 (skipped) without an X display or
without a PulseAudio server.
"""

import json
import os
import shutil
import subprocess
import sys
import time

from roadsupport import (SKIP, Failure, check_signed, click, find_exchange, run_road,
                         start_and_read, stop_all, visible_windows, wait_for, xdotool)

TYPED = "ab12cd"
CAST_CODE = "AB12CD"
CASTING_WINDOW_SIZE = (210, 38)


def run(bin_dir, work):
    for name in ("yoxi", "libpixpipe.so", "cast-server", "cast-receiver"):
        if not os.path.exists(os.path.join(bin_dir, name)):
            raise Failure("%s is not built in %s" % (name, bin_dir))

    app_dir = os.path.join(work, "app")
    os.makedirs(app_dir)
    for name in ("yoxi", "libpixpipe.so"):
        shutil.copy2(os.path.join(bin_dir, name), app_dir)

    receiver, match = start_and_read(
        [os.path.join(bin_dir, "cast-receiver"), "--port", "0", "--out",
         os.path.join(work, "received")],
        r"cast-receiver listening control=(\d+)", os.path.join(work, "receiver.log"))
    processes = [receiver]
    try:
        receiver_port = int(match.group(1))
        server_log = os.path.join(work, "server.jsonl")
        server, match = start_and_read(
            [os.path.join(bin_dir, "cast-server"), "--port", "0", "--log", server_log,
             "--receiver", "%s=127.0.0.1:%d:1280x720" % (CAST_CODE, receiver_port)],
            r"cast-server ready port=(\d+) base=(\S+)", os.path.join(work, "server.out"))
        processes.append(server)
        with open(os.path.join(app_dir, "lumora.config"), "w") as config:
            config.write("[config]\nserverUrl=%s\ntermsIsRead=true\n" % match.group(2))

        environment = dict(os.environ, QT_QPA_PLATFORM="xcb")
        yoxi_log = open(os.path.join(work, "yoxi.log"), "w")
        yoxi = subprocess.Popen([os.path.join(app_dir, "yoxi")], cwd=app_dir, env=environment,
                                stdout=yoxi_log, stderr=subprocess.STDOUT)
        processes.append(yoxi)

        def main_window():
            found = [g for g in visible_windows(yoxi.pid).values()
                     if g[2:] != CASTING_WINDOW_SIZE and g[2] > 300]
            return found[0] if found else None

        x, y, width, height = wait_for("the main window", main_window, 20)
        # The code field sits centred below the picture (see the window layout).
        code_x = x + width // 2
        code_y = y + height // 7 * 5 + (height - width // 7 * 4) // 4 + 30 + 24
        click(code_x, code_y)
        xdotool("type", "--delay", "60", TYPED)
        xdotool("key", "Return")

        wait_for("the connect request", lambda: find_exchange(server_log, "connect"), 10)
        casting = wait_for(
            "the casting window",
            lambda: [g for g in visible_windows(yoxi.pid).values()
                     if g[2:] == CASTING_WINDOW_SIZE], 15)[0]
        time.sleep(3)  # let some video arrive
        # The quit button fills the right part of the casting window.
        click(casting[0] + 165, casting[1] + casting[3] // 2)

        disconnects = wait_for("the disconnect request",
                               lambda: find_exchange(server_log, "disconnect"), 10)
        if receiver.wait(timeout=10) != 0:
            raise Failure("cast-receiver ended with status %d" % receiver.returncode)

        connect = find_exchange(server_log, "connect")[0]
        check_signed(connect, "connect")
        fields = connect["fields"]
        if fields.get("code") != CAST_CODE or fields.get("type") != "1" or \
                fields.get("bitRate") != "1300" or fields.get("frameRate") != "15" or \
                fields.get("resolution") != "*".join(xdotool("getdisplaygeometry").split()):
            raise Failure("unexpected connect fields: %s" % fields)

        disconnect = disconnects[0]
        check_signed(disconnect, "disconnect")
        if disconnect["fields"].get("errorCode") != "0" or \
                disconnect["fields"].get("code") != CAST_CODE:
            raise Failure("unexpected disconnect fields: %s" % disconnect["fields"])

        with open(os.path.join(work, "received", "stats.json")) as stats_file:
            stats = json.load(stats_file)
        if stats.get("start_code") != CAST_CODE:
            raise Failure("the receiver got the start code %r" % stats.get("start_code"))
        if stats["video"]["messages"] < 5:
            raise Failure("the receiver got only %d video messages" % stats["video"]["messages"])
        if not stats.get("stop_seen"):
            raise Failure("the receiver saw no stop command")
        if os.path.getsize(os.path.join(work, "received", "video.h264")) == 0:
            raise Failure("video.h264 is empty")
        if yoxi.poll() is not None:
            raise Failure("yoxi ended during the cast (status %d)" % yoxi.returncode)
        print("cast of %s: %d video messages, %d audio messages; connect and disconnect "
              "signed; errorCode 0" % (CAST_CODE, stats["video"]["messages"],
                                       stats["audio"]["messages"]))
    finally:
        stop_all(processes)


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    if not os.environ.get("YOXI_PULSE_READY"):
        print("skipped: no PulseAudio server for the engine's sound capture")
        return SKIP
    yoxi = os.path.abspath(sys.argv[1])
    return run_road("yoxi-e2e-", lambda work: run(yoxi, work),
                    ("yoxi.log", "receiver.log", "server.jsonl"))


if __name__ == "__main__":
    sys.exit(main())
