#!/usr/bin/env bash
# Decodes the files lame_enc_tests wrote (folder $1) with the host's mpg123. Their Info
# tags carry the encoder delay and padding, so the decoded lengths are exact.
set -euo pipefail
check="python3 $(dirname "$0")/../tools/check_mp3.py"
cd "$1"
$check dll_mono.mp3 1 44100 1000
$check dll_stereo.mp3 2 44433 440,1000
$check dll_short.mp3 1 300
