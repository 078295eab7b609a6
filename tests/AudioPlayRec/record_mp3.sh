#!/usr/bin/env bash
# record_mp3.sh <test program> <output folder>: plays a tone (440 Hz left, 1000 Hz right) into
# the null sink while the program records its monitor, then decodes every MP3 with mpg123.
set -euo pipefail
program=$1 out=$2
source "$(dirname "$0")/../../scripts/wine-env"
check="python3 $(cd "$(dirname "$0")/.." && pwd)/tools/check_mp3.py"
rm -rf "$out" && mkdir -p "$out"
pactl info >/dev/null 2>&1 || { echo "no PulseAudio server: nothing to record"; exit 77; }
sox -n -r 22050 -c 2 -b 16 "$out/tone.wav" synth 60 sine 440 sine 1000 gain -6
paplay -d korvalin_out "$out/tone.wav" &
player=$!
trap 'kill $player 2>/dev/null || true; wait $player 2>/dev/null || true' EXIT
(cd "$out" && kwine "$program" </dev/null)
cd "$out"
# The MP3 gets the very bytes of the WAV and its Info tag gives the exact length back.
$check mono/test.mp3 1 mono/test.wav 440+1000
$check stereo/test.mp3 2 stereo/test.wav 440,1000
$check alone/test_left.mp3 1 alone/test_left.wav 440
$check alone/test_right.mp3 1 alone/test_right.wav 1000
$check short/test.mp3 1 300
