#!/usr/bin/env bash
# Starts a sound server of its own (one case kills it), plays a known stereo tone (440 Hz left,
# 660 Hz right) into its null sink, lets recording_tests.exe click through the real program,
# and checks every file it made with sox and mpg123. Exits 77 when a case was skipped.
# Usage: recordings.sh RECORDING_TESTS_EXE OUTPUT_FOLDER [gtest arguments]
set -uo pipefail
exe=$1 out=$2 && shift 2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/wine-env"
rm -rf "$out" && mkdir -p "$out"
# A crash ends the program at once instead of waiting in Wine's crash dialog.
kwine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1

# A sound server of this run's own, of the kind scripts/test was asked for.
source "$here/../../scripts/session"
start_audio private || exit 1
echo "${SESSION_AUDIO_PIDS[*]}" >"$out/pulse.pid"
sox -n -r 44100 -c 2 -b 16 "$out/tone.wav" synth 120 sine 440 sine 660 gain -6
paplay --latency-msec=20 -d korvalin_out "$out/tone.wav" &
player=$!
trap 'kill $player 2>/dev/null; session_stop' EXIT

"$here/../../scripts/wine-exec" "$exe" "Z:${out//\//\\}" "$out" "$@" >"$out/run.log" 2>&1; status=$?
tr -d '\r' <"$out/run.log"

failures=0
fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# Dominant frequency of one channel of a WAV, from sox's rough estimate.
frequency() { sox "$1" -n remix "$2" stat 2>&1 | awk '/Rough   frequency/ {print $3}'; }
between() { awk -v v="$1" -v a="$2" -v b="$3" 'BEGIN { exit !(v >= a && v <= b) }'; }

check_file() { # dir file channels min max leftHz rightHz
  local dir=$1 file=$2 channels=$3 min=$4 max=$5 left=$6 right=$7 wav=$1/$2
  [ -s "$wav" ] || { fail "$wav missing"; return; }
  if [[ $file == *.mp3 ]]; then
    wav=$dir/${file%.mp3}.decoded.wav
    mpg123 -q -w "$wav" "$dir/$file" </dev/null 2>/dev/null || { fail "$dir/$file: mpg123 cannot decode it"; return; }
  fi
  soxi "$wav" >/dev/null 2>&1 || { fail "$wav: sox cannot read it"; return; }
  [ "$(soxi -c "$wav")" = "$channels" ] || fail "$wav: $(soxi -c "$wav") channels, expected $channels"
  [ "$(soxi -r "$wav")" = 22050 ] || fail "$wav: rate $(soxi -r "$wav")"
  local seconds=$(soxi -D "$wav")
  between "$seconds" "$min" "$max" || fail "$wav: $seconds s, expected $min to $max"
  local rms=$(sox "$wav" -n stat 2>&1 | awk '/RMS     amplitude/ {print $3}')
  between "$rms" 0.02 1 || fail "$wav: no tone (RMS $rms)"
  for ch_hz in "1 $left" "2 $right"; do
    set -- $ch_hz
    [ "$2" = 0 ] || between "$(frequency "$wav" $1)" $(($2 * 9 / 10)) $(($2 * 11 / 10)) ||
      fail "$wav: channel $1 at $(frequency "$wav" $1) Hz, expected $2"
  done
  echo "ok   $wav: $(soxi -c "$wav") ch, ${seconds} s"
}

sizes() { # the RIFF and data sizes against the bytes the file holds
  local bytes=$(stat -c %s "$1") riff=$(od -An -tu4 -j4 -N4 "$1") data=$(od -An -tu4 -j42 -N4 "$1")
  [ $((riff + 8)) = "$bytes" ] && [ $(((data + 1) / 2 * 2 + 46)) = "$bytes" ] ||
    fail "$1: $bytes bytes, RIFF size $riff, data size $data"
}

heard() { # file Hz seconds: how long that tone lasts in what the sink's monitor heard
  local got=$(sox "$1" -p sinc -t 100 $(($2 - 150))-$(($2 + 150)) | sox -p -n silence 1 0.02 5% reverse silence 1 0.02 5% \
    stat 2>&1 | awk '/Length/ {print $3}')
  between "$got" "$3" 99 || fail "$1: $2 Hz heard for $got s, expected at least $3"
}

shopt -s nullglob
for expect in "$out"/*/expect.txt; do
  dir=$(dirname "$expect")
  while read -r first rest <&3; do
    rest=${rest%$'\r'} # written by a Windows program
    case $first in
      sizes) sizes "$dir/$rest" ;;
      mp3) (cd "$dir" && python3 "$here/../tools/check_mp3.py" $rest) || fail "$dir: ${rest%% *}" ;;
      heard) heard "$dir/${rest%% *}" ${rest#* } ;;
      *) check_file "$dir" "$first" $rest ;;
    esac
  done 3<"$expect"
done
[ $status = 0 ] && [ $failures = 0 ] || exit 1
! grep -q '^\[  SKIPPED \]' "$out/run.log" || exit 77
