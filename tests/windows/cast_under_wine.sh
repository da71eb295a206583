#!/usr/bin/env bash
# Runs a Windows cast test program (under Wine) against cast-receiver on this
# machine, then checks the receiver's record of the cast: the start code, the
# quit it sent, clean framing, and video and sound that decode.
# usage: cast_under_wine.sh <cast-receiver> <command running the test program...>
set -euo pipefail
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

timeout 120 "$receiver" --port 0 --quit-after 4 --out "$out" >"$out/receiver.log" 2>&1 &
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

python3 - "$out/stats.json" <<'PY' || fail "the receiver's record is wrong"
import json, sys
stats = json.load(open(sys.argv[1]))
checks = {
    "start code 731905": stats["start_code"] == "731905",
    "quit sent": stats["quit_sent"] is True,
    "no framing errors": stats["framing_errors"] == 0,
    "video messages": stats["video"]["messages"] > 0,
    "audio messages": stats["audio"]["messages"] > 0,
}
for name, ok in checks.items():
    print(("ok   " if ok else "FAIL ") + name)
sys.exit(0 if all(checks.values()) else 1)
PY

# Every frame must decode without a single error message.
for file in video.h264 audio.aac; do
    errors=$(ffmpeg -nostdin -v error -i "$out/$file" -f null - 2>&1) || fail "$file does not decode"
    [[ -z $errors ]] || fail "$file has decoding errors: $errors"
    frames=$(ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 \
        "$out/$file")
    ((frames > 0)) || fail "$file holds no frames"
    echo "ok   $file: $frames frames decode"
done
