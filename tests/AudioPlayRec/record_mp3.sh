#!/usr/bin/env bash
# record_mp3.sh <test program> <output folder>: plays a tone (440 Hz left, 1000 Hz right) into
# the null sink while the program records its monitor, then decodes every MP3 with mpg123.
set -euo pipefail
program=$1
out=$2
source "$(dirname "$0")/../../scripts/wine-env"
check="python3 $(cd "$(dirname "$0")/.." && pwd)/tools/check_mp3.py"
rm -rf "$out" && mkdir -p "$out"
if ! pactl info >/dev/null 2>&1; then
  echo "no PulseAudio server: nothing to record"
  exit 77
fi
sox -n -r 22050 -c 2 -b 16 "$out/tone.wav" synth 60 sine 440 sine 1000 gain -6
paplay -d korvalin_out "$out/tone.wav" &
player=$!
trap 'kill $player 2>/dev/null || true; wait $player 2>/dev/null || true' EXIT
(cd "$out" && kwine "$program" </dev/null)
cd "$out"
# The MP3 gets the very bytes of the WAV and its Info tag gives the exact length back.
$check mono/test.mp3 --channels 1 --like-wav mono/test.wav --slack 0 --tone 440+1000 --tag
$check stereo/test.mp3 --channels 2 --like-wav stereo/test.wav --slack 0 --tone 440,1000 --tag
$check alone/test_left.mp3 --channels 1 --like-wav alone/test_left.wav --slack 0 --tone 440 --tag
$check alone/test_right.mp3 --channels 1 --like-wav alone/test_right.wav --slack 0 --tone 1000 --tag
$check short/test.mp3 --channels 1 --samples 300 --tag
