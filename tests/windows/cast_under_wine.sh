#!/usr/bin/env bash
# Runs a Windows cast test program (under Wine) against cast-receiver on this
# machine, then checks the receiver's record of the cast: the start code, the
# quit it sent, clean framing, and video and sound that decode.
# With --screen-bands it casts the X screen through GDI with a window of colour
# bands on it, to be found in the pictures; sound is checked only if some came.
# usage: cast_under_wine.sh [--screen-bands] <cast-receiver> <command running the test program...>
set -euo pipefail
bands=false
[[ $1 == --screen-bands ]] && { bands=true; shift; }
receiver=$1
shift

out=$(mktemp -d)
receiver_pid=
cleanup() {
    [[ -n $receiver_pid ]] && kill "$receiver_pid" 2>/dev/null || true
    rm -rf "$out"
}
trap cleanup EXIT

fail() {
    echo "cast_under_wine: $*" >&2
    [[ -e $out/receiver.log ]] && sed 's/^/receiver: /' "$out/receiver.log" >&2
    exit 1
}

quit_after=4
if $bands; then
    export WINE_RUN_DISPLAY=${DISPLAY:?--screen-bands needs an X screen}
    # Own prefix: a headless Wine program in the shared one would own the desktop.
    export YOXI_WINEPREFIX=$PWD/wineprefix-screen
    # GDI capture starts more slowly under Wine than the test sources.
    quit_after=8
fi
# Created first: the background job may open it only after the first look.
: >"$out/receiver.log"
timeout 120 "$receiver" --port 0 --quit-after "$quit_after" --out "$out" >"$out/receiver.log" 2>&1 &
receiver_pid=$!
port=
for _ in $(seq 100); do
    port=$(sed -n 's/^cast-receiver listening control=\([0-9]*\).*/\1/p' "$out/receiver.log")
    [[ -n $port ]] && break
    sleep 0.1
done
[[ -n $port ]] || fail "cast-receiver did not start listening"

PIXPIPE_TEST_RECEIVER_PORT=$port timeout 120 "$@" || fail "the test program failed"
wait "$receiver_pid" || fail "cast-receiver ended with an error"
receiver_pid=

python3 - "$out/stats.json" "$bands" <<'PY' || fail "the receiver's record is wrong"
import json, sys
stats = json.load(open(sys.argv[1]))
checks = {
    "start code 731905": stats["start_code"] == "731905",
    "quit sent": stats["quit_sent"] is True,
    "no framing errors": stats["framing_errors"] == 0,
    "video messages": stats["video"]["messages"] > 0,
}
if sys.argv[2] == "false":
    checks["audio messages"] = stats["audio"]["messages"] > 0
for name, ok in checks.items():
    print(("ok   " if ok else "FAIL ") + name)
sys.exit(0 if all(checks.values()) else 1)
PY

files=(video.h264)
[[ -s $out/audio.aac ]] && files+=(audio.aac)
# Every frame must decode without a single error message.
for file in "${files[@]}"; do
    errors=$(ffmpeg -nostdin -v error -i "$out/$file" -f null - 2>&1) || fail "$file does not decode"
    [[ -z $errors ]] || fail "$file has decoding errors: $errors"
    frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 \
        "$out/$file")
    ((frames > 0)) || fail "$file holds no frames"
    echo "ok   $file: $frames frames decode"
done

$bands || exit 0
# The band window of the test program: at 200,150 on the 1920x1080 screen,
# four bands of 200x400 (red, green, blue, yellow); the cast is 960x540, so
# each band is 100x200 there from 100,75. A grid of points inside each band,
# clear of its edges, must show the band's colour within compression error.
ffmpeg -nostdin -v error -i "$out/video.h264" -f rawvideo -pix_fmt rgb24 - |
    python3 -c '
import sys
colours = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0)]
points = [(100 + band * 100 + x, 75 + y, colour) for band, colour in enumerate(colours)
          for x in range(15, 90, 15) for y in range(15, 190, 20)]
frames = matching = 0
while len(frame := sys.stdin.buffer.read(960 * 540 * 3)) == 960 * 540 * 3:
    frames += 1
    matching += all(abs(frame[(y * 960 + x) * 3 + c] - colour[c]) <= 40
                    for x, y, colour in points for c in range(3))
print(f"{matching} of {frames} received pictures show the band window")
sys.exit(0 if matching > 0 else 1)
' || fail "the band window is not in the received pictures"
